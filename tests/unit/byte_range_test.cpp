// "Save binary..": where the range starts, inversion, the typed count, the
// file name rules, ranges reaching past the data, and failures.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "app/full_viewer.h"
#include "export/export.h"
#include "platform/files.h"
#include "tests/unit/export_test_support.h"
#include "viewer/viewer.h"
#include "viewer/viewer_state.h"

using exporttest::FileSizeCap;
using exporttest::LockAgainstWriting;
using exporttest::ReadAll;
using exporttest::StartWithData;
using exporttest::WorkFolder;
using exporttest::WriteAll;

namespace {

using Bytes = std::vector<uint8_t>;

// 0, 1, 2, ... so that a byte tells its own position.
Bytes Counting(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i);
    return b;
}

Bytes Slice(const Bytes& b, size_t from, size_t to) { return Bytes(b.begin() + from, b.begin() + to); }

// Sets the first byte shown: row position, width (through the width
// handler, which opens the offset's range), then the offset.
void ShowFrom(int row, int width, int offset) {
    TkSetScrollPosition(Ctl(WidthScroll), width);
    OnWidthScroll();
    TkSetScrollPosition(Ctl(RowScroll), row);
    TkSetSpinValue(Ctl(OffsetSpin), offset);
    ASSERT_EQ(TkScrollPosition(Ctl(WidthScroll)), width);
    ASSERT_EQ(TkScrollPosition(Ctl(RowScroll)), row);
    ASSERT_EQ(TkSpinValue(Ctl(OffsetSpin)), offset);
}

// Scripts one export: the typed count, then the dialog's answer.
void Answer(TestBackend& backend, const std::string& count, const std::string& path, int pattern = 1,
            bool overwrite = true) {
    backend.inputAnswers.push_back(count);
    backend.saveAnswers.push_back({path, pattern});
    backend.yesNoAnswers.push_back(overwrite);
}

TEST(ByteRange, StartsAtRowTimesWidthPlusOffset) {
    WorkFolder folder;
    const Bytes data = Counting(64);
    TestBackend& backend = StartWithData(folder, data);
    ShowFrom(3, 4, -2);
    Answer(backend, "5", folder.File("cut"));
    const int presents = backend.presents;
    SaveByteRange();
    EXPECT_EQ(ReadAll(folder.File("cut")), Slice(data, 10, 15));
    EXPECT_TRUE(backend.messageBoxes.empty());  // no word of success either
    EXPECT_EQ(backend.presents, presents);      // and no repaint
    ASSERT_EQ(backend.inputCalls.size(), 1u);
    EXPECT_EQ(backend.inputCalls[0].title, "Title");
    EXPECT_EQ(backend.inputCalls[0].proposed, "size of the file");
    EXPECT_EQ(backend.inputCalls[0].patterns, "0000");
}

TEST(ByteRange, InvertedWhileInvertIsChecked) {
    WorkFolder folder;
    Bytes data = {0x11, 0x22, 0x00, 0xFF, 0x3C};
    TestBackend& backend = StartWithData(folder, data);
    ShowFrom(1, 2, 0);
    TkSetChecked(Ctl(InvertCheck), true);
    Answer(backend, "3", folder.File("inv"));
    SaveByteRange();
    EXPECT_EQ(ReadAll(folder.File("inv")), (Bytes{0xFF, 0x00, 0xC3}));
}

TEST(ByteRange, LargeRangesComeOutWholeBothWays) {
    // More than one staging piece, and a length that is no multiple of eight.
    WorkFolder folder;
    std::mt19937 rng(5);
    Bytes data((5u << 19) + 3);
    for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
    TestBackend& backend = StartWithData(folder, data);
    for (bool invert : {false, true}) {
        SCOPED_TRACE(invert ? "inverted" : "plain");
        TkSetChecked(Ctl(InvertCheck), invert);
        Answer(backend, std::to_string(data.size()), folder.File("all"));
        SaveByteRange();
        Bytes expected = data;
        if (invert)
            for (uint8_t& b : expected) b = static_cast<uint8_t>(255 - b);
        const Bytes written = ReadAll(folder.File("all"));
        ASSERT_EQ(written.size(), expected.size());
        EXPECT_TRUE(written == expected);
    }
    EXPECT_TRUE(backend.messageBoxes.empty());
}

