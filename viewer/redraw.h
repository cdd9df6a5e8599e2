// The repaint of the canvas and what it works out on the way.
#pragma once

#include <cstdint>

// Repaints the whole canvas from the state and the controls, and rewrites the
// status text, the displacement field and the window title.
void Redraw();

// The selection snapped to the zoom raster, as the repaint draws it.
struct SnappedSelection {
    int32_t selX, selY, selW, selH;
};
SnappedSelection SnapSelection(int32_t zoom);

// Byte position of the first byte shown: row position x width + offset.
int64_t Displacement();

// Side of one cell's square: the zoom, but 7 at zoom 8 (a one-pixel gap).
inline int32_t CellSize(int32_t zoom) { return zoom == 8 ? 7 : zoom; }
