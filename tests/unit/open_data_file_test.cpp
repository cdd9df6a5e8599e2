// Loading a data file: ranges, the working folder, and every way it can fail.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/full_viewer.h"
#include "platform/files.h"
#include "tests/support/canvas_check.h"
#include "tests/support/test_backend.h"
#include "viewer/viewer.h"

namespace {

class OpenDataFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = MakeTempDir();
        home = CurrentDirectory();
        StartTestViewer(fullViewer);
    }
    void TearDown() override {
        SetCurrentDirectory(home);
        RemoveTree(dir);
    }
    std::string Fixture(const std::string& name, size_t size, uint8_t fill = 0xA5) {
        const std::string path = dir + kPathSeparator + name;
        WriteFile(path, std::vector<uint8_t>(size, fill));
        return path;
    }
    // Makes a file of the size without writing its bytes.
    std::string Sparse(const std::string& name, int64_t size) {
        const std::string path = dir + kPathSeparator + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_TRUE(f);
        EXPECT_EQ(ftruncate(fileno(f), size), 0);
        std::fclose(f);
        return path;
    }
    std::string dir, home;
};

TEST_F(OpenDataFileTest, RowScrollRangeFollowsTheSize) {
    struct Case {
        size_t size;
        int page, highest;
    } cases[] = {{0, 0, 0}, {100, 0, 100}, {481, 1, 481}, {962, 2, 961}, {48100, 100, 48001}};
    for (const Case& c : cases) {
        OpenDataFile(Fixture("f" + std::to_string(c.size), c.size));
        EXPECT_EQ(viewerState.fileSize, static_cast<int32_t>(c.size));
        EXPECT_EQ(TkScrollMinimum(Ctl(RowScroll)), 0);
        EXPECT_EQ(TkScrollMaximum(Ctl(RowScroll)), static_cast<int>(c.size));
        EXPECT_EQ(TkScrollPage(Ctl(RowScroll)), c.page);
        TkSetScrollPosition(Ctl(RowScroll), 1 << 30);
        EXPECT_EQ(TkScrollPosition(Ctl(RowScroll)), c.highest) << c.size;
    }
}

TEST_F(OpenDataFileTest, ReadsTheWholeFileAndResetsWidthAndRow) {
    const std::string path = dir + "/data.bin";
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 5000; ++i) bytes.push_back(static_cast<uint8_t>(i * 31));
    WriteFile(path, bytes);
    TkSetScrollPosition(Ctl(WidthScroll), 32);
    OnWidthScroll();
    TkSetScrollPosition(Ctl(RowScroll), 7);
    OpenDataFile(path);
    ASSERT_EQ(viewerState.fileSize, 5000);
    EXPECT_EQ(std::vector<uint8_t>(viewerState.fileData, viewerState.fileData + 5000), bytes);
    EXPECT_EQ(TkScrollPosition(Ctl(WidthScroll)), 1);
    EXPECT_EQ(TkScrollPosition(Ctl(RowScroll)), 0);
    // The offset keeps the range of the last width change.
    EXPECT_EQ(TkSpinMinimum(Ctl(OffsetSpin)), -32);
    EXPECT_EQ(TkSpinMaximum(Ctl(OffsetSpin)), 32);
    EXPECT_TRUE(viewerState.currentPath.empty());  // callers set it, not the loader
}

TEST_F(OpenDataFileTest, FolderOfThePathBecomesTheWorkingDirectory) {
    const std::string path = Fixture("sprites.bin", 10);
    OpenDataFile(path);
    EXPECT_EQ(CurrentDirectory(), dir);
    // A bare name leaves the folder as it is.
    SetCurrentDirectory(home);
    SetCurrentDirectory(dir);
    const std::string sub = dir + kPathSeparator + "sub";
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    SetCurrentDirectory(sub);
    WriteFile(sub + "/bare.bin", {1, 2, 3});
    OpenDataFile("bare.bin");
    EXPECT_EQ(CurrentDirectory(), sub);
    EXPECT_EQ(viewerState.fileSize, 3);
}

// A relative path names the file as seen from the folder the call was made
// in; the file's own folder becomes the current directory all the same.
TEST_F(OpenDataFileTest, RelativePathsAreReadFromWhereTheCallWasMade) {
    for (const char* sub : {"/a", "/a/sub", "/c", "/c/d"}) ASSERT_EQ(mkdir((dir + sub).c_str(), 0755), 0);
    const std::vector<uint8_t> b = {0x12, 0x34, 0x56}, deep = {0xAB, 0xCD, 0xEF, 0x01};
    WriteFile(dir + "/a/b.bin", b);
    WriteFile(dir + "/a/sub/b.bin", deep);
    struct Case {
        const char* start;  // folder the call is made from, under dir
        const char* path;
        const std::vector<uint8_t>& bytes;
        const char* folder;  // the current directory afterwards, under dir
    } cases[] = {
        {"", "a/b.bin", b, "/a"},
        {"/a", "./b.bin", b, "/a"},
        {"/a", "b.bin", b, "/a"},
        {"/c", "../a/b.bin", b, "/a"},
        {"", "a/sub/b.bin", deep, "/a/sub"},
        {"/c/d", "../../a/sub/b.bin", deep, "/a/sub"},
    };
    for (const Case& c : cases) {
        std::string path = c.path;  // in the platform's own form
        std::replace(path.begin(), path.end(), '/', kPathSeparator);
        ASSERT_TRUE(SetCurrentDirectory(dir + c.start));
        OpenDataFile(path);
        ASSERT_EQ(viewerState.fileSize, static_cast<int32_t>(c.bytes.size())) << c.start << " " << c.path;
        EXPECT_EQ(std::vector<uint8_t>(viewerState.fileData, viewerState.fileData + viewerState.fileSize), c.bytes)
            << c.path;
        SetCurrentDirectory(dir + c.folder);
        const std::string expected = CurrentDirectory();  // as the system spells it
        SetCurrentDirectory(dir + c.start);
        OpenDataFile(path);  // again, to look at the folder it leaves
        EXPECT_EQ(CurrentDirectory(), expected) << c.start << " " << c.path;
    }
}

