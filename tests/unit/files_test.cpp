// The files layer as a careful user meets it: pipes, sockets and devices
// chosen as data files, saves through symbolic links, the permissions and
// owner of a replaced file, and the path and reason in every failure message.
#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/full_viewer.h"
#include "export/export.h"
#include "platform/files.h"
#include "tests/support/test_backend.h"
#include "tests/unit/export_test_support.h"
#include "variant/compact_viewer.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"
#include "viewer/viewer_state.h"

// The order in which a save puts things on the disk is seen by standing in
// for the system's fsync and rename: while a test holds a log, each call is
// written into it (with the path of a synced descriptor) and then made.
std::vector<std::string>* diskLog = nullptr;

extern "C" int fsync(int fd) {
    using Call = int (*)(int);
    static Call real = reinterpret_cast<Call>(dlsym(RTLD_NEXT, "fsync"));
    if (diskLog) {
        char path[4096];
        const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path);
        diskLog->push_back("sync " + std::string(path, n > 0 ? static_cast<size_t>(n) : 0));
    }
    return real(fd);
}

extern "C" int rename(const char* from, const char* to) noexcept {
    using Call = int (*)(const char*, const char*);
    static Call real = reinterpret_cast<Call>(dlsym(RTLD_NEXT, "rename"));
    if (diskLog) diskLog->push_back(std::string("rename ") + from + " " + to);
    return real(from, to);
}

namespace {

using exporttest::FileSizeCap;
using exporttest::ReadAll;
using exporttest::StartWithData;
using exporttest::WorkFolder;
using exporttest::WriteAll;
using Bytes = std::vector<uint8_t>;

// Runs the body in a child process that an alarm ends after the deadline, so
// that a call that waits for ever fails the test instead of holding the whole
// run. Gives what the body returned, or "hung" when the deadline passed.
std::string InChildWithDeadline(const std::function<std::string()>& body, unsigned seconds = 5) {
    int fds[2];
    if (pipe(fds) != 0) return "no pipe";
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return "no child";
    if (pid == 0) {
        close(fds[0]);
        signal(SIGALRM, SIG_DFL);
        alarm(seconds);
        const std::string out = body();
        const ssize_t written = write(fds[1], out.data(), out.size());
        _exit(written == static_cast<ssize_t>(out.size()) ? 0 : 2);
    }
    close(fds[1]);
    std::string out;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) return WTERMSIG(status) == SIGALRM ? "hung" : "killed by " + std::to_string(WTERMSIG(status));
    return out;
}

// A unix socket bound at the path, left open by the test while it runs.
int BindSocket(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (fd < 0 || path.size() >= sizeof addr.sun_path) return -1;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int OpenDescriptors() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

// --- Loading what is no file of bytes -------------------------------------------------

class SpecialFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        fifo = folder.File("pipe");
        ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
        socketPath = folder.File("sock");
        socketFd = BindSocket(socketPath);
        ASSERT_EQ(symlink(fifo.c_str(), folder.File("link-to-pipe").c_str()), 0);
    }
    void TearDown() override {
        if (socketFd >= 0) close(socketFd);
    }
    // Every path a user might choose or drop that holds no bytes to read whole.
    std::vector<std::string> SpecialPaths() const {
        std::vector<std::string> paths = {"/dev/null", "/dev/zero", fifo, folder.File("link-to-pipe")};
        if (socketFd >= 0) paths.push_back(socketPath);
        return paths;
    }
    WorkFolder folder;
    std::string fifo, socketPath;
    int socketFd = -1;
};

TEST_F(SpecialFilesTest, OpenForReadingNeitherWaitsNorKeepsAHandle) {
    for (const std::string& path : SpecialPaths()) {
        EXPECT_EQ(InChildWithDeadline([&] {
                      const int before = OpenDescriptors();
                      int64_t size = -7;
                      const int handle = OpenForReading(path, &size);
                      return std::to_string(handle) + (OpenDescriptors() == before ? "" : ", a handle left open");
                  }),
                  std::to_string(kNotAFile))
            << path;
    }
    // A regular file opens with its size; a folder does not open.
    WriteAll(folder.File("data.bin"), Bytes(1234, 7));
    int64_t size = 0;
    const int handle = OpenForReading(folder.File("data.bin"), &size);
    EXPECT_GE(handle, 0);
    EXPECT_EQ(size, 1234);
    CloseFile(handle);
    EXPECT_EQ(OpenForReading(folder.path, &size), -1);
}

