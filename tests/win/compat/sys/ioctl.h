// No inode flags on Windows: every request fails.
#pragma once
#include <errno.h>
inline int ioctl(int, unsigned long, ...) {
    errno = ENOSYS;
    return -1;
}
