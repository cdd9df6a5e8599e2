// Handlers of the scroll bars, boxes, displacement jump, zoom, "Open.." and
// the arrow keys.
#include <string>

#include "viewer/parse_number.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"

namespace {

// A new sprite width gives the offset the range -width .. width and resets it.
void ResetOffsetFor(int width) {
    const int id = Ctl(OffsetSpin);
    TkSetSpinMinimum(id, -width);
    TkSetSpinMaximum(id, width);
    TkSetSpinValue(id, 0);
    TkSetText(id, "0");
}

// The number a box acts on: what was typed, or the value an arrow stepped to.
int TypedOrStepped(int id) {
    return TkEventType() == EventTextChanged ? ParseNumber32(TkText(id)) : TkSpinValue(id);
}

// Stores the value; the box holds it in its range and shows what it holds.
void PutBoxValue(int id, int value) {
    TkSetSpinValue(id, value);
    TkSetText(id, std::to_string(TkSpinValue(id)));
    TkMoveCursorToEnd(id);
}

// The Left and Right keys: one byte narrower or wider, the offset reset.
void StepWidth(int delta) {
    const int x = TkScrollPosition(Ctl(WidthScroll));
    TkSetScrollPosition(Ctl(WidthScroll), x + delta);
    ResetOffsetFor(x + delta);
    Redraw();
}

}  // namespace

// Any event of the width scroll bar: the offset range follows the width.
void OnWidthScroll() {
    ResetOffsetFor(TkScrollPosition(Ctl(WidthScroll)));
    Redraw();
}

// The offset box: what was typed or stepped to, at most the width.
void OnOffsetSpin() {
    const int id = Ctl(OffsetSpin);
    const int w = TkScrollPosition(Ctl(WidthScroll));
    int v = TypedOrStepped(id);
    if (v > w) v = w;  // the lower end is the box's own range
    PutBoxValue(id, v);
    Redraw();
}

// Either grid spacing box: the number held between 1 and 25.
void OnGridSpin(GadgetId box) {
    const int id = Ctl(box);
    int v = TypedOrStepped(id);
    if (v == 0) v = 1;
    if (v > 25) v = 25;
    PutBoxValue(id, v);
    Redraw();
}

// The ">" button: the row of the typed displacement, its remainder dropped.
void OnDispGo() {
    const int32_t d = ParseNumber32(TkText(Ctl(DispField)));
    const double rows = static_cast<double>(d) / viewerState.bytesPerRow;
    TkSetScrollPosition(Ctl(RowScroll), static_cast<int>(rows));  // truncated toward zero
    Redraw();
}

// "x1", "x2" and "x8".
void SetZoom(int zoom) {
    viewerState.zoom = zoom;
    Redraw();
}

// "Open..": a cancelled dialog empties the path and loads nothing.
void OnMenuOpen() {
    viewerState.currentPath = TkOpenFileDialog("Please choose file to load", "", "Any(*.*)|*.*");
    if (viewerState.currentPath.empty()) return;
    OpenDataFile(viewerState.currentPath);
    Redraw();
}

// Runs at the start of every pass of the loop, whichever control has the
// focus; a key acts when it is down and was pressed since the last poll.
void PollArrowKeys() {
    constexpr int16_t kPressedAndDown = -32767;
    if (TkKeyState(KeyLeft) == kPressedAndDown && TkScrollPosition(Ctl(WidthScroll)) > 1) StepWidth(-1);
    if (TkKeyState(KeyRight) == kPressedAndDown && TkScrollPosition(Ctl(WidthScroll)) < 272) StepWidth(+1);
    if (TkKeyState(KeyUp) == kPressedAndDown) {
        TkSetScrollPosition(Ctl(RowScroll), TkScrollPosition(Ctl(RowScroll)) + 1);
        Redraw();
    }
    if (TkKeyState(KeyDown) == kPressedAndDown && TkScrollPosition(Ctl(RowScroll)) > 0) {
        TkSetScrollPosition(Ctl(RowScroll), TkScrollPosition(Ctl(RowScroll)) - 1);
        Redraw();
    }
}
