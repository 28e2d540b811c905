#pragma once
// Windows has no file-size limit to set: setrlimit() fails, so the tests that
// simulate a full disk with one skip themselves (test-windows runs none).
#include <signal.h>

#define SIGXFSZ 25
#define RLIMIT_FSIZE 1
typedef unsigned long long rlim_t;
typedef void (*sighandler_t)(int);
struct rlimit {
    rlim_t rlim_cur, rlim_max;
};
inline int getrlimit(int, rlimit*) { return -1; }
inline int setrlimit(int, const rlimit*) { return -1; }
