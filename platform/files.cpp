#include "platform/files.h"

#include <fcntl.h>
#include <stdio_ext.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

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

// Only regular files are opened and read. A pipe, socket or device is
// recognised before the open, so that opening it neither waits for a writer
// nor has a device's side effects; and since the path may be exchanged
// between that look and the open, the open itself never waits either and the
// opened file is checked once more.
int OpenForReading(const std::string& path, int64_t* size) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return kNotAFile;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        close(fd);
        return kNotAFile;
    }
    // Reads of a regular file behave alike either way; plain blocking reads
    // are what ReadInto expects.
    const int flags = fcntl(fd, F_GETFL);
    if (flags != -1) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    *size = static_cast<int64_t>(st.st_size);
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
    std::string target;  // the file replaced: the path with its links followed
    std::string temp;
    int fd = -1;
    FILE* stream = nullptr;
    int writeErrno = 0;  // why the first failed write failed; 0 while all went well
    mode_t mode = 0;     // given to the new file once all is written
};

namespace {

// Links followed in a chain before giving up, as the system itself does.
constexpr int kMaxLinks = 40;

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

// The contents of the symbolic link at the path; false with errno set.
bool ReadLink(const std::string& path, std::string* contents) {
    std::vector<char> buf(256);
    for (;;) {
        const ssize_t n = readlink(path.c_str(), buf.data(), buf.size());
        if (n < 0) return false;
        if (static_cast<size_t>(n) < buf.size()) {
            contents->assign(buf.data(), static_cast<size_t>(n));
            return true;
        }
        buf.resize(buf.size() * 2);  // may have been cut short: ask again with more room
    }
}

// Follows the symbolic links that the path's last part names, one after the
// other, to the entry they finally lead to. That entry need not exist (the
// last link leads nowhere). A link's relative contents are read from the
// folder the link lies in. False with errno set when a link cannot be read or
// the chain goes on too long (it may go round in a circle).
bool FollowLinks(const std::string& path, std::string* final) {
    std::string at = path;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        struct stat st;
        if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            *final = at;  // the file itself, or nothing there: where the file goes
            return true;
        }
        std::string next;
        if (!ReadLink(at, &next)) return false;
        if (next.empty()) {
            errno = ENOENT;
            return false;
        }
        if (next[0] != kPathSeparator) {
            const std::string folder = FolderOf(at);
            next = (folder == "/" ? folder : folder + kPathSeparator) + next;
        }
        at = next;
    }
    errno = ELOOP;
    return false;
}

