// The toolkit layer's rules, without a display.
#include <gtest/gtest.h>

#include "platform/backend.h"
#include "platform/drop_text.h"
#include "tests/support/test_backend.h"

namespace {

class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override {
        TkSetBackend(&backend);
        TkReset();
    }
    TestBackend backend;
};

int boundCalls = 0;
void CountBound() { ++boundCalls; }

TEST_F(ToolkitTest, ScrollPositionStaysInSpan) {
    struct Case {
        int minimum, maximum, page, set, expected;
    } cases[] = {
        {1, 272, 16, 1000, 257},  // highest reachable position is max - (page - 1)
        {1, 272, 16, 0, 1},
        {0, 100, 0, 100, 100},    // page 0 takes nothing off
        {0, 100, 1, 100, 100},
        {0, 962, 2, 962, 961},
        {0, 0, 0, 5, 0},
        {0, 10, 50, 5, 0},        // page larger than the range: held at the minimum
        {0, 481, 32, -3, 0},
    };
    for (const Case& c : cases) {
        TkCreateControl(1, KindHScroll, 0, 0, 10, 10, nullptr);
        TkSetScrollMaximum(1, c.maximum);
        TkSetScrollMinimum(1, c.minimum);
        TkSetScrollPage(1, c.page);
        TkSetScrollPosition(1, c.set);
        EXPECT_EQ(TkScrollPosition(1), c.expected) << c.minimum << ".." << c.maximum << " page " << c.page;
    }
}

TEST_F(ToolkitTest, RangeChangeMovesPositionIntoSpan) {
    TkCreateControl(1, KindVScroll, 0, 0, 10, 10, nullptr);
    TkSetScrollMaximum(1, 481);
    TkSetScrollPosition(1, 400);
    TkSetScrollMaximum(1, 100);
    EXPECT_EQ(TkScrollPosition(1), 100);
    TkSetScrollPage(1, 11);
    EXPECT_EQ(TkScrollPosition(1), 90);
}

TEST_F(ToolkitTest, SpinValueHeldInRangeAndNumericBoxShowsIt) {
    TkCreateControl(2, KindNumericSpinBox, 0, 0, 10, 10, "");
    TkSetSpinMaximum(2, 25);
    TkSetSpinMinimum(2, 1);
    TkSetSpinValue(2, 99);
    EXPECT_EQ(TkSpinValue(2), 25);
    EXPECT_EQ(TkText(2), "25");
    TkSetSpinValue(2, -4);
    EXPECT_EQ(TkSpinValue(2), 1);
    EXPECT_EQ(TkText(2), "1");

    TkCreateControl(3, KindSpinBox, 0, 0, 10, 10, "");
    TkSetSpinMaximum(3, 1);
    TkSetSpinValue(3, 5);
    EXPECT_EQ(TkSpinValue(3), 1);
    EXPECT_EQ(TkText(3), "");  // a box that is not numeric keeps its text
}

TEST_F(ToolkitTest, ProgramChangesRaiseNothing) {
    boundCalls = 0;
    TkCreateControl(1, KindHScroll, 0, 0, 10, 10, nullptr);
    TkBindProcedure(1, CountBound);
    TkSetScrollMaximum(1, 100);
    TkSetScrollPosition(1, 50);
    TkCreateControl(2, KindSpinBox, 0, 0, 10, 10, "");
    TkSetSpinMaximum(2, 9);
    TkSetSpinValue(2, 3);
    TkSetText(2, "abc");
    TkCreateControl(3, KindCheckBox, 0, 0, 10, 10, "x");
    TkSetChecked(3, true);
    EXPECT_EQ(boundCalls, 0);
    EXPECT_FALSE(TkMessagePending());
}

TEST_F(ToolkitTest, UserScrollRunsBoundProcedureFirstThenQueues) {
    boundCalls = 0;
    TkCreateControl(1, KindHScroll, 0, 0, 10, 10, nullptr);
    TkSetScrollMaximum(1, 100);
    TkBindProcedure(1, CountBound);
    TkUserScrolled(1, 10);
    EXPECT_EQ(boundCalls, 1);
    EXPECT_EQ(TkScrollPosition(1), 10);
    TkUserScrolled(1, 10);  // no change, no event
    EXPECT_EQ(boundCalls, 1);
    TkUserScrolled(1, 500);  // past the span: held at its end
    EXPECT_EQ(TkScrollPosition(1), 100);
    ASSERT_EQ(TkWait(), MessageControl);
    EXPECT_EQ(TkMessageId(), 1);
    ASSERT_EQ(TkWait(), MessageControl);
    EXPECT_FALSE(TkMessagePending());
}

TEST_F(ToolkitTest, HeldWaitReturnsOnlyAfterRelease) {
    boundCalls = 0;
    TkCreateControl(1, KindVScroll, 0, 0, 10, 10, nullptr);
    TkSetScrollMaximum(1, 100);
    TkBindProcedure(1, CountBound);
    int step = 0;
    backend.onWait = [&] {
        ++step;
        if (step == 1) TkHoldWait(true);
        if (step <= 3) TkUserScrolled(1, step * 10);
        if (step == 4) {
            TkHoldWait(false);
            TkUserEndedDrag(1);
        }
    };
    ASSERT_EQ(TkWait(), MessageControl);
    EXPECT_EQ(step, 4);        // the wait stayed inside the drag
    EXPECT_EQ(boundCalls, 4);  // three steps and the end, each painted at once
}

