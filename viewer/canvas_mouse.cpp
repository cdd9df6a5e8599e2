// The canvas's answer to the mouse: the selection drag and the right-click jump.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "viewer/redraw.h"
#include "viewer/viewer.h"

namespace {

// A left press starts a new selection, not yet fit to save.
void PressLeft(int x, int y) {
    viewerState.selStartX = x;
    viewerState.selStartY = y;
    viewerState.selEndX = 0;
    viewerState.selEndY = 0;
    TkEnableMenuItem(MenuSaveSelected, false);
    Redraw();
}

// Movement with the left button held, also outside the canvas, moves the end corner.
void Drag(int x, int y, int buttons) {
    if (!(buttons & ButtonLeft)) return;
    viewerState.selEndX = x;
    viewerState.selEndY = y;
    // Wider than one row of cells: kept, but shown only by a later repaint.
    if ((viewerState.selEndX - viewerState.selStartX) / viewerState.zoom > viewerState.bytesPerRow * 8) return;
    Redraw();
    if (viewerState.selEndX - viewerState.selStartX > 0 && viewerState.selEndY - viewerState.selStartY > 0)
        TkEnableMenuItem(MenuSaveSelected, true);
}

// Moves the rows forward by the clicked row plus 480 rows for each
// width-of-a-row of pixels to the right.
void JumpTo(int x, int y) {
    const int w = TkScrollPosition(Ctl(WidthScroll));
    const int64_t jump = (((x / 8) * 8) * 60LL) / w;
    int64_t target = static_cast<int64_t>(TkScrollPosition(Ctl(RowScroll))) + y + jump;
    target = std::clamp<int64_t>(target, INT_MIN, INT_MAX);
    TkSetScrollPosition(Ctl(RowScroll), static_cast<int>(target));
    Redraw();
}

}  // namespace

// Every event of the canvas; release and the rest change nothing.
void OnCanvasEvent() {
    switch (TkEventType()) {
        case EventLeftDown: PressLeft(TkEventX(), TkEventY()); break;
        case EventMouseMove: Drag(TkEventX(), TkEventY(), TkEventButtons()); break;
        case EventRightClick: JumpTo(TkEventX(), TkEventY()); break;
        default: break;
    }
}