// Writes all the bytes to the descriptor; false with errno set.
bool WriteFully(int fd, const char* bytes, size_t count) {
    while (count > 0) {
        const ssize_t n = write(fd, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        bytes += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

// The writer's stream sends its buffer here; the first failure's reason is
// kept for the commit to report. A failure is told to the stream by a count
// of 0 (never a negative one), which marks the stream as failed.
ssize_t StreamWrite(void* cookie, const char* bytes, size_t count) {
    SafeWriter* w = static_cast<SafeWriter*>(cookie);
    if (w->writeErrno == 0 && WriteFully(w->fd, bytes, count)) return static_cast<ssize_t>(count);
    if (w->writeErrno == 0) w->writeErrno = errno;
    return 0;
}

// The descriptor is closed by the writer itself, after it has been synced.
int StreamClose(void*) { return 0; }

// Gives the new file the old one's owner and group, and works out the
// permissions it is to get. An owner the process may not give is left as it
// is; a set-user or set-group bit is then dropped, as the system drops it
// when another user writes a file.
mode_t CarryOver(int fd, const struct stat& old) {
    mode_t mode = old.st_mode & 07777;
    struct stat now;
    if (fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0)
            mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
        else if (fstat(fd, &now) == 0 && now.st_uid != old.st_uid)
            mode &= ~static_cast<mode_t>(S_ISUID);
    }
    return mode;
}

// Puts the folder's entries on the disk. Some file systems cannot do that
// for a folder; the rename has happened anyway, so nothing is reported.
void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// Frees the writer and removes its temporary file.
void Discard(SafeWriter* w) {
    if (w->stream) {
        __fpurge(w->stream);  // what is still buffered is not wanted any more
        std::fclose(w->stream);
    }
    if (w->fd >= 0) close(w->fd);
    unlink(w->temp.c_str());
    delete w;
}

}  // namespace

SafeWriter* BeginSafeWrite(const std::string& path, std::string* reason) {
    if (path.empty()) {
        *reason = std::strerror(ENOENT);
        return nullptr;
    }
    std::string target;
    if (!FollowLinks(path, &target)) {
        *reason = std::strerror(errno);
        return nullptr;
    }
    struct stat st;
    const bool exists = stat(target.c_str(), &st) == 0;
    if (exists) {
        if (S_ISDIR(st.st_mode)) {
            *reason = std::strerror(EISDIR);
            return nullptr;
        }
        // A rename would pass over the file's permission: ask first. A file
        // nobody may write counts as read-only even for the superuser.
        if (access(target.c_str(), W_OK) != 0) {
            *reason = std::strerror(errno);
            return nullptr;
        }
        if ((st.st_mode & 0222) == 0) {
            *reason = std::strerror(EACCES);
            return nullptr;
        }
    }
    std::string pattern = FolderOf(target) + kPathSeparator + "." + NameOf(target) + ".XXXXXX";
    const int fd = mkostemp(&pattern[0], O_CLOEXEC);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return nullptr;
    }
    auto* w = new SafeWriter;
    w->target = target;
    w->temp = pattern;
    w->fd = fd;
    w->mode = exists ? CarryOver(fd, st) : DefaultMode();
    cookie_io_functions_t io = {nullptr, StreamWrite, nullptr, StreamClose};
    w->stream = fopencookie(w, "wb", io);
    if (!w->stream) {
        *reason = std::strerror(errno);
        Discard(w);
        return nullptr;
    }
    return w;
}

bool SafeWrite(SafeWriter* w, const void* bytes, size_t count) {
    if (w->writeErrno != 0 || std::ferror(w->stream)) return false;
    if (count && std::fwrite(bytes, 1, count, w->stream) != count) {
        if (w->writeErrno == 0) w->writeErrno = errno ? errno : EIO;
        return false;
    }
    return true;
}

FILE* SafeWriterStream(SafeWriter* w) { return w->stream; }

bool CommitSafeWrite(SafeWriter* w, std::string* reason) {
    int err = 0;
    if (std::fflush(w->stream) != 0 || std::ferror(w->stream) || w->writeErrno != 0)
        err = w->writeErrno ? w->writeErrno : EIO;
    if (err == 0) {
        // The permissions once all is written: a change of owner, and a write
        // by a process without the privilege, clear the set-user and
        // set-group bits. A file system without permissions refuses them,
        // which costs no save.
        fchmod(w->fd, w->mode);
        // On the disk before it takes the old file's place: after a power
        // cut the path holds the old file or the new one, never an empty one.
        if (fsync(w->fd) != 0) {
            err = errno;
        } else {
            const int closed = close(w->fd);
            w->fd = -1;  // gone even when the close reports an error
            if (closed != 0) err = errno;
        }
    }
    if (err == 0 && std::rename(w->temp.c_str(), w->target.c_str()) != 0) err = errno;
    if (err != 0) {
        *reason = std::strerror(err);
        Discard(w);
        return false;
    }
    SyncFolder(FolderOf(w->target));
    std::fclose(w->stream);
    delete w;
    return true;
}

void AbortSafeWrite(SafeWriter* w, std::string* reason) {
    if (reason && w->writeErrno != 0) *reason = std::strerror(w->writeErrno);
    Discard(w);
}

std::string FirstCommandLineArgument(int argc, char** argv) { return argc > 1 ? argv[1] : ""; }
