#pragma once
// The few POSIX calls the shared core tests make, on Windows (force-included
// into the Windows test programs only): environment changes and a fresh
// temporary folder.
#include <direct.h>
#include <stdlib.h>
#include <time.h>

#include <random>
#include <string>

inline int setenv(const char* name, const char* value, int) {
    const int rc = ::_putenv_s(name, value);
    ::_tzset();
    return rc;
}
inline int unsetenv(const char* name) {
    const int rc = ::_putenv_s(name, "");
    ::_tzset();
    return rc;
}

// Permissions bind everybody here: no test is skipped as "root".
inline int geteuid() { return 1000; }

// No pipes in the file system and no owners to give files to: the tests that
// need them fail here and are left out (scripts/test-windows).
typedef int uid_t;
inline int mkfifo(const char*, int) { return -1; }
template <class Char>
inline int lchown(const Char*, uid_t, uid_t) { return -1; }

inline char* mkdtemp(char* tmpl) {
    std::string t(tmpl);
    if (t.size() < 6 || t.compare(t.size() - 6, 6, "XXXXXX") != 0) return nullptr;
    std::mt19937 rng(std::random_device{}());
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = t.size() - 6; i < t.size(); ++i) tmpl[i] = kChars[rng() % (sizeof kChars - 1)];
        if (::_mkdir(tmpl) == 0) return tmpl;
    }
    return nullptr;
}
