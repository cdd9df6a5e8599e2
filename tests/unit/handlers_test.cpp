// The handlers of the controls, the menu and the arrow keys, driven as a
// user drives them: actions reported to the toolkit, then the loop's dispatch.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/full_viewer.h"
#include "platform/backend.h"
#include "platform/files.h"
#include "tests/support/canvas_check.h"
#include "tests/support/test_backend.h"
#include "viewer/viewer.h"

namespace {

class HandlersTest : public ::testing::Test {
protected:
    void SetUp() override { backend = &StartTestViewer(fullViewer); }
    void TearDown() override {
        if (!dir.empty()) {
            SetCurrentDirectory(home);
            RemoveTree(dir);
        }
    }

    // Hands every queued message to the dispatch, as the loop would.
    void Dispatch() {
        while (TkMessagePending()) DispatchMessage(TkWait());
    }
    void Typed(GadgetId g, const std::string& text) {
        TkUserTyped(Ctl(g), text);
        Dispatch();
    }
    void Stepped(GadgetId g, int delta) {
        TkUserSteppedSpin(Ctl(g), delta);
        Dispatch();
    }
    void Scrolled(GadgetId g, int position) {
        TkUserScrolled(Ctl(g), position);
        Dispatch();
    }
    void Menu(MenuId id) {
        TkUserMenu(id);
        Dispatch();
    }
    // A tap of an arrow key before the loop's next poll.
    void Tap(ArrowKey key) {
        TkUserArrowDown(key);
        TkUserArrowUp(key);
        PollArrowKeys();
    }
    std::string Fixture(const std::string& name, size_t size) {
        if (dir.empty()) {
            dir = MakeTempDir();
            home = CurrentDirectory();
        }
        const std::string path = dir + "/" + name;
        WriteFile(path, std::vector<uint8_t>(size, 0x3C));
        return path;
    }
    void ExpectOffset(int minimum, int maximum, int value, const std::string& text) {
        EXPECT_EQ(TkSpinMinimum(Ctl(OffsetSpin)), minimum);
        EXPECT_EQ(TkSpinMaximum(Ctl(OffsetSpin)), maximum);
        EXPECT_EQ(TkSpinValue(Ctl(OffsetSpin)), value);
        EXPECT_EQ(TkText(Ctl(OffsetSpin)), text);
    }
    int Row() { return TkScrollPosition(Ctl(RowScroll)); }
    int Width() { return TkScrollPosition(Ctl(WidthScroll)); }