TEST_F(ToolkitTest, WaitReturnsOtherForMessagesNotReported) {
    backend.onWait = [] {};
    EXPECT_EQ(TkWait(), MessageOther);
}

TEST_F(ToolkitTest, SpinStepsWithinRangeAndTypingIsTextChanged) {
    TkCreateControl(2, KindNumericSpinBox, 0, 0, 10, 10, "");
    TkSetSpinMaximum(2, 25);
    TkSetSpinMinimum(2, 1);
    TkSetSpinValue(2, 25);
    TkUserSteppedSpin(2, 1);  // at the top: nothing happens
    EXPECT_FALSE(TkMessagePending());
    TkUserSteppedSpin(2, -1);
    EXPECT_EQ(TkSpinValue(2), 24);
    EXPECT_EQ(TkText(2), "24");
    ASSERT_EQ(TkWait(), MessageControl);
    EXPECT_EQ(TkEventType(), EventChanged);
    TkUserTyped(2, "7x");
    ASSERT_EQ(TkWait(), MessageControl);
    EXPECT_EQ(TkEventType(), EventTextChanged);
    EXPECT_EQ(TkText(2), "7x");
    EXPECT_EQ(TkSpinValue(2), 24);  // typing alone sets no value
}

TEST_F(ToolkitTest, DigitsFieldTypingRaisesNothing) {
    TkCreateControl(4, KindDigitsField, 0, 0, 10, 10, "1");
    TkUserTyped(4, "123");
    EXPECT_EQ(TkText(4), "123");
    EXPECT_FALSE(TkMessagePending());
}

TEST_F(ToolkitTest, KeyStateCountsPressesSinceLastQuery) {
    EXPECT_EQ(TkKeyState(KeyUp), 0);
    TkUserArrowDown(KeyUp);
    EXPECT_EQ(TkKeyState(KeyUp), -32767);  // down and pressed since
    EXPECT_EQ(TkKeyState(KeyUp), static_cast<int16_t>(0x8000));  // held, no new press
    TkUserArrowDown(KeyUp);  // auto-repeat
    EXPECT_EQ(TkKeyState(KeyUp), -32767);
    TkUserArrowUp(KeyUp);
    EXPECT_EQ(TkKeyState(KeyUp), 0);
    TkUserArrowDown(KeyLeft);  // a tap whose release came before the poll still counts
    TkUserArrowUp(KeyLeft);
    EXPECT_EQ(TkKeyState(KeyLeft), -32767);
    EXPECT_EQ(TkKeyState(KeyRight), 0);
}

// A system with its own asynchronous key-state query answers for itself:
// the layer passes its answer through and adds nothing from reported presses.
TEST_F(ToolkitTest, KeyStateComesFromTheSystemQueryWhereThereIsOne) {
    struct SystemKeys : TestBackend {
        int16_t answers[4] = {0, 0x0001, static_cast<int16_t>(0x8001), static_cast<int16_t>(0x8000)};
        bool queryKeyState(ArrowKey key, int16_t* state) override {
            *state = answers[key];
            answers[key] = static_cast<int16_t>(answers[key] & 0x8000);  // the query clears the press
            return true;
        }
    } system;
    TkSetBackend(&system);
    TkUserArrowDown(KeyLeft);  // not the system's answer: ignored
    EXPECT_EQ(TkKeyState(KeyLeft), 0);
    EXPECT_EQ(TkKeyState(KeyRight), 1);       // pressed and already released: not -32767
    EXPECT_EQ(TkKeyState(KeyUp), -32767);     // down and pressed since
    EXPECT_EQ(TkKeyState(KeyUp), static_cast<int16_t>(0x8000));
    EXPECT_EQ(TkKeyState(KeyDown), static_cast<int16_t>(0x8000));
    TkSetBackend(&backend);
}

TEST_F(ToolkitTest, DisabledMenuItemRaisesNothing) {
    const MenuEntry entries[] = {{EntryBarItem, 8, "Save selected"}};
    ASSERT_TRUE(TkCreateMenuBar(entries, 1));
    TkEnableMenuItem(8, false);
    TkUserMenu(8);
    EXPECT_FALSE(TkMessagePending());
    TkEnableMenuItem(8, true);
    TkUserMenu(8);
    EXPECT_TRUE(TkMessagePending());
}

TEST(DropText, DecodesUrisAndPlainPaths) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"file:///tmp/a%20b.bin\r\nfile:///tmp/c.bin\r\n", "/tmp/a b.bin\n/tmp/c.bin"},
        {"file://host/data/x%25y", "/data/x%y"},
        {"/plain/path one.bin\n/second", "/plain/path one.bin\n/second"},
        {"", ""},
        {"file:///bad%zz", "/bad%zz"},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeDroppedPaths(c.in), c.out) << c.in;
}

}  // namespace