// What the viewer shows after a load: how it ended, the messages, the data
// and the two scroll bars.
std::string LoadAndDescribe(const std::string& path) {
    std::string ending = "went on";
    try {
        OpenDataFile(path);
    } catch (const ProcessExit& e) {
        ending = "exit " + std::to_string(e.code);
    }
    std::string out = ending + ", messages " + std::to_string(CurrentTestBackend().messageBoxes.size());
    out += ", size " + std::to_string(viewerState.fileSize) + (viewerState.fileData ? ", data" : ", no data");
    out += ", width " + std::to_string(TkScrollPosition(Ctl(WidthScroll)));
    out += ", rows to " + std::to_string(TkScrollMaximum(Ctl(RowScroll)));
    return out;
}

// A pipe, socket or device loads as an empty file would: no wait, no read,
// no message and the program goes on, with the view emptied and the width
// set back to 1. Folders still end the program as they did.
TEST_F(SpecialFilesTest, LoadingOneEmptiesTheViewAndTheProgramGoesOn) {
    StartWithData(folder, Bytes(2000, 0x5A));
    TkSetScrollPosition(Ctl(WidthScroll), 9);
    const std::string empty = "went on, messages 0, size 0, no data, width 1, rows to 0";
    for (const std::string& path : SpecialPaths())
        EXPECT_EQ(InChildWithDeadline([&] { return LoadAndDescribe(path); }), empty) << path;

    WriteAll(folder.File("small.bin"), Bytes(300, 1));
    struct Case {
        std::string path, seen;
    } controls[] = {
        {folder.File("small.bin"), "went on, messages 0, size 300, data, width 1, rows to 300"},
        {folder.path, "exit 1, messages 1, size 0, no data, width 9, rows to 2000"},
    };
    for (const Case& c : controls) EXPECT_EQ(InChildWithDeadline([&] { return LoadAndDescribe(c.path); }), c.seen);
}

// A pipe that a writer holds open with bytes waiting: the loader reads none
// of them.
TEST_F(SpecialFilesTest, APipeWithAWriterIsNotDrained) {
    const int writer = open(fifo.c_str(), O_RDWR | O_NONBLOCK);  // never waits
    ASSERT_GE(writer, 0);
    ASSERT_EQ(write(writer, "waiting", 7), 7);
    StartTestViewer(fullViewer);
    EXPECT_EQ(InChildWithDeadline([&] { return LoadAndDescribe(fifo); }),
              "went on, messages 0, size 0, no data, width 1, rows to 0");
    char buf[16];
    EXPECT_EQ(read(writer, buf, sizeof buf), 7);
    close(writer);
}

// --- Saving through symbolic links ----------------------------------------------------

// Scripts one "Save binary..": count bytes under the name as typed.
void AnswerBinary(TestBackend& backend, int count, const std::string& path) {
    backend.inputAnswers.push_back(std::to_string(count));
    backend.saveAnswers.push_back({path, 1});
    backend.yesNoAnswers.push_back(true);
}

std::string LinkContents(const std::string& path) {
    char buf[4096];
    const ssize_t n = readlink(path.c_str(), buf, sizeof buf);
    return n < 0 ? std::string("(no link)") : std::string(buf, static_cast<size_t>(n));
}

