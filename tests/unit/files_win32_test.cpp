// The files layer on Windows: names in any script, backslash folder parts,
// files other programs hold, devices and pipes, the safe writer's replace and
// failure paths, and the first command-line argument.
#include <windows.h>
#undef SetCurrentDirectory  // the files layer's, not the system's macro

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/full_viewer.h"
#include "export/export.h"
#include "platform/files.h"
#include "tests/support/canvas_check.h"
#include "tests/support/test_backend.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"
#include "viewer/viewer_state.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::wstring W(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &w[0], n);
    return w;
}

std::string U(const std::wstring& w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

// Files written and read by their UTF-16 names, as another program would.
void Put(const std::string& path, const Bytes& bytes) {
    HANDLE h = CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    DWORD done = 0;
    if (!bytes.empty()) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
    ASSERT_EQ(done, bytes.size());
}

Bytes Get(const std::string& path) {
    Bytes bytes;
    HANDLE h = CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    uint8_t buf[65536];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) bytes.insert(bytes.end(), buf, buf + n);
    CloseHandle(h);
    return bytes;
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((W(folder) + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring n = found.cFileName;
        if (n != L"." && n != L"..") names.push_back(U(n));
    } while (FindNextFileW(h, &found));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

Bytes Counting(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + 3);
    return b;
}

class WinFiles : public ::testing::Test {
protected:
    void SetUp() override {
        home = CurrentDirectory();
        ASSERT_TRUE(SetCurrentDirectory(MakeTempDir()));
        dir = CurrentDirectory();  // as the system names it
        StartTestViewer(fullViewer);
    }
    void TearDown() override {
        SetCurrentDirectory(home);
        RemoveTree(dir);
    }
    std::string In(const std::string& name) const { return dir + "\\" + name; }
    // How a load ended and what it left.
    std::string Load(const std::string& path) {
        CurrentTestBackend().messageBoxes.clear();
        std::string ending = "went on";
        try {
            OpenDataFile(path);
        } catch (const ProcessExit& e) {
            ending = "exit " + std::to_string(e.code);
        }
        const auto& boxes = CurrentTestBackend().messageBoxes;
        for (const auto& box : boxes) ending += ", " + box.first + ": " + box.second;
        return ending + ", size " + std::to_string(viewerState.fileSize);
    }
    std::string dir, home;
};

// Greek, Cyrillic, CJK and an accented Latin letter: none fits one code page.
const char* const kScriptName = "\xCE\xB4\xCE\xB5\xCE\xB4-\xD0\xB4\xD0\xB0\xD0\xBC\xD0\xBF-\xE7\xB2\xBE\xE7\x81\xB5-\xC3\xA9.bin";
const char* const kScriptFolder = "\xC3\x9C\xC3\xB1\xC3\xAE \xE6\x96\x87\xE4\xBB\xB6";

TEST_F(WinFiles, NamesInAnyScriptLoadAndExport) {
    ASSERT_TRUE(CreateDirectoryW(W(In(kScriptFolder)).c_str(), nullptr));
    const std::string folder = In(kScriptFolder);
    const std::string data = folder + "\\" + kScriptName;
    const Bytes bytes = Counting(5000);
    Put(data, bytes);
    EXPECT_EQ(FileSize(data), 5000);

    SetCurrentDirectory(home);
    EXPECT_EQ(Load(data), "went on, size 5000");
    EXPECT_EQ(Bytes(viewerState.fileData, viewerState.fileData + viewerState.fileSize), bytes);
    EXPECT_EQ(CurrentDirectory(), folder);  // the folder part, named in UTF-8 inside
    viewerState.currentPath = data;
    Redraw();

    // The image, proposed beside the data file and saved under a name in the same scripts.
    TestBackend& backend = CurrentTestBackend();
    const std::string picture = "\xCE\xB5\xCE\xB9\xCE\xBA\xCF\x8C\xCE\xBD\xCE\xB1";  // typed without extension
    const std::string image = folder + "\\" + picture + ".png";
    backend.saveAnswers.push_back({folder + "\\" + picture, 0});
    SaveCanvasImage();
    ASSERT_EQ(backend.saveCalls.size(), 1u);
    EXPECT_EQ(backend.saveCalls[0].proposed, data);
    EXPECT_TRUE(backend.messageBoxes.empty());
    EXPECT_EQ(Entries(folder), (std::vector<std::string>{kScriptName, picture + ".png"}));
    const Bytes png = Get(image);
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(Bytes(png.begin(), png.begin() + 4), (Bytes{0x89, 'P', 'N', 'G'}));

    // A byte range under another such name.
    const std::string piece = "\xD0\xBA\xD1\x83\xD1\x81\xD0\xBE\xD0\xBA";  // typed without extension
    const std::string range = folder + "\\" + piece + ".bin";
    backend.inputAnswers.push_back("16");
    backend.saveAnswers.push_back({folder + "\\" + piece, 0});
    SaveByteRange();
    EXPECT_TRUE(backend.messageBoxes.empty());
    EXPECT_EQ(Get(range), Bytes(bytes.begin(), bytes.begin() + 16));
    EXPECT_EQ(Entries(folder), (std::vector<std::string>{kScriptName, picture + ".png", piece + ".bin"}));
}

// Only the backslash ends a folder part; a relative path with one still loads
// the file it named from where the load was asked.
TEST_F(WinFiles, BackslashFolderPartsBecomeTheCurrentDirectory) {
    ASSERT_TRUE(CreateDirectoryW(W(In("sub")).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(W(In("sub\\inner")).c_str(), nullptr));
    Put(In("sub\\inner\\d.bin"), Counting(100));
    struct Case {
        std::string path, folderAfter;
    } cases[] = {
        {In("sub\\inner\\d.bin"), In("sub\\inner")},
        {"sub\\inner\\d.bin", In("sub\\inner")},
        {"sub/inner\\d.bin", In("sub\\inner")},
        {".\\sub\\inner\\d.bin", In("sub\\inner")},
        {"sub/inner/d.bin", dir},  // forward slashes only: the folder stays
        {In("sub/inner/d.bin"), dir},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SetCurrentDirectory(dir));
        EXPECT_EQ(Load(c.path), "went on, size 100") << c.path;
        EXPECT_EQ(CurrentDirectory(), c.folderAfter) << c.path;
    }
    // A bare name stays where it is.
    ASSERT_TRUE(SetCurrentDirectory(In("sub\\inner")));
    EXPECT_EQ(Load("d.bin"), "went on, size 100");
    EXPECT_EQ(CurrentDirectory(), In("sub\\inner"));
}

TEST_F(WinFiles, AbsolutePathCompletesRelativeForms) {
    const std::string drive = dir.substr(0, 2);  // "C:"
    struct Case {
        std::string given, expected;
    } cases[] = {
        {"b.bin", In("b.bin")},
        {"a\\b.bin", In("a\\b.bin")},
        {"a/b.bin", In("a\\b.bin")},
        {"..\\" + dir.substr(dir.rfind('\\') + 1) + "\\b.bin", In("b.bin")},
        {"\\top\\b.bin", drive + "\\top\\b.bin"},
        {"C:\\abs\\b.bin", "C:\\abs\\b.bin"},
        {"\\\\server\\share\\b.bin", "\\\\server\\share\\b.bin"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(AbsolutePath(c.given), c.expected) << c.given;
}

// Run in a child process: holds the file named in the environment open for
// writing until the parent says so.
TEST(WinFilesChild, HoldForWriting) {
    const char* path = std::getenv("VEXELOR_HOLD_FOR_WRITING");
    if (!path) GTEST_SKIP() << "only run by WinFiles.AFileHeldForWritingElsewhereDoesNotOpen";
    HANDLE h = CreateFileW(W(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"vexelor-test-held");
    HANDLE done = OpenEventW(SYNCHRONIZE, FALSE, L"vexelor-test-done");
    ASSERT_TRUE(held && done);
    SetEvent(held);
    WaitForSingleObject(done, 30000);
    CloseHandle(h);
}

// Run in a child process: writes the first command-line argument to a file.
TEST(WinFilesChild, EchoFirstArgument) {
    const char* out = std::getenv("VEXELOR_ECHO_ARGUMENT_TO");
    if (!out) GTEST_SKIP() << "only run by WinFiles.FirstArgumentComesFromTheWideCommandLine";
    const std::string first = FirstCommandLineArgument(0, nullptr);
    Put(out, Bytes(first.begin(), first.end()));
}

// Starts this test program again with the arguments and one variable set.
PROCESS_INFORMATION StartChild(const std::wstring& arguments, const char* variable, const std::string& value) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" " + arguments;
    SetEnvironmentVariableW(W(variable).c_str(), W(value).c_str());
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    const BOOL started = CreateProcessW(self, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(W(variable).c_str(), nullptr);
    EXPECT_TRUE(started);
    return pi;
}

TEST_F(WinFiles, AFileHeldForWritingElsewhereDoesNotOpen) {
    const std::string path = In("held.bin");
    Put(path, Counting(300));
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, L"vexelor-test-held");
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, L"vexelor-test-done");
    PROCESS_INFORMATION child =
        StartChild(L"--gtest_filter=WinFilesChild.HoldForWriting", "VEXELOR_HOLD_FOR_WRITING", path);
    ASSERT_EQ(WaitForSingleObject(held, 30000), WAIT_OBJECT_0);

    int64_t size = -1;
    EXPECT_EQ(OpenForReading(path, &size), -1);
    EXPECT_EQ(Load(path), "exit 1, Information: Couldn't open the file!, size 0");

    SetEvent(done);
    WaitForSingleObject(child.hProcess, 30000);
    DWORD code = 1;
    GetExitCodeProcess(child.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    CloseHandle(held);
    CloseHandle(done);
    // Once let go, it opens, and while it is open others may still read it.
    StartTestViewer(fullViewer);
    EXPECT_EQ(Load(path), "went on, size 300");
    const int handle = OpenForReading(path, &size);
    ASSERT_GE(handle, 0);
    EXPECT_EQ(size, 300);
    EXPECT_EQ(Get(path).size(), 300u);
    HANDLE writer = CreateFileW(W(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);  // nobody may write it meanwhile
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    CloseFile(handle);
}

TEST_F(WinFiles, FirstArgumentComesFromTheWideCommandLine) {
    const std::string out = In("argument.txt");
    const std::string given = std::string("C:\\some folder\\") + kScriptName;
    PROCESS_INFORMATION child = StartChild(L"\"" + W(given) + L"\" --gtest_filter=WinFilesChild.EchoFirstArgument",
                                           "VEXELOR_ECHO_ARGUMENT_TO", out);
    WaitForSingleObject(child.hProcess, 30000);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    const Bytes echoed = Get(out);
    EXPECT_EQ(std::string(echoed.begin(), echoed.end()), given);
}

// Device names and pipes hold no bytes to read whole: they load as an empty
// file would, at once, and the program goes on.
TEST_F(WinFiles, DevicesAndPipesLoadAsEmptyWithoutWaiting) {
    HANDLE pipe = CreateNamedPipeW(L"\\\\.\\pipe\\vexelor-test-pipe", PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 4,
                                   4096, 4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    Put(In("small.bin"), Counting(2000));
    for (const std::string& path : {std::string("NUL"), std::string("nul.txt"), std::string("CON"),
                                    In("COM1"), In("aux.bin"), std::string("\\\\.\\pipe\\vexelor-test-pipe")}) {
        OpenDataFile(In("small.bin"));
        TkSetScrollPosition(Ctl(WidthScroll), 9);
        int64_t size = -7;
        EXPECT_EQ(OpenForReading(path, &size), kNotAFile) << path;
        EXPECT_EQ(size, -7) << path;
        EXPECT_EQ(Load(path), "went on, size 0") << path;
        EXPECT_EQ(viewerState.fileData, nullptr) << path;
        EXPECT_EQ(TkScrollPosition(Ctl(WidthScroll)), 1) << path;
        EXPECT_EQ(TkScrollMaximum(Ctl(RowScroll)), 0) << path;
    }
    CloseHandle(pipe);
    // A folder and a drive's root still end the program; nothing there empties the view.
    EXPECT_EQ(FileSize(dir), -2);
    EXPECT_EQ(FileSize(dir.substr(0, 3)), -2);
    EXPECT_EQ(Load(dir), "exit 1, Information: Couldn't open the file!, size 0");
    EXPECT_EQ(Load(dir.substr(0, 3)), "exit 1, Information: Couldn't open the file!, size 0");
    EXPECT_EQ(FileSize(In("missing.bin")), -1);
    EXPECT_EQ(Load(In("missing.bin")), "went on, size 0");
}

TEST_F(WinFiles, ZeroedBlocksAndLargeReads) {
    EXPECT_EQ(AllocateZeroedBlock(0), nullptr);
    EXPECT_EQ(AllocateZeroedBlock(-5), nullptr);
    EXPECT_EQ(AllocateZeroedBlock(int64_t{1} << 52), nullptr);  // more than any address space
    uint8_t* block = AllocateZeroedBlock(1 << 20);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::count(block, block + (1 << 20), 0), 1 << 20);
    ReleaseBlock(block, 1 << 20);

    // Short reads leave the rest of the block as it was.
    Put(In("short.bin"), Counting(1000));
    int64_t size = 0;
    const int handle = OpenForReading(In("short.bin"), &size);
    ASSERT_GE(handle, 0);
    Bytes into(4000, 0);
    EXPECT_EQ(ReadInto(handle, into.data(), 4000), 1000);
    CloseFile(handle);
    EXPECT_EQ(Bytes(into.begin(), into.begin() + 1000), Counting(1000));
    EXPECT_EQ(std::count(into.begin() + 1000, into.end(), 0), 3000);
}

// --- The safe writer ---------------------------------------------------------------

std::string Save(const std::string& target, const Bytes& bytes, bool commit = true) {
    std::string reason;
    SafeWriter* w = BeginSafeWrite(target, &reason);
    if (!w) return "refused: " + reason;
    if (!SafeWrite(w, bytes.data(), bytes.size())) return "write failed";
    if (!commit) {
        AbortSafeWrite(w);
        return "abandoned";
    }
    return CommitSafeWrite(w, &reason) ? "saved" : "failed: " + reason;
}

TEST_F(WinFiles, SafeWriterReplacesAndKeepsTheFilesAttributes) {
    const std::string target = In("out.bin");
    EXPECT_EQ(Save(target, {1, 2, 3}), "saved");
    EXPECT_EQ(Get(target), (Bytes{1, 2, 3}));
    Put(target, Counting(10000));
    ASSERT_TRUE(SetFileAttributesW(W(target).c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(Save(target, {9, 8}), "saved");
    EXPECT_EQ(Get(target), (Bytes{9, 8}));
    EXPECT_TRUE(GetFileAttributesW(W(target).c_str()) & FILE_ATTRIBUTE_HIDDEN);
    // Through the stream, as the image encoders write.
    std::string reason;
    SafeWriter* w = BeginSafeWrite(target, &reason);
    ASSERT_NE(w, nullptr) << reason;
    std::fputs("streamed", SafeWriterStream(w));
    ASSERT_TRUE(CommitSafeWrite(w, &reason)) << reason;
    EXPECT_EQ(Get(target), (Bytes{'s', 't', 'r', 'e', 'a', 'm', 'e', 'd'}));
    // Abandoned: the old bytes stay.
    EXPECT_EQ(Save(target, Counting(50), false), "abandoned");
    EXPECT_EQ(Get(target), (Bytes{'s', 't', 'r', 'e', 'a', 'm', 'e', 'd'}));
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"out.bin"});  // no temporary left
}

TEST_F(WinFiles, SafeWriterFailuresKeepTheOldFileAndLeaveNothing) {
    const Bytes old = {'o', 'l', 'd'};
    const std::string readOnly = In("read-only.bin");
    Put(readOnly, old);
    ASSERT_TRUE(SetFileAttributesW(W(readOnly).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Save(readOnly, Counting(10)), "refused: The file is read-only");
    EXPECT_EQ(Get(readOnly), old);
    SetFileAttributesW(W(readOnly).c_str(), FILE_ATTRIBUTE_NORMAL);

    ASSERT_TRUE(CreateDirectoryW(W(In("folder")).c_str(), nullptr));
    EXPECT_EQ(Save(In("folder"), Counting(10)), "refused: It is a folder");
    EXPECT_EQ(Save("NUL", Counting(10)), "refused: It is a device, not a file");
    const std::string missing = Save(In("gone\\x.bin"), Counting(10));
    EXPECT_EQ(missing.rfind("refused: ", 0), 0u) << missing;
    EXPECT_GT(missing.size(), std::string("refused: ").size());

    // Held open by a program that lets nobody else write: refused with the system's reason.
    const std::string busy = In("busy.bin");
    Put(busy, old);
    HANDLE holder = CreateFileW(W(busy).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const std::string refused = Save(busy, Counting(10));
    EXPECT_EQ(refused.rfind("refused: ", 0), 0u) << refused;
    EXPECT_GT(refused.size(), std::string("refused: ").size());
    CloseHandle(holder);
    EXPECT_EQ(Get(busy), old);

    // Taken by another program between the start and the end of the save:
    // the replacement fails, the old file stays and the temporary goes.
    std::string reason;
    SafeWriter* w = BeginSafeWrite(busy, &reason);
    ASSERT_NE(w, nullptr) << reason;
    ASSERT_TRUE(SafeWrite(w, Counting(100).data(), 100));
    holder = CreateFileW(W(busy).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(CommitSafeWrite(w, &reason));
    EXPECT_FALSE(reason.empty());
    CloseHandle(holder);
    EXPECT_EQ(Get(busy), old);
    EXPECT_EQ(Entries(dir), (std::vector<std::string>{"busy.bin", "folder", "read-only.bin"}));
}

}  // namespace
