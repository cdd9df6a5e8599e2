// Resource limits do not exist on Windows: every call fails, nothing changes.
#pragma once
#include <errno.h>
typedef unsigned long long rlim_t;
struct rlimit {
    rlim_t rlim_cur, rlim_max;
};
#define RLIMIT_FSIZE 1
#define RLIMIT_AS 9
#define RLIMIT_NOFILE 7
#define RLIM_INFINITY (~0ULL)
inline int getrlimit(int, struct rlimit* r) {
    r->rlim_cur = r->rlim_max = RLIM_INFINITY;
    errno = ENOSYS;
    return -1;
}
inline int setrlimit(int, const struct rlimit*) {
    errno = ENOSYS;
    return -1;
}
