#include "tests/unit/export_test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "app/full_viewer.h"
#include "tests/support/canvas_check.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"

namespace exporttest {

namespace {

bool SetImmutable(const std::string& path, bool on) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
    return ok;
}

void RemoveTree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return;
    if (!S_ISLNK(st.st_mode)) Unlock(path);
    if (S_ISDIR(st.st_mode)) {
        if (DIR* d = opendir(path.c_str())) {
            std::vector<std::string> names;
            while (dirent* e = readdir(d)) {
                const std::string n = e->d_name;
                if (n != "." && n != "..") names.push_back(n);
            }
            closedir(d);
            for (const std::string& n : names) RemoveTree(path + "/" + n);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

}  // namespace

WorkFolder::WorkFolder() {
    path = MakeTempDir();
    char here[4096];
    previous = getcwd(here, sizeof here) ? here : "/";
    if (chdir(path.c_str()) != 0) throw std::runtime_error("cannot enter the scratch folder");
    path = CurrentDirectory();  // as the program will see it
}

WorkFolder::~WorkFolder() {
    if (chdir(previous.c_str()) != 0) std::perror("back to the previous folder");
    RemoveTree(path);
}

std::vector<std::string> EntriesOf(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        throw std::runtime_error("cannot write " + path);
    std::fclose(f);
}

bool LockAgainstWriting(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    chmod(path.c_str(), S_ISDIR(st.st_mode) ? 0555 : 0444);
    if (geteuid() != 0) return true;
    return SetImmutable(path, true);  // root writes through permission bits
}

#ifdef _WIN32
std::string LockedReason() { return "The file is read-only"; }
std::string FolderReason() { return "It is a folder"; }
#else
std::string LockedReason() { return std::strerror(geteuid() == 0 ? EPERM : EACCES); }
std::string FolderReason() { return std::strerror(EISDIR); }
#endif

void Unlock(const std::string& path) {
    SetImmutable(path, false);
    struct stat st;
    if (stat(path.c_str(), &st) == 0) chmod(path.c_str(), S_ISDIR(st.st_mode) ? 0755 : 0644);
}

std::string MissingFolderReason() {
#ifdef _WIN32
    // Whatever the system says: make a file in a missing folder and ask it.
    std::string reason;
    if (SafeWriter* w = BeginSafeWrite(MakeTempDir() + "\\no-such-folder\\x", &reason)) AbortSafeWrite(w);
    return reason;
#else
    return "No such file or directory";
#endif
}

FileSizeCap::FileSizeCap(long bytes) {
    savedHandler = std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not a dead process
    rlimit r;
    getrlimit(RLIMIT_FSIZE, &r);
    savedSoft = r.rlim_cur;
    r.rlim_cur = static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &r);
}

FileSizeCap::~FileSizeCap() {
    rlimit r;
    getrlimit(RLIMIT_FSIZE, &r);
    r.rlim_cur = savedSoft;
    setrlimit(RLIMIT_FSIZE, &r);
    std::signal(SIGXFSZ, savedHandler);
}

TestBackend& StartWithData(const WorkFolder& folder, const std::vector<uint8_t>& data, const std::string& name) {
    const std::string path = folder.File(name);
    WriteAll(path, data);
    TestBackend& backend = StartTestViewer(fullViewer);
    OpenDataFile(path);
    Redraw();
    return backend;
}

}  // namespace exporttest
