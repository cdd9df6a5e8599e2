// The compact viewer's window, menu and controls, and what it leaves out:
// status bar, displacement field, selection, command line, arrow keys and
// the repaint bound to the scroll bars.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "export/export.h"
#include "tests/support/test_backend.h"
#include "tests/unit/variant_test_support.h"
#include "variant/compact_viewer.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"

namespace {

using namespace variant_test;

constexpr Rgb kBlue{0, 0, 255}, kBlack{0, 0, 0}, kWhite{255, 255, 255};

void Deliver() { DispatchMessage(TkWait()); }

std::vector<uint8_t> Snapshot() {
    const CanvasImage& pic = TkCanvasPicture();
    return std::vector<uint8_t>(pic.pixels, pic.pixels + sizeof pic.pixels);
}

class VariantViewerTest : public ::testing::Test {
protected:
    void TearDown() override { EndViewer(); }
    WorkFolder folder;
};

TEST_F(VariantViewerTest, ControlsAreTheThirteenWithTheirOwnIds) {
    StartTestViewer(compactViewer);
    struct Place {
        GadgetId gadget;
        int id;
        ControlKind kind;
        int x, y, w, h;
        const char* text;
    } places[] = {
        {CanvasView, 0, KindCanvas, 0, 0, 641, 481, nullptr},
        {WidthScroll, 2, KindHScroll, 0, 500, 640, 17, nullptr},
        {RowScroll, 1, KindVScroll, 641, 0, 14, 470, nullptr},
        {GridCheck, 4, KindCheckBox, 0, 520, 80, 20, "Grid"},
        {InvertCheck, 12, KindCheckBox, 0, 540, 80, 20, "Invert"},
        {ColumnsCheck, 5, KindCheckBox, 80, 520, 80, 20, "MultiColumns"},
        {AlignCheck, 14, KindCheckBox, 80, 540, 80, 20, "Align to grid"},
        {OffsetLabel, 6, KindLabel, 160, 520, 80, 20, "offset"},
        {OffsetSpin, 7, KindSpinBox, 240, 520, 80, 20, "0"},
        {GridXLabel, 8, KindLabel, 320, 520, 80, 20, "grid sizeX"},
        {GridXSpin, 9, KindNumericSpinBox, 400, 520, 80, 20, "8"},
        {GridYLabel, 10, KindLabel, 320, 540, 80, 20, "grid sizeY"},
        {GridYSpin, 11, KindNumericSpinBox, 400, 540, 80, 20, "8"},
    };
    for (const Place& p : places) {
        EXPECT_EQ(Ctl(p.gadget), p.id) << p.id;
        const ControlModel& m = TkModel(p.id);
        ASSERT_TRUE(m.exists) << p.id;
        EXPECT_EQ(m.kind, p.kind) << p.id;
        EXPECT_EQ(m.x, p.x) << p.id;
        EXPECT_EQ(m.y, p.y) << p.id;
        EXPECT_EQ(m.w, p.w) << p.id;
        EXPECT_EQ(m.h, p.h) << p.id;
        if (p.text && p.kind != KindSpinBox) {
            EXPECT_EQ(m.text, p.text) << p.id;
        }
        EXPECT_EQ(m.bound, nullptr) << "no procedure is bound to control " << p.id;
    }
    EXPECT_EQ(TkSpinValue(9), 8);
    EXPECT_EQ(TkSpinValue(11), 8);
    EXPECT_EQ(TkScrollPosition(2), 1);
    EXPECT_EQ(TkScrollMaximum(2), 272);
    EXPECT_EQ(TkScrollPosition(1), 0);
    EXPECT_EQ(TkScrollMaximum(1), 481);
    // No displacement label, field or ">" button; 3, 13 and 15 name nothing.
    EXPECT_EQ(Ctl(DispLabel), -1);
    EXPECT_EQ(Ctl(DispField), -1);
    EXPECT_EQ(Ctl(DispGoButton), -1);
    for (int id : {3, 13, 15}) EXPECT_FALSE(TkModel(id).exists) << id;
}

TEST_F(VariantViewerTest, WindowMenuAndNoStatusBar) {
    TestBackend& b = StartTestViewer(compactViewer);
    ASSERT_FALSE(b.titles.empty());
    EXPECT_EQ(b.titles.front(), "Vexelor");  // the window opens with the plain name
    EXPECT_EQ(compactViewer.windowInnerHeight, 600);
    EXPECT_FALSE(b.statusBarCreated);
    EXPECT_EQ(b.status, "");
    EXPECT_TRUE(b.dropsAccepted);
    struct Entry {
        MenuEntryKind kind;
        int id;
        const char* text;
    } expected[] = {
        {EntryDropDown, 0, "Project"}, {EntryItem, MenuOpen, "Open.."},     {EntryItem, MenuSaveImage, "Save image.."},
        {EntryItem, MenuSaveBinary, "Save binary.."}, {EntrySeparator, 0, nullptr}, {EntryItem, MenuQuit, "Quit"},
        {EntryBarItem, MenuZoom1, "x1"}, {EntryBarItem, MenuZoom2, "x2"},     {EntryBarItem, MenuZoom8, "x8"},
    };
    ASSERT_EQ(b.menu.size(), std::size(expected));
    for (size_t i = 0; i < b.menu.size(); ++i) {
        EXPECT_EQ(b.menu[i].kind, expected[i].kind) << i;
        EXPECT_EQ(b.menu[i].id, expected[i].id) << i;
        EXPECT_STREQ(b.menu[i].text, expected[i].text) << i;
    }
    EXPECT_TRUE(b.menuEnabledShown.empty()) << "nothing is disabled";
    for (int id = MenuOpen; id <= MenuZoom8; ++id) EXPECT_TRUE(TkMenuItemEnabled(id)) << id;
}

TEST_F(VariantViewerTest, CommandLineFileIsIgnored) {
    const std::string path = folder.File("given.bin");
    WriteAll(path, std::vector<uint8_t>(100, 0xFF));
    StartTestViewer(compactViewer, path);
    EXPECT_EQ(viewerState.fileData, nullptr);
    EXPECT_EQ(viewerState.fileSize, 0);
    EXPECT_EQ(viewerState.currentPath, "");
    EXPECT_EQ(TkScrollMaximum(Ctl(RowScroll)), 481);
    EXPECT_EQ(ReadPixel(TkCanvasPicture(), 1, 0), kBlue);
    EXPECT_EQ(ReadPixel(TkCanvasPicture(), 8, 480), kBlue);
    EXPECT_EQ(ReadPixel(TkCanvasPicture(), 0, 0), kBlack);
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:1 disp:0 zoom:1");
}

TEST_F(VariantViewerTest, DroppedFileIsLoadedAndShown) {
    StartTestViewer(compactViewer);
    const std::string path = folder.File("drop.bin");
    WriteAll(path, {0xFF, 0x00, 0x80});
    TkUserDropped(path + "\n" + folder.File("second.bin"));
    Deliver();
    EXPECT_EQ(viewerState.currentPath, path);
    EXPECT_EQ(viewerState.fileSize, 3);
    EXPECT_EQ(ReadPixel(TkCanvasPicture(), 1, 0), kWhite);
    EXPECT_EQ(ReadPixel(TkCanvasPicture(), 8, 0), kWhite);
    EXPECT_EQ(ReadPixel(TkCanvasPicture(), 1, 1), kBlack);
    EXPECT_EQ(ReadPixel(TkCanvasPicture(), 1, 2), kWhite);
    EXPECT_EQ(ReadPixel(TkCanvasPicture(), 2, 2), kBlack);
    EXPECT_EQ(ReadPixel(TkCanvasPicture(), 1, 3), kBlue);
}

// Clicks, drags and right clicks on the canvas reach the loop and change nothing.
TEST_F(VariantViewerTest, MouseOnTheCanvasChangesNothing) {
    TestBackend& b = StartTestViewer(compactViewer);
    const std::string path = folder.File("d.bin");
    WriteAll(path, std::vector<uint8_t>(20000, 0x3C));
    TkUserDropped(path);
    Deliver();
    TkSetScrollPosition(Ctl(RowScroll), 5);
    Redraw();
    const std::vector<uint8_t> before = Snapshot();
    const std::string title = TkTitle();
    const int presents = b.presents;
    TkUserCanvas(EventLeftDown, 10, 10, ButtonLeft);
    TkUserCanvas(EventMouseMove, 60, 40, ButtonLeft);
    TkUserCanvas(EventMouseMove, 100, 90, ButtonLeft);
    TkUserCanvas(EventLeftUp, 100, 90, 0);
    TkUserCanvas(EventRightClick, 200, 100, ButtonRight);
    while (TkMessagePending()) Deliver();
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(TkTitle(), title);
    EXPECT_EQ(b.presents, presents) << "no repaint";
    EXPECT_EQ(TkScrollPosition(Ctl(RowScroll)), 5) << "a right click does not jump";
    EXPECT_EQ(viewerState.selStartX, 0);
    EXPECT_EQ(viewerState.selEndX, 0);
    EXPECT_TRUE(b.menuEnabledShown.empty());
    EXPECT_FALSE(TkModel(3).exists);
}

TEST_F(VariantViewerTest, ArrowKeysAreNotPolled) {
    int waits = 0;
    TestBackend& b = StartTestViewer(compactViewer);
    b.onWait = [&] {
        ++waits;
        if (waits == 1) {
            TkUserArrowDown(KeyRight);
            TkUserArrowDown(KeyUp);
            TkUserOther();
        } else if (waits == 2) {
            TkUserOther();  // a full viewer would step here, before this wait
        } else {
            TkUserClosed();
        }
    };
    RunEventLoop();
    EXPECT_EQ(waits, 3);
    EXPECT_EQ(TkScrollPosition(Ctl(WidthScroll)), 1);
    EXPECT_EQ(TkScrollPosition(Ctl(RowScroll)), 0);
    EXPECT_EQ(TkKeyState(KeyRight) & 1, 1) << "the press was never taken";
}

// Without a bound repaint the canvas keeps the old picture while a thumb is
// dragged; the handler paints once, at the end, with the offset already reset.
TEST_F(VariantViewerTest, WidthDragIsPaintedOnlyWhenItEnds) {
    TestBackend& b = StartTestViewer(compactViewer);
    const std::string path = folder.File("d.bin");
    std::vector<uint8_t> bytes(4000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
    WriteAll(path, bytes);
    TkUserDropped(path);
    Deliver();
    // Width 4 with an offset of 3, as the handlers leave them.
    TkSetScrollPosition(Ctl(WidthScroll), 4);
    TkSetSpinMinimum(Ctl(OffsetSpin), -4);
    TkSetSpinMaximum(Ctl(OffsetSpin), 4);
    TkSetSpinValue(Ctl(OffsetSpin), 3);
    TkSetText(Ctl(OffsetSpin), "3");
    Redraw();
    const std::vector<uint8_t> before = Snapshot();
    const int presents = b.presents;
    const size_t titles = b.titles.size();

    int waits = 0;
    b.onWait = [&] {
        ++waits;
        if (waits == 1) {
            TkHoldWait(true);  // the thumb is held
            for (int p = 5; p <= 9; ++p) TkUserScrolled(Ctl(WidthScroll), p);
            EXPECT_EQ(Snapshot(), before) << "repainted while the thumb moves";
            EXPECT_EQ(b.presents, presents);
        } else if (waits == 2) {
            TkHoldWait(false);
            TkUserEndedDrag(Ctl(WidthScroll));
        } else {
            TkUserClosed();
        }
    };
    // Each queued scroll event is handled in turn; all of them come after the release.
    std::vector<std::string> seen;
    for (;;) {
        MessageKind kind = TkWait();
        if (kind == MessageClose) break;
        DispatchMessage(kind);
        seen.push_back(TkTitle());
        EXPECT_EQ(TkSpinValue(Ctl(OffsetSpin)), 0) << "offset reset before the repaint";
        if (!TkMessagePending()) b.onWait = [] { TkUserClosed(); };
    }
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), "Vexelor, sprsize:9 disp:0 zoom:1");
    for (const std::string& t : seen) EXPECT_EQ(t.find("disp:3"), std::string::npos) << t;
    EXPECT_GT(b.titles.size(), titles);
    EXPECT_EQ(TkText(Ctl(OffsetSpin)), "0");
    // The final picture: width 9 from byte 0.
    const CanvasImage& pic = TkCanvasPicture();
    for (int bit = 0; bit < 8; ++bit) {
        const bool set = bytes[9] & (0x80 >> bit);  // first byte of the second row
        EXPECT_EQ(ReadPixel(pic, 1 + bit, 1), set ? kWhite : kBlack) << bit;
    }
}

TEST_F(VariantViewerTest, SaveBinaryIsTheSharedByteRangeExport) {
    EXPECT_EQ(compactViewer.saveByteRange, &SaveByteRange);
    EXPECT_EQ(compactViewer.saveCanvasImage, &SaveCanvasJpeg);
    EXPECT_EQ(compactViewer.saveSelectionBits, nullptr);
}

}  // namespace