    TestBackend* backend = nullptr;
    std::string dir, home;
};

TEST_F(HandlersTest, RowScrollRepaintsOnceMoreAfterTheBoundRepaint) {
    const int before = backend->presents;
    TkUserScrolled(Ctl(RowScroll), 10);
    EXPECT_EQ(backend->presents, before + 1);  // bound to the scroll bar
    Dispatch();
    EXPECT_EQ(backend->presents, before + 2);
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:1 disp:10 zoom:1");
}

TEST_F(HandlersTest, WidthScrollGivesTheOffsetItsRangeAndResetsIt) {
    Scrolled(WidthScroll, 5);
    Typed(OffsetSpin, "3");
    ExpectOffset(-5, 5, 3, "3");
    const int before = backend->presents;
    TkUserScrolled(Ctl(WidthScroll), 8);
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:8 disp:3 zoom:1");  // the bound repaint: old offset
    Dispatch();
    EXPECT_EQ(backend->presents, before + 2);
    ExpectOffset(-8, 8, 0, "0");
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:8 disp:0 zoom:1");

    // The end of a thumb drag is an event of the bar too.
    Typed(OffsetSpin, "4");
    TkUserEndedDrag(Ctl(WidthScroll));
    Dispatch();
    ExpectOffset(-8, 8, 0, "0");
}

TEST_F(HandlersTest, CheckBoxesRepaintWithTheirNewState) {
    for (GadgetId box : {GridCheck, ColumnsCheck, InvertCheck, AlignCheck}) {
        const int before = backend->presents;
        TkUserToggled(Ctl(box), true);
        Dispatch();
        EXPECT_EQ(backend->presents, before + 1) << box;
    }
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:1, grid:8x8 disp:0 zoom:1");
    // The grid's first line, and the second of 80 columns of the empty view.
    EXPECT_EQ(ReadPixel(TkCanvasPicture(), 8, 3), (Rgb{255, 0, 0}));
    ExpectRegion(TkCanvasPicture(), 9, 0, 7, 8, Rgb{0, 0, 255});
}

TEST_F(HandlersTest, OffsetBoxHoldsTheTypedOrSteppedNumberWithinTheWidth) {
    struct Step {
        enum { Type, Arrow, Width, Key } kind;
        std::string text;  // typed text
        int number;        // arrow delta, or scroll position
        int minimum, maximum, value;
        std::string shown;
    } steps[] = {
        // before any width change only 0 and 1 are held
        {Step::Type, "20", 0, 0, 1, 1, "1"},
        {Step::Type, "-5", 0, 0, 1, 0, "0"},
        {Step::Arrow, "", -1, 0, 1, 0, "0"},  // at the bottom: nothing changes
        {Step::Arrow, "", +1, 0, 1, 1, "1"},
        // width 8 by the scroll bar
        {Step::Width, "", 8, -8, 8, 0, "0"},
        {Step::Type, "20", 0, -8, 8, 8, "8"},
        {Step::Type, "-20", 0, -8, 8, -8, "-8"},
        {Step::Type, "-", 0, -8, 8, 0, "0"},
        {Step::Type, "0-", 0, -8, 8, 0, "0"},   // a minus typed behind the 0
        {Step::Type, "-0", 0, -8, 8, 0, "0"},   // and in front of it
        {Step::Type, "5", 0, -8, 8, 5, "5"},
        {Step::Type, "-5", 0, -8, 8, -5, "-5"},  // the sign typed in front of digits
        {Step::Type, "$7", 0, -8, 8, 7, "7"},
        {Step::Type, "3abc", 0, -8, 8, 3, "3"},
        {Step::Type, "", 0, -8, 8, 0, "0"},
        {Step::Type, "4294967299", 0, -8, 8, 3, "3"},  // the low 32 bits
        {Step::Arrow, "", -1, -8, 8, 2, "2"},
        // width 3 by the Left key (from 4, set by the bar)
        {Step::Width, "", 4, -4, 4, 0, "0"},
        {Step::Key, "", 0, -3, 3, 0, "0"},
        {Step::Type, "20", 0, -3, 3, 3, "3"},
        {Step::Type, "-20", 0, -3, 3, -3, "-3"},
    };
    int cursorMoves = backend->cursorMoves;
    for (const Step& s : steps) {
        const int presents = backend->presents;
        switch (s.kind) {
            case Step::Type: Typed(OffsetSpin, s.text); break;
            case Step::Arrow: Stepped(OffsetSpin, s.number); break;
            case Step::Width: Scrolled(WidthScroll, s.number); break;
            case Step::Key: Tap(KeyLeft); break;
        }
        SCOPED_TRACE("after \"" + s.text + "\" / " + std::to_string(s.number));
        ExpectOffset(s.minimum, s.maximum, s.value, s.shown);
        const bool handled = s.kind == Step::Type || (s.kind == Step::Arrow && backend->presents != presents);
        if (handled) {
            EXPECT_GT(backend->cursorMoves, cursorMoves);
            EXPECT_EQ(backend->presents, presents + 1);
            EXPECT_EQ(TkText(Ctl(DispField)), s.shown);
        }
        cursorMoves = backend->cursorMoves;
    }
}

TEST_F(HandlersTest, GridBoxesStayBetweenOneAndTwentyFive) {
    struct Case {
        std::vector<std::string> typed;  // texts one after the other, keystroke by keystroke
        int arrow;                       // then an arrow step, if not 0
        int value;
    } cases[] = {
        {{"1", "12", "123"}, 0, 25},  // the whole text selected, then 123 typed
        {{""}, 0, 1},                 // all text deleted
        {{"81"}, 0, 25},              // 1 typed behind the shown 8
        {{"0"}, 0, 1},
        {{"-3"}, 0, 1},
        {{"25"}, 0, 25},
        {{"26"}, 0, 25},
        {{"$a"}, 0, 10},
        {{"%11"}, 0, 3},
        {{" 7x"}, 0, 7},
        {{"4294967298"}, 0, 2},
        {{"25"}, +1, 25},  // the arrow at the top does nothing
        {{"1"}, -1, 1},
        {{"8"}, -1, 7},
        {{"24"}, +1, 25},
    };
    for (GadgetId box : {GridXSpin, GridYSpin}) {
        for (const Case& c : cases) {
            for (const std::string& t : c.typed) {
                const int presents = backend->presents;
                Typed(box, t);
                EXPECT_EQ(backend->presents, presents + 1);
            }
            if (c.arrow) Stepped(box, c.arrow);
            SCOPED_TRACE(box == GridXSpin ? "GridXSpin " + c.typed.back() : "GridYSpin " + c.typed.back());
            EXPECT_EQ(TkSpinValue(Ctl(box)), c.value);
            EXPECT_EQ(TkText(Ctl(box)), std::to_string(c.value));
        }
    }
    TkSetChecked(Ctl(GridCheck), true);
    Typed(GridXSpin, "3");
    Typed(GridYSpin, "123");
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:1, grid:3x25 disp:0 zoom:1");
}

TEST_F(HandlersTest, DisplacementJumpDropsTheRemainder) {
    struct Case {
        int width, offset;
        std::string typed;
        int row;
        std::string shown;
    } cases[] = {
        {16, 3, "1000", 62, "995"},
        {16, 0, "1000", 62, "992"},
        {7, 0, "100", 14, "98"},
        {1, 0, "0", 0, "0"},
        {1, 0, "", 0, "0"},
        {1, 1, "99999", 450, "451"},  // held in the scroll bar's span (0 .. 481 - 31)
        {3, 0, "4294967295", 0, "0"},  // the low 32 bits: -1, then held at 0
    };
    for (const Case& c : cases) {
        Scrolled(WidthScroll, c.width);
        Typed(OffsetSpin, std::to_string(c.offset));
        TkUserTyped(Ctl(DispField), c.typed);
        TkUserPressedButton(Ctl(DispGoButton));
        Dispatch();
        EXPECT_EQ(Row(), c.row) << c.width << " " << c.typed;
        EXPECT_EQ(TkText(Ctl(DispField)), c.shown) << c.width << " " << c.typed;
        EXPECT_EQ(TkSpinValue(Ctl(OffsetSpin)), c.offset);
    }
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:3 disp:0 zoom:1");
}

TEST_F(HandlersTest, ZoomItemsChangeOnlyTheZoom) {
    viewerState.selStartX = 13;
    viewerState.selEndX = 60;
    const std::pair<MenuId, int> items[] = {{MenuZoom2, 2}, {MenuZoom8, 8}, {MenuZoom1, 1}};
    for (auto [item, zoom] : items) {
        const int presents = backend->presents;
        Menu(item);
        EXPECT_EQ(viewerState.zoom, zoom);
        EXPECT_EQ(backend->presents, presents + 1);
        EXPECT_EQ(TkTitle(), "Vexelor, sprsize:1 disp:0 zoom:" + std::to_string(zoom));
    }
    EXPECT_EQ(viewerState.selStartX, 13);
    EXPECT_EQ(viewerState.selEndX, 60);
}

TEST_F(HandlersTest, OpenLoadsTheChosenFileAndCancelLoadsNothing) {
    const std::string path = Fixture("sprites.bin", 962);
    backend->openAnswers.push_back(path);
    Menu(MenuOpen);
    ASSERT_EQ(backend->openCalls.size(), 1u);
    EXPECT_EQ(backend->openCalls[0].title, "Please choose file to load");
    EXPECT_EQ(backend->openCalls[0].proposed, "");
    EXPECT_EQ(backend->openCalls[0].patterns, "Any(*.*)|*.*");
    EXPECT_EQ(viewerState.currentPath, path);
    EXPECT_EQ(viewerState.fileSize, 962);
    EXPECT_EQ(TkScrollMaximum(Ctl(RowScroll)), 962);
    ExpectRegion(TkCanvasPicture(), 0, 0, 2, 481, Rgb{0, 0, 0});   // 0x3C: two clear bits,
    ExpectRegion(TkCanvasPicture(), 2, 0, 4, 481, Rgb{255, 255, 255});  // four set ones

    const int presents = backend->presents;
    Menu(MenuOpen);  // cancelled
    EXPECT_EQ(backend->openCalls.size(), 2u);
    EXPECT_EQ(viewerState.currentPath, "");
    EXPECT_EQ(viewerState.fileSize, 962);
    EXPECT_EQ(backend->presents, presents);
}

TEST_F(HandlersTest, LoadKeepsTheOffsetRange) {
    Scrolled(WidthScroll, 8);
    Typed(OffsetSpin, "-6");
    backend->openAnswers.push_back(Fixture("a.bin", 100));
    Menu(MenuOpen);
    EXPECT_EQ(Width(), 1);
    ExpectOffset(-8, 8, -6, "-6");
    // The upper limit is the width now shown; the lower end is the box's own.
    Typed(OffsetSpin, "5");
    ExpectOffset(-8, 8, 1, "1");
    Stepped(OffsetSpin, +1);
    ExpectOffset(-8, 8, 1, "1");
    Typed(OffsetSpin, "-20");
    ExpectOffset(-8, 8, -8, "-8");
}

TEST_F(HandlersTest, QuitEndsTheLoopAtTheEndOfThePass) {
    int waits = 0;
    backend->onWait = [&] {
        if (++waits == 2) TkUserMenu(MenuQuit);
    };
    RunEventLoop();
    EXPECT_EQ(waits, 2);
    EXPECT_TRUE(viewerState.quitRequested);
}

TEST_F(HandlersTest, ArrowKeysMoveWidthAndRow) {
    struct Case {
        const char* what;
        int width, row;  // before, set by the scroll bars
        ArrowKey key;
        int widthAfter, rowAfter;
        bool repaints;
        int offsetLimit;  // offset range afterwards: -limit .. limit
    } cases[] = {
        {"Left at 1", 1, 0, KeyLeft, 1, 0, false, 1},
        {"Left at 2", 2, 0, KeyLeft, 1, 0, true, 1},
        {"Left at 8", 8, 0, KeyLeft, 7, 0, true, 7},
        {"Right at 1", 1, 0, KeyRight, 2, 0, true, 2},
        {"Right at 256", 256, 0, KeyRight, 257, 0, true, 257},
        {"Right at 257", 257, 0, KeyRight, 257, 0, true, 258},
        {"Up at 0", 1, 0, KeyUp, 1, 1, true, 1},
        {"Up at the last row", 1, 450, KeyUp, 1, 450, true, 1},
        {"Down at 0", 1, 0, KeyDown, 1, 0, false, 1},
        {"Down at 5", 1, 5, KeyDown, 1, 4, true, 1},
    };
    for (const Case& c : cases) {
        StartTestViewer(fullViewer);
        backend = &CurrentTestBackend();
        Scrolled(WidthScroll, c.width);
        Scrolled(RowScroll, c.row);
        TkSetSpinValue(Ctl(OffsetSpin), 1);
        TkSetText(Ctl(OffsetSpin), "1");
        const int presents = backend->presents;
        Tap(c.key);
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Width(), c.widthAfter);
        EXPECT_EQ(Row(), c.rowAfter);
        EXPECT_EQ(backend->presents, presents + (c.repaints ? 1 : 0));
        const bool widthKey = c.key == KeyLeft || c.key == KeyRight;
        if (widthKey && c.repaints)
            ExpectOffset(-c.offsetLimit, c.offsetLimit, 0, "0");
        else
            EXPECT_EQ(TkSpinValue(Ctl(OffsetSpin)), 1);
        if (c.repaints) {
            EXPECT_EQ(TkTitle(), "Vexelor, sprsize:" + std::to_string(c.widthAfter) + " disp:" +
                                     std::to_string(c.rowAfter * c.widthAfter + (widthKey ? 0 : 1)) + " zoom:1");
        }
    }
}