TEST(SaveThroughLinks, TheFileALinkLeadsToIsReplacedAndTheLinksStay) {
    struct Link {
        const char* at;  // inside the work folder
        const char* contents;  // "@" stands for the work folder's path
    };
    struct Case {
        const char* name;
        std::vector<Link> links;
        const char* chosen;  // the name typed into the dialog
        const char* file;    // where the bytes must go
        bool exists;         // the file is there beforehand
    } cases[] = {
        {"absolute link", {{"work/out.bin", "@/site/img/out.bin"}}, "work/out.bin", "site/img/out.bin", true},
        {"relative link", {{"work/out.bin", "../site/img/out.bin"}}, "work/out.bin", "site/img/out.bin", true},
        {"chain of links",
         {{"work/a.bin", "b.bin"}, {"work/b.bin", "../site/c.bin"}, {"site/c.bin", "img/out.bin"}},
         "work/a.bin",
         "site/img/out.bin",
         true},
        {"dangling relative link", {{"work/new.bin", "../site/img/new.bin"}}, "work/new.bin", "site/img/new.bin",
         false},
        {"dangling absolute link", {{"work/new.bin", "@/site/img/new.bin"}}, "work/new.bin", "site/img/new.bin",
         false},
    };
    const Bytes data = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21};
    const Bytes old = {'o', 'l', 'd'};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WorkFolder folder;
        for (const char* sub : {"work", "site", "site/img"}) ASSERT_EQ(mkdir(folder.File(sub).c_str(), 0755), 0);
        for (const Link& l : c.links) {
            std::string contents = l.contents;
            if (contents[0] == '@') contents = folder.path + contents.substr(1);
            ASSERT_EQ(symlink(contents.c_str(), folder.File(l.at).c_str()), 0);
        }
        const std::string file = folder.File(c.file), chosen = folder.File(c.chosen);
        if (c.exists) WriteAll(file, old);
        const auto entriesBefore = exporttest::EntriesOf(folder.File("site/img"));
        const auto workBefore = exporttest::EntriesOf(folder.File("work"));
        TestBackend& backend = StartWithData(folder, data);

        // A save that fails midway leaves the file and every link as they were.
        AnswerBinary(backend, 10, chosen);
        {
            FileSizeCap full(4);
            SaveByteRange();
        }
        ASSERT_EQ(backend.messageBoxes.size(), 1u);
        EXPECT_EQ(backend.messageBoxes[0].second, "Cannot save " + chosen + ": File too large");
        EXPECT_EQ(FileSize(file), c.exists ? 3 : -1);
        if (c.exists) {
            EXPECT_EQ(ReadAll(file), old);
        }

        // A save that goes through replaces the file the links lead to.
        AnswerBinary(backend, 10, chosen);
        SaveByteRange();
        EXPECT_EQ(backend.messageBoxes.size(), 1u);
        EXPECT_EQ(ReadAll(file), Bytes(data.begin(), data.begin() + 10));
        // An existing file is asked about; a link that leads nowhere is no file.
        EXPECT_EQ(backend.questions.size(), c.exists ? 2u : 0u);
        if (!backend.questions.empty()) {
            EXPECT_EQ(backend.questions[0].second, "Overwrite this file? " + chosen);
        }

        for (const Link& l : c.links) {
            std::string contents = l.contents;
            if (contents[0] == '@') contents = folder.path + contents.substr(1);
            EXPECT_EQ(LinkContents(folder.File(l.at)), contents) << l.at;
        }
        // No temporary file left in either folder.
        auto entriesAfter = entriesBefore;
        if (!c.exists) {
            const std::string name = c.file;
            entriesAfter.push_back(name.substr(name.rfind('/') + 1));
            std::sort(entriesAfter.begin(), entriesAfter.end());
        }
        EXPECT_EQ(exporttest::EntriesOf(folder.File("site/img")), entriesAfter);
        EXPECT_EQ(exporttest::EntriesOf(folder.File("work")), workBefore);
    }
}

// --- What the replaced file keeps -----------------------------------------------------

