// Force-included into the Windows unit tests: the few POSIX calls the tests
// use to make scratch folders and fixtures, in their Windows form. Calls that
// have no Windows counterpart (resource limits, inode flags) fail the way a
// POSIX system reports "not supported", and the tests that rely on them are
// skipped on Windows.
#pragma once
#ifdef _WIN32

#include <direct.h>
#include <errno.h>
#include <io.h>
#include <process.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#ifdef __cplusplus
extern "C++" {
#endif

inline char* mkdtemp(char* pattern) {
    const size_t n = strlen(pattern);
    if (n < 6 || strcmp(pattern + n - 6, "XXXXXX") != 0) {
        errno = EINVAL;
        return nullptr;
    }
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned v = static_cast<unsigned>(_getpid()) * 2654435761u + (counter++) * 40503u + static_cast<unsigned>(rand());
        for (int i = 0; i < 6; ++i, v /= 36) pattern[n - 6 + i] = "0123456789abcdefghijklmnopqrstuvwxyz"[v % 36];
        if (_mkdir(pattern) == 0) return pattern;
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}

inline int mkdir(const char* path, int) { return _mkdir(path); }

// Nobody is the superuser; file permissions are the read-only attribute.
inline int geteuid() { return 1; }
inline int lstat(const char* path, struct stat* st) { return stat(path, st); }
#ifndef S_ISLNK
#define S_ISLNK(m) 0
#endif
inline int mkfifo(const char*, int) {
    errno = ENOSYS;
    return -1;
}
inline int symlink(const char*, const char*) {
    errno = ENOSYS;
    return -1;
}
inline int fchmod(int, int) { return 0; }
// Sizes past 2 GiB: the 64-bit form.
#define ftruncate(fd, size) (_chsize_s((fd), (size)) == 0 ? 0 : -1)

#ifdef __cplusplus
}
#endif

#ifndef SIGXFSZ
#define SIGXFSZ SIGTERM
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif

#endif
