#pragma once
// No password database on Windows; the tests that read it are not run there.
struct passwd {
    char* pw_dir;
};
inline passwd* getpwuid(int) {
    static char dir[] = "C:\\";
    static passwd pw{dir};
    return &pw;
}