TEST_F(HandlersTest, ArrowKeyActsOncePerPressAndAgainOnRepeat) {
    TkUserArrowDown(KeyUp);
    PollArrowKeys();
    EXPECT_EQ(Row(), 1);
    PollArrowKeys();  // still held, no new press
    EXPECT_EQ(Row(), 1);
    TkUserArrowDown(KeyUp);  // the window system's auto-repeat
    PollArrowKeys();
    EXPECT_EQ(Row(), 2);
    TkUserArrowUp(KeyUp);
    PollArrowKeys();
    EXPECT_EQ(Row(), 2);

    // Several keys act in one pass, Left and Right before Up and Down.
    Scrolled(WidthScroll, 4);
    TkUserArrowDown(KeyDown);
    TkUserArrowDown(KeyRight);
    const int presents = backend->presents;
    PollArrowKeys();
    EXPECT_EQ(Width(), 5);
    EXPECT_EQ(Row(), 1);
    EXPECT_EQ(backend->presents, presents + 2);
}

TEST_F(HandlersTest, LoopPollsTheKeysBeforeEveryWait) {
    // A focused grid box gets Up as a step of its own and the view moves too.
    int waits = 0;
    backend->onWait = [&] {
        switch (++waits) {
            case 1:
                TkUserArrowDown(KeyUp);
                TkUserSteppedSpin(Ctl(GridXSpin), +1);
                break;
            case 2:
                TkUserArrowUp(KeyUp);
                TkUserArrowDown(KeyRight);  // wakes the wait as an "other" message
                break;
            case 3:
                EXPECT_EQ(TkScrollPosition(Ctl(WidthScroll)), 2);
                TkUserMenu(MenuQuit);
                break;
        }
    };
    RunEventLoop();
    EXPECT_EQ(TkSpinValue(Ctl(GridXSpin)), 9);
    EXPECT_EQ(TkText(Ctl(GridXSpin)), "9");
    EXPECT_EQ(Row(), 1);
    EXPECT_EQ(Width(), 2);
}

}  // namespace