// The new file is on the disk before it takes the old one's place, and the
// folder that now names it is put on the disk after: the folder of the file
// the link leads to, not the link's.
TEST(SafeWriter, SyncsTheFileBeforeTheRenameAndItsFolderAfter) {
    WorkFolder folder;
    ASSERT_EQ(mkdir(folder.File("site").c_str(), 0755), 0);
    WriteAll(folder.File("site/out.bin"), {1, 2, 3});
    ASSERT_EQ(symlink("site/out.bin", folder.File("out.bin").c_str()), 0);
    std::vector<std::string> log;
    diskLog = &log;
    std::string reason;
    SafeWriter* w = BeginSafeWrite(folder.File("out.bin"), &reason);
    ASSERT_NE(w, nullptr) << reason;
    SafeWrite(w, "new", 3);
    const bool committed = CommitSafeWrite(w, &reason);
    diskLog = nullptr;
    ASSERT_TRUE(committed) << reason;
    ASSERT_EQ(log.size(), 3u);
    const std::string prefix = "rename " + folder.File("site/.out.bin.");
    ASSERT_EQ(log[1].rfind(prefix, 0), 0u) << log[1];
    const std::string temp = log[1].substr(7, log[1].find(' ', 7) - 7);
    EXPECT_EQ(log[0], "sync " + temp);
    EXPECT_EQ(log[1], "rename " + temp + " " + folder.File("site/out.bin"));
    EXPECT_EQ(log[2], "sync " + folder.File("site"));
    EXPECT_EQ(ReadAll(folder.File("site/out.bin")), (Bytes{'n', 'e', 'w'}));
}

// Replaces the file at the path with the bytes through the safe writer.
bool Replace(const std::string& path, const Bytes& bytes, std::string* reason) {
    SafeWriter* w = BeginSafeWrite(path, reason);
    if (!w) return false;
    SafeWrite(w, bytes.data(), bytes.size());
    return CommitSafeWrite(w, reason);
}

mode_t ModeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(SafeWriter, KeepsPermissionsAlsoThroughALink) {
    WorkFolder folder;
    const mode_t savedMask = umask(022);
    for (mode_t mode : {0600, 0640, 0604, 0664, 0755, 0751, 02750}) {
        SCOPED_TRACE(mode);
        for (bool viaLink : {false, true}) {
            const std::string file = folder.File("kept.bin"), link = folder.File("link.bin");
            unlink(file.c_str());
            unlink(link.c_str());
            WriteAll(file, {1, 2, 3});
            ASSERT_EQ(chmod(file.c_str(), mode), 0);
            if (viaLink) {
                ASSERT_EQ(symlink("kept.bin", link.c_str()), 0);
            }
            std::string reason;
            ASSERT_TRUE(Replace(viaLink ? link : file, {4, 5}, &reason)) << reason;
            EXPECT_EQ(ModeOf(file), mode) << (viaLink ? "through the link" : "");
            EXPECT_EQ(ReadAll(file), (Bytes{4, 5}));
        }
    }
    // A new file gets what a plain create gives it.
    std::string reason;
    ASSERT_TRUE(Replace(folder.File("fresh.bin"), {1}, &reason)) << reason;
    EXPECT_EQ(ModeOf(folder.File("fresh.bin")), 0644u);
    umask(savedMask);
}

TEST(SafeWriter, KeepsOwnerAndGroupWhereTheProcessMaySetThem) {
    if (geteuid() != 0) GTEST_SKIP() << "only a privileged process may give a file to another user";
    WorkFolder folder;
    const std::string file = folder.File("theirs.bin");
    struct Case {
        uid_t uid;
        gid_t gid;
        mode_t mode;
    } cases[] = {{4321, 8765, 0644}, {0, 8765, 0660}, {4321, 0, 04755}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uid);
        WriteAll(file, {1, 2, 3});
        ASSERT_EQ(chown(file.c_str(), c.uid, c.gid), 0);
        ASSERT_EQ(chmod(file.c_str(), c.mode), 0);
        std::string reason;
        ASSERT_TRUE(Replace(file, {9}, &reason)) << reason;
        struct stat st;
        ASSERT_EQ(stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, c.uid);
        EXPECT_EQ(st.st_gid, c.gid);
        EXPECT_EQ(st.st_mode & 07777, c.mode);
        EXPECT_EQ(ReadAll(file), Bytes{9});
    }
}

// --- The path and the reason in every failure message ---------------------------------

enum class Export { Png, Jpeg, Binary, Selection };

const char* NameOf(Export e) {
    switch (e) {
        case Export::Png: return "png";
        case Export::Jpeg: return "jpeg";
        case Export::Binary: return "binary";
        case Export::Selection: return "selection";
    }
    return "";
}