TEST(ByteRange, TypedCount) {
    struct Case {
        const char* typed;
        int written;  // -1: stops before the save dialog
    } cases[] = {
        {"$20", 32}, {"%101", 5}, {" 12abc", 12}, {"\t7", 7}, {"+3", 3},
        {"-5", -1}, {"abc", -1}, {"0000", -1}, {"", -1}, {"$FFFFFFFF", -1},  // the low 32 bits: -1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        WorkFolder folder;
        const Bytes data = Counting(100);
        TestBackend& backend = StartWithData(folder, data);
        Answer(backend, c.typed, folder.File("n"));
        SaveByteRange();
        EXPECT_EQ(backend.inputCalls.size(), 1u);
        if (c.written < 0) {
            EXPECT_TRUE(backend.saveCalls.empty());
            EXPECT_EQ(FileSize(folder.File("n")), -1);
        } else {
            EXPECT_EQ(backend.saveCalls.size(), 1u);
            EXPECT_EQ(ReadAll(folder.File("n")), Slice(data, 0, c.written));
        }
        EXPECT_TRUE(backend.messageBoxes.empty());
    }
}

TEST(ByteRange, FileNameRulesLeaveCurrentPathAlone) {
    struct Case {
        const char* typed;  // "" cancels
        int pattern;
        bool existsBefore;
        bool answer;
        const char* finalName;
        bool written;
    } cases[] = {
        {"out", 0, false, false, "out.bin", true},
        {"out.bin", 0, false, false, "out.bin.bin", true},
        {"out.dat", 1, false, false, "out.dat", true},
        {"out", 0, true, true, "out.bin", true},    // an existing empty file is asked about
        {"out", 0, true, false, "out.bin", false},
        {"", 0, false, false, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " pattern " + std::to_string(c.pattern));
        WorkFolder folder;
        const Bytes data = Counting(16);
        TestBackend& backend = StartWithData(folder, data, "game.rom");
        viewerState.currentPath = folder.File("game.rom");
        const std::string finalPath = *c.finalName ? folder.File(c.finalName) : "";
        if (c.existsBefore) WriteAll(finalPath, {});
        Answer(backend, "4", *c.typed ? folder.File(c.typed) : "", c.pattern, c.answer);
        SaveByteRange();
        ASSERT_EQ(backend.saveCalls.size(), 1u);
        EXPECT_EQ(backend.saveCalls[0].title, "Save binary file");
        EXPECT_EQ(backend.saveCalls[0].proposed, folder.File("game.rom"));
        EXPECT_EQ(backend.saveCalls[0].patterns, "Binary|*.bin|All Files|*.*");
        if (c.existsBefore) {
            ASSERT_EQ(backend.questions.size(), 1u);
            EXPECT_EQ(backend.questions[0], std::make_pair(std::string("save binary"),
                                                           "Overwrite this file? " + finalPath));
        } else {
            EXPECT_TRUE(backend.questions.empty());
        }
        if (c.written) {
            EXPECT_EQ(ReadAll(finalPath), Slice(data, 0, 4));
        }
        if (c.existsBefore && !c.written) {
            EXPECT_EQ(FileSize(finalPath), 0);
        }
        EXPECT_EQ(viewerState.currentPath, folder.File("game.rom"));
        size_t expectedEntries = 1 + ((c.written || c.existsBefore) ? 1 : 0);
        EXPECT_EQ(folder.Entries().size(), expectedEntries);
    }
}

