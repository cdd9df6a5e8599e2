// The description of the compact viewer, vexelor-jpeg, and its JPEG export.
#pragma once

#include "viewer/viewer_state.h"

extern const ProgramDescription compactViewer;

// "Save image.." of the compact viewer: the canvas as a JPEG file.
void SaveCanvasJpeg();