// Starts the program the export belongs to with data loaded, runs the export
// so that it writes the target, and gives the messages it showed.
std::vector<std::pair<std::string, std::string>> RunExport(Export e, const WorkFolder& folder,
                                                           const std::string& base, bool diskFull) {
    const Bytes data(4000, 0xA5);
    TestBackend* backend;
    if (e == Export::Jpeg) {
        backend = &StartTestViewer(compactViewer);
        WriteAll(folder.File("data.bin"), data);
        OpenDataFile(folder.File("data.bin"));
        Redraw();
    } else {
        backend = &StartWithData(folder, data);
    }
    const std::string target = base + ".000";
    if (e == Export::Binary) backend->inputAnswers.push_back("100");
    backend->saveAnswers.push_back({target, 1});
    backend->yesNoAnswers.push_back(true);
    viewerState.currentPath = base;  // the selection's files are numbered after it
    viewerState.selStartX = viewerState.selStartY = 0;
    viewerState.selEndX = 31;  // 4 bytes a row
    viewerState.selEndY = 3;
    {
        FileSizeCap cap(diskFull ? 1 : 1L << 30);
        switch (e) {
            case Export::Png: SaveCanvasImage(); break;
            case Export::Jpeg: SaveCanvasJpeg(); break;
            case Export::Binary: SaveByteRange(); break;
            case Export::Selection: SaveSelectionBits(); break;
        }
    }
    return backend->messageBoxes;
}

TEST(FailureMessages, NameThePathAndTheSystemsReason) {
    struct Failure {
        const char* name;
        // Prepares the failure at base + ".000"; false when this machine cannot.
        std::function<bool(const WorkFolder&, std::string* base)> prepare;
        std::string reason;
        bool diskFull;
        bool optional;  // not every file system can lock a file against its owner
    } failures[] = {
        {"missing folder",
         [](const WorkFolder& f, std::string* base) {
             *base = f.File("gone/pic");
             return true;
         },
         "No such file or directory", false, false},
        {"folder in the way",
         [](const WorkFolder& f, std::string* base) {
             *base = f.File("pic");
             return mkdir((*base + ".000").c_str(), 0755) == 0;
         },
         "Is a directory", false, false},
        {"links in a circle",
         [](const WorkFolder& f, std::string* base) {
             *base = f.File("pic");
             return symlink("pic.000", (*base + ".000").c_str()) == 0;
         },
         "Too many levels of symbolic links", false, false},
        {"full disk",
         [](const WorkFolder& f, std::string* base) {
             *base = f.File("pic");
             return true;
         },
         "File too large", true, false},
        {"locked file",
         [](const WorkFolder& f, std::string* base) {
             *base = f.File("pic");
             WriteAll(*base + ".000", {});  // empty: the selection takes it too
             return exporttest::LockAgainstWriting(*base + ".000");
         },
         exporttest::LockedReason(), false, true},
    };
    for (Export e : {Export::Png, Export::Jpeg, Export::Binary, Export::Selection}) {
        for (const Failure& f : failures) {
            SCOPED_TRACE(std::string(NameOf(e)) + ", " + f.name);
            WorkFolder folder;
            std::string base;
            if (!f.prepare(folder, &base)) {
                if (!f.optional) ADD_FAILURE() << "could not prepare: " << f.name;
                continue;
            }
            const std::string target = base + ".000";
            const auto boxes = RunExport(e, folder, base, f.diskFull);
            const std::string detail = target + ": " + f.reason;
            std::pair<std::string, std::string> expected;
            switch (e) {
                case Export::Png:
                case Export::Jpeg: expected = {"CanvasGadget", "Cannot save image: " + detail}; break;
                case Export::Binary: expected = {"save binary", "Cannot save " + detail}; break;
                case Export::Selection: expected = {"Save selected", "Cannot save " + detail}; break;
            }
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0], expected);
            // Nothing left behind but what was there.
            for (const std::string& entry : folder.Entries())
                EXPECT_TRUE(entry == "data.bin" || entry == "pic.000") << entry;
        }
    }
}

}  // namespace
