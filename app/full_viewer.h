// The description of the full viewer, vexelor.
#pragma once

#include "viewer/viewer_state.h"

extern const ProgramDescription fullViewer;