TEST(ByteRange, RangeIsCutToTheData) {
    struct Case {
        int row, width, offset, count;
        size_t from, to;  // of the 16 data bytes, what the file holds
    } cases[] = {
        {0, 4, -2, 5, 0, 3},            // starts 2 before the data
        {0, 4, -3, 2, 0, 0},            // ends before the data: an empty file
        {3, 4, 0, 10, 12, 16},          // runs past the end
        {4, 4, 1, 3, 0, 0},             // starts past the end
        {16, 257, 0, 8, 0, 0},          // far past the end
        {0, 1, 0, 2147483647, 0, 16},   // the largest count
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("row " + std::to_string(c.row) + " width " + std::to_string(c.width) + " offset " +
                     std::to_string(c.offset) + " count " + std::to_string(c.count));
        WorkFolder folder;
        const Bytes data = Counting(16);
        TestBackend& backend = StartWithData(folder, data);
        ShowFrom(c.row, c.width, c.offset);
        Answer(backend, std::to_string(c.count), folder.File("clip"));
        SaveByteRange();
        EXPECT_EQ(FileSize(folder.File("clip")), int64_t(c.to - c.from));
        EXPECT_EQ(ReadAll(folder.File("clip")), Slice(data, c.from, c.to));
        EXPECT_TRUE(backend.messageBoxes.empty());
    }
}

TEST(ByteRange, FailureIsReportedWithPathAndReason) {
    WorkFolder folder;
    TestBackend& backend = StartWithData(folder, Counting(200000));
    // The folder is missing.
    const std::string missing = folder.File("gone/cut.bin");
    Answer(backend, "10", missing);
    SaveByteRange();
    ASSERT_EQ(backend.messageBoxes.size(), 1u);
    EXPECT_EQ(backend.messageBoxes[0],
              std::make_pair(std::string("save binary"), "Cannot save " + missing + ": " + exporttest::MissingFolderReason()));

    // The disk fills midway over an existing file: the old file survives.
    SKIP_WITHOUT_FILE_SIZE_CAP();
    const std::string target = folder.File("cut.bin");
    const Bytes old = {'o', 'l', 'd'};
    WriteAll(target, old);
    Answer(backend, "200000", target);
    {
        FileSizeCap full(50000);
        SaveByteRange();
    }
    ASSERT_EQ(backend.messageBoxes.size(), 2u);
    EXPECT_EQ(backend.messageBoxes[1], std::make_pair(std::string("save binary"),
                                                      "Cannot save " + target + ": File too large"));
    EXPECT_EQ(ReadAll(target), old);
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"cut.bin", "data.bin"}));

    // The target cannot be written.
    if (!LockAgainstWriting(target)) GTEST_SKIP() << "this file system cannot lock a file";
    Answer(backend, "10", target);
    SaveByteRange();
    ASSERT_EQ(backend.messageBoxes.size(), 3u);
    EXPECT_EQ(backend.messageBoxes[2].first, "save binary");
    EXPECT_EQ(backend.messageBoxes[2].second.rfind("Cannot save " + target + ": ", 0), 0u);
    EXPECT_GT(backend.messageBoxes[2].second.size(), ("Cannot save " + target + ": ").size());
    EXPECT_EQ(ReadAll(target), old);
}

TEST(ByteRange, WithoutDataAsksForAFileFirst) {
    WorkFolder folder;
    for (bool emptyFile : {false, true}) {
        SCOPED_TRACE(emptyFile ? "an empty file loaded" : "nothing loaded");
        TestBackend& backend = emptyFile ? StartWithData(folder, {}) : StartTestViewer(fullViewer);
        Answer(backend, "10", folder.File("x"));
        SaveByteRange();
        ASSERT_EQ(backend.messageBoxes.size(), 1u);
        EXPECT_EQ(backend.messageBoxes[0], std::make_pair(std::string("Title"), std::string("1st load file!")));
        EXPECT_TRUE(backend.inputCalls.empty());
        EXPECT_TRUE(backend.saveCalls.empty());
        EXPECT_EQ(FileSize(folder.File("x")), -1);
    }
}

}  // namespace
