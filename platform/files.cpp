#include "platform/files.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int64_t FileSize(const std::string& path) {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) return -1;
    if (S_ISDIR(st.st_mode)) return -2;
    return static_cast<int64_t>(st.st_size);
}

bool SetCurrentDirectory(const std::string& folder) { return !folder.empty() && chdir(folder.c_str()) == 0; }

std::string CurrentDirectory() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string(".");
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char buf[PATH_MAX];
    if (!getcwd(buf, sizeof buf)) return path;
    std::string folder(buf);
    if (folder.back() != '/') folder += '/';
    return folder + path;
}

// Blocks come straight from the kernel: already zero, and with transparent
// huge pages a large file is faulted in far fewer steps.
uint8_t* AllocateZeroedBlock(int64_t size) {
    if (size <= 0) return nullptr;
    void* p = mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
    if (size >= (2 << 20)) madvise(p, static_cast<size_t>(size), MADV_HUGEPAGE);
#endif
    return static_cast<uint8_t*>(p);
}

void ReleaseBlock(uint8_t* block, int64_t size) {
    if (block && size > 0) munmap(block, static_cast<size_t>(size));
}

int OpenForReading(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

int64_t ReadInto(int handle, uint8_t* block, int64_t size) {
    int64_t done = 0;
    while (done < size) {
        size_t chunk = static_cast<size_t>(std::min<int64_t>(size - done, 1 << 30));
        ssize_t n = read(handle, block + done, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

void CloseFile(int handle) {
    if (handle >= 0) close(handle);
}

// --- Safe replacement of a file ----------------------------------------------------

struct SafeWriter {
    std::string target;
    std::string temp;
    FILE* stream = nullptr;
    bool failed = false;
    int savedErrno = 0;
};

namespace {

std::string FolderOf(const std::string& path) {
    size_t cut = path.rfind(kPathSeparator);
    if (cut == std::string::npos) return ".";
    if (cut == 0) return "/";
    return path.substr(0, cut);
}

std::string NameOf(const std::string& path) {
    size_t cut = path.rfind(kPathSeparator);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

mode_t DefaultMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

SafeWriter* BeginSafeWrite(const std::string& target, std::string* reason) {
    struct stat st;
    mode_t mode = DefaultMode();
    if (target.empty()) {
        *reason = "no file name given";
        return nullptr;
    }
    if (stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            *reason = "it is a folder";
            return nullptr;
        }
        // A rename would pass over the file's permission: ask first. A file
        // nobody may write counts as read-only even for the superuser.
        if (access(target.c_str(), W_OK) != 0) {
            *reason = std::strerror(errno);
            return nullptr;
        }
        if ((st.st_mode & 0222) == 0) {
            *reason = "the file is read-only";
            return nullptr;
        }
        mode = st.st_mode & 07777;
    }
    std::string pattern = FolderOf(target) + "/." + NameOf(target) + ".XXXXXX";
    int fd = mkstemp(&pattern[0]);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return nullptr;
    }
    fchmod(fd, mode);
    FILE* stream = fdopen(fd, "wb");
    if (!stream) {
        *reason = std::strerror(errno);
        close(fd);
        unlink(pattern.c_str());
        return nullptr;
    }
    auto* w = new SafeWriter;
    w->target = target;
    w->temp = pattern;
    w->stream = stream;
    return w;
}

bool SafeWrite(SafeWriter* w, const void* bytes, size_t count) {
    if (w->failed) return false;
    if (count && std::fwrite(bytes, 1, count, w->stream) != count) {
        w->failed = true;
        w->savedErrno = errno;
    }
    return !w->failed;
}

FILE* SafeWriterStream(SafeWriter* w) { return w->stream; }

bool CommitSafeWrite(SafeWriter* w, std::string* reason) {
    bool ok = !w->failed && std::fflush(w->stream) == 0 && !std::ferror(w->stream);
    int err = w->failed ? w->savedErrno : errno;
    if (std::fclose(w->stream) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && std::rename(w->temp.c_str(), w->target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        unlink(w->temp.c_str());
        *reason = std::strerror(err ? err : EIO);
    }
    delete w;
    return ok;
}

void AbortSafeWrite(SafeWriter* w) {
    std::fclose(w->stream);
    unlink(w->temp.c_str());
    delete w;
}

std::string FirstCommandLineArgument(int argc, char** argv) { return argc > 1 ? argv[1] : ""; }
