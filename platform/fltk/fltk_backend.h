// The FLTK back end of the toolkit layer.
#pragma once

// Creates the back end and installs it into the toolkit layer.
void InstallFltkBackend();