TEST_F(OpenDataFileTest, MissingFileEmptiesTheViewButKeepsTheWidth) {
    OpenDataFile(Fixture("a.bin", 2000));
    TkSetScrollPosition(Ctl(WidthScroll), 9);
    OpenDataFile(dir + "/nothing-here.bin");
    EXPECT_EQ(viewerState.fileData, nullptr);
    EXPECT_EQ(viewerState.fileSize, 0);
    EXPECT_EQ(TkScrollMaximum(Ctl(RowScroll)), 0);
    EXPECT_EQ(TkScrollPosition(Ctl(WidthScroll)), 9);
    EXPECT_TRUE(CurrentTestBackend().messageBoxes.empty());
}

TEST_F(OpenDataFileTest, EmptyFileResetsTheWidth) {
    OpenDataFile(Fixture("a.bin", 2000));
    TkSetScrollPosition(Ctl(WidthScroll), 9);
    OpenDataFile(Fixture("empty.bin", 0));
    EXPECT_EQ(viewerState.fileData, nullptr);
    EXPECT_EQ(viewerState.fileSize, 0);
    EXPECT_EQ(TkScrollPosition(Ctl(WidthScroll)), 1);
    EXPECT_TRUE(CurrentTestBackend().messageBoxes.empty());
}

TEST_F(OpenDataFileTest, FolderOrUnreadableFileEndsTheProgram) {
    const std::string unreadable = Fixture("locked.bin", 10);
    chmod(unreadable.c_str(), 0);
#ifdef _WIN32
    const bool root = true;  // the owner reads a file whatever its attributes
#else
    const bool root = geteuid() == 0;  // root reads anything
#endif
    for (const std::string& path : {dir, unreadable}) {
        if (path == unreadable && root) continue;
        CurrentTestBackend().messageBoxes.clear();
        try {
            OpenDataFile(path);
            ADD_FAILURE() << "the program went on after " << path;
        } catch (const ProcessExit& e) {
            EXPECT_EQ(e.code, 1);
        }
        ASSERT_EQ(CurrentTestBackend().messageBoxes.size(), 1u);
        EXPECT_EQ(CurrentTestBackend().messageBoxes[0].first, "Information");
        EXPECT_EQ(CurrentTestBackend().messageBoxes[0].second, "Couldn't open the file!");
    }
}

TEST_F(OpenDataFileTest, FilesOfTwoGibibytesAreRefusedWithAMessage) {
    OpenDataFile(Fixture("small.bin", 100));
    for (int64_t size : {int64_t{1} << 31, (int64_t{1} << 32) + 100}) {  // the second wraps to 100
        CurrentTestBackend().messageBoxes.clear();
        OpenDataFile(Sparse("huge.bin", size));
        ASSERT_EQ(CurrentTestBackend().messageBoxes.size(), 1u) << size;
        EXPECT_EQ(CurrentTestBackend().messageBoxes[0].second,
                  "The file is too large: files of 2 GiB and more cannot be shown.");
        EXPECT_EQ(viewerState.fileData, nullptr);
        EXPECT_EQ(viewerState.fileSize, 0);
        EXPECT_EQ(TkScrollMaximum(Ctl(RowScroll)), 0);
    }
}

#if !defined(__SANITIZE_ADDRESS__)
// In a child process whose address space is too small for the file: the
// load reports it and leaves the viewer without data; 0 when all went so.
void LoadWithLittleMemory(const std::string& path) {
    struct rlimit limit;
    limit.rlim_cur = limit.rlim_max = 512u << 20;
    setrlimit(RLIMIT_AS, &limit);
    OpenDataFile(path);
    const auto& boxes = CurrentTestBackend().messageBoxes;
    const bool reported = boxes.size() == 1 && boxes[0].second == "The file is too large for the memory available.";
    std::_Exit(reported && viewerState.fileData == nullptr && viewerState.fileSize == 0 ? 0 : 3);
}

TEST_F(OpenDataFileTest, NoMemoryForTheBlockIsReportedAndTheProgramGoesOn) {
#ifdef _WIN32
    GTEST_SKIP() << "no per-process address-space limit on Windows: see the Windows files tests";
#endif
    const std::string path = Sparse("large.bin", int64_t{1} << 30);
    EXPECT_EXIT(LoadWithLittleMemory(path), ::testing::ExitedWithCode(0), "");
}
#endif

TEST_F(OpenDataFileTest, CommandLineLoadsOnlyFilesWithBytes) {
    StartTestViewer(fullViewer, Fixture("given.bin", 300));
    EXPECT_EQ(viewerState.fileSize, 300);
    EXPECT_TRUE(viewerState.currentPath.empty());
    for (const std::string& arg : {Fixture("empty.bin", 0), dir, dir + "/missing", std::string()}) {
        StartTestViewer(fullViewer, arg);
        EXPECT_EQ(viewerState.fileData, nullptr) << arg;
        EXPECT_TRUE(CurrentTestBackend().messageBoxes.empty()) << arg;
        EXPECT_EQ(TkScrollMaximum(Ctl(RowScroll)), 481);
    }
}

}  // namespace
