// The canvas's answer to the mouse: the selection drag, checked on the
// canvas pixel by pixel, and the right-click jump.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/full_viewer.h"
#include "platform/backend.h"
#include "tests/support/canvas_check.h"
#include "tests/support/test_backend.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"

namespace {

constexpr Rgb kBlack{0, 0, 0}, kSelection{127, 0, 255};

struct Mouse {
    ControlEvent type;
    int x, y, buttons;
};

Mouse Down(int x, int y) { return {EventLeftDown, x, y, ButtonLeft}; }
Mouse Move(int x, int y, int buttons = ButtonLeft) { return {EventMouseMove, x, y, buttons}; }
Mouse Up(int x, int y) { return {EventLeftUp, x, y, 0}; }

class CanvasMouseTest : public ::testing::Test {
protected:
    void SetUp() override { backend = &StartTestViewer(fullViewer); }

    void Dispatch() {
        while (TkMessagePending()) DispatchMessage(TkWait());
    }
    void Send(const Mouse& m) {
        TkUserCanvas(m.type, m.x, m.y, m.buttons);
        Dispatch();
    }
    void SetView(int zoom, int width) {
        viewerState.zoom = zoom;
        TkSetScrollPosition(Ctl(WidthScroll), width);
        Redraw();
    }

    TestBackend* backend = nullptr;
};

// What the canvas must show: the cells of the view as painted without a
// selection, and the selection colour wherever they leave the box black.
void ExpectSelectionBox(int x, int y, int w, int h) {
    auto shown = std::make_unique<CanvasImage>(TkCanvasPicture());
    const int sx = viewerState.selStartX, sy = viewerState.selStartY;
    const int ex = viewerState.selEndX, ey = viewerState.selEndY;
    viewerState.selStartX = viewerState.selStartY = viewerState.selEndX = viewerState.selEndY = 0;
    Redraw();
    auto expected = std::make_unique<CanvasImage>(TkCanvasPicture());
    viewerState.selStartX = sx;
    viewerState.selStartY = sy;
    viewerState.selEndX = ex;
    viewerState.selEndY = ey;
    Redraw();
    for (int py = std::max(y, 0); py < std::min(y + h, CanvasImage::kHeight); ++py)
        for (int px = std::max(x, 0); px < std::min(x + w, CanvasImage::kWidth); ++px)
            if (ReadPixel(*expected, px, py) == kBlack) FillBox(*expected, px, py, 1, 1, kSelection);
    ExpectCanvasEquals(*shown, *expected);
}

TEST_F(CanvasMouseTest, LeftButtonMarksTheSelection) {
    struct Box {
        int x, y, w, h;
    };
    struct Case {
        const char* what;
        int zoom, width;
        std::vector<Mouse> mice;
        bool lastRepaints;   // did the last event repaint?
        std::string status;  // the status bar afterwards
        bool saveEnabled;
        int endX, endY;
        Box box;  // the selection box, as the next repaint shows it at the latest
    } cases[] = {
        {"press", 1, 8, {Down(100, 50)}, true, "Invalid Selection,w:-100,h:-50", false, 0, 0, {0, 0, 100, 50}},
        {"press and drag", 1, 8, {Down(100, 50), Move(120, 60), Move(140, 66)}, true, "x:100 y:50 w:5 h:16", true, 140,
         66, {100, 50, 40, 16}},
        {"drag wider than a row of 32 cells", 1, 4, {Down(100, 50), Move(140, 66)}, false,
         "Invalid Selection,w:-100,h:-50", false, 140, 66, {100, 50, 40, 16}},
        {"exactly a row of 64 cells", 1, 8, {Down(100, 50), Move(164, 60)}, true, "x:100 y:50 w:8 h:10", true, 164, 60,
         {100, 50, 64, 10}},
        {"one cell more than a row", 1, 8, {Down(100, 50), Move(165, 60)}, false, "Invalid Selection,w:-100,h:-50",
         false, 165, 60, {100, 50, 65, 10}},
        {"zoom 2, one cell more than a row", 2, 4, {Down(100, 50), Move(166, 60)}, false,
         "Invalid Selection,w:-100,h:-50", false, 166, 60, {100, 50, 66, 10}},
        {"zoom 2, a row", 2, 4, {Down(100, 50), Move(165, 61)}, true, "x:100 y:50 w:4 h:5", true, 165, 61,
         {100, 50, 64, 10}},
        {"dragged back left of the start", 1, 8, {Down(100, 50), Move(140, 66), Move(60, 70)}, true,
         "Invalid Selection,w:-40,h:20", true, 60, 70, {60, 50, 40, 20}},
        {"zoom 8, five by five", 8, 8, {Down(100, 50), Move(105, 55)}, true, "Invalid Selection,w:0,h:0", true, 105, 55,
         {96, 48, 0, 0}},
        {"press and release", 1, 8, {Down(100, 50), Up(100, 50)}, false, "Invalid Selection,w:-100,h:-50", false, 0, 0,
         {0, 0, 100, 50}},
        {"release after a drag", 1, 8, {Down(100, 50), Move(140, 66), Up(200, 200)}, false, "x:100 y:50 w:5 h:16",
         true, 140, 66, {100, 50, 40, 16}},
        {"movement without the left button", 1, 8, {Down(100, 50), Move(140, 66, 0)}, false,
         "Invalid Selection,w:-100,h:-50", false, 0, 0, {0, 0, 100, 50}},
        {"movement with only the right button", 1, 8, {Down(100, 50), Move(140, 66, ButtonRight)}, false,
         "Invalid Selection,w:-100,h:-50", false, 0, 0, {0, 0, 100, 50}},
        {"dragged below and right of the canvas", 1, 257, {Down(100, 50), Move(700, 600)}, true,
         "x:100 y:50 w:75 h:550", true, 700, 600, {100, 50, 600, 550}},
        {"dragged above and left of the canvas", 1, 8, {Down(100, 50), Move(-30, -20)}, true,
         "Invalid Selection,w:-130,h:-70", false, -30, -20, {-30, -20, 130, 70}},
        {"a new press disables again", 1, 8, {Down(100, 50), Move(140, 66), Down(10, 12)}, true,
         "Invalid Selection,w:-10,h:-12", false, 0, 0, {0, 0, 10, 12}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartTestViewer(fullViewer);
        backend = &CurrentTestBackend();
        SetView(c.zoom, c.width);
        auto before = std::make_unique<CanvasImage>();
        int presents = 0;
        for (const Mouse& m : c.mice) {
            *before = TkCanvasPicture();
            presents = backend->presents;
            Send(m);
        }
        EXPECT_EQ(backend->presents, presents + (c.lastRepaints ? 1 : 0));
        EXPECT_EQ(TkStatusText(), c.status);
        EXPECT_EQ(TkMenuItemEnabled(MenuSaveSelected), c.saveEnabled);
        EXPECT_EQ(viewerState.selEndX, c.endX);
        EXPECT_EQ(viewerState.selEndY, c.endY);
        if (!c.lastRepaints) {
            ExpectCanvasEquals(TkCanvasPicture(), *before);
            Redraw();  // some later action repaints
        }
        ExpectSelectionBox(c.box.x, c.box.y, c.box.w, c.box.h);
    }
}

TEST_F(CanvasMouseTest, PressPutsTheStartCorner) {
    SetView(1, 8);
    Send(Down(100, 50));
    EXPECT_EQ(viewerState.selStartX, 100);
    EXPECT_EQ(viewerState.selStartY, 50);
    // Proven by pixels: the box reaches from the origin up to the press point.
    EXPECT_EQ(ReadPixel(TkCanvasPicture(), 99, 49), kSelection);
    EXPECT_EQ(ReadPixel(TkCanvasPicture(), 100, 49), kBlack);
    EXPECT_EQ(ReadPixel(TkCanvasPicture(), 99, 50), kBlack);
}

TEST_F(CanvasMouseTest, RightClickMovesTheRowsForward) {
    struct Case {
        int width, zoom, row, rowMaximum, rowPage, x, y, expected;
    } cases[] = {
        {10, 1, 100, 10000, 0, 3, 20, 120},
        {10, 1, 100, 10000, 0, 83, 20, 600},   // 80 x 60 / 10 = 480
        {7, 1, 0, 10000, 0, 100, 0, 822},      // 96 x 60 / 7 = 822.8
        {7, 1, 10, 10000, 0, 100, 5, 837},
        {1, 1, 30, 10000, 0, 7, 20, 50},       // the leftmost 8 pixels: the clicked row comes first
        {1, 1, 0, 10000, 0, 8, 0, 480},       // the next 8 pixels at width 1: a column of 480 rows on
        {8, 1, 0, 10000, 0, 64, 3, 483},       // the second column's edge: 480 rows on
        {10, 8, 100, 10000, 0, 3, 20, 120},    // the zoom does not enter
        {10, 2, 100, 10000, 0, 83, 20, 600},
        {1, 1, 0, 962, 2, 640, 480, 961},      // past the end: held at the last position
        {1, 1, 900, 1000, 0, 0, 150, 1000},
    };
    for (const Case& c : cases) {
        StartTestViewer(fullViewer);
        backend = &CurrentTestBackend();
        SetView(c.zoom, c.width);
        TkSetScrollMaximum(Ctl(RowScroll), c.rowMaximum);
        TkSetScrollPage(Ctl(RowScroll), c.rowPage);
        TkSetScrollPosition(Ctl(RowScroll), c.row);
        const int presents = backend->presents;
        Send({EventRightClick, c.x, c.y, 0});
        EXPECT_EQ(TkScrollPosition(Ctl(RowScroll)), c.expected) << c.width << " " << c.x << "," << c.y;
        EXPECT_EQ(backend->presents, presents + 1);
        EXPECT_EQ(TkTitle(), "Vexelor, sprsize:" + std::to_string(c.width) +
                                 " disp:" + std::to_string(c.expected * c.width) + " zoom:" + std::to_string(c.zoom));
        EXPECT_EQ(viewerState.selEndX, 0);  // the selection is not touched
    }
}

TEST_F(CanvasMouseTest, RightClickTakesTheWidthFromItsScrollBar) {
    SetView(1, 1);
    TkSetScrollMaximum(Ctl(RowScroll), 10000);
    TkSetScrollPage(Ctl(RowScroll), 0);
    TkSetScrollPosition(Ctl(WidthScroll), 10);  // not yet repainted: bytesPerRow is still 1
    Send({EventRightClick, 83, 20, 0});
    EXPECT_EQ(TkScrollPosition(Ctl(RowScroll)), 500);
}

}  // namespace
