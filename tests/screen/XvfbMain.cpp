// Main of the screen tests: a private Xvfb server for this test program (so
// tests running side by side never share a display), the xcb platform on it,
// then the tests. What they read back is what the X server holds, not what a
// widget would draw if asked. The screen has KV_SCREEN_SCALE device pixels to
// a logical one (QT_SCALE_FACTOR) and is as much larger, so the program's
// logical screen is 1280 x 1024 at any scale.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

#ifndef KV_SCREEN_SCALE
#define KV_SCREEN_SCALE 1
#endif

// Starts Xvfb with a 24-bit screen; it writes its display number to a pipe.
pid_t startXvfb(std::string* display) {
    const std::string screen = std::to_string(1280 * KV_SCREEN_SCALE) + "x" + std::to_string(1024 * KV_SCREEN_SCALE) + "x24";
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                 "-noreset", static_cast<char*>(nullptr));
        std::perror("Xvfb");
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (::poll(&p, 1, 30000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (number.empty()) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }
    *display = ":" + number;
    return pid;
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    std::string display;
    const pid_t xvfb = startXvfb(&display);
    if (xvfb < 0) {
        std::fprintf(stderr, "screen tests: Xvfb could not be started\n");
        return 1;
    }
    ::setenv("DISPLAY", display.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::setenv("QT_SCALE_FACTOR", std::to_string(KV_SCREEN_SCALE).c_str(), 1);
    int rc;
    {
        QApplication app(argc, argv);
        std::setlocale(LC_NUMERIC, "C");  // as the program does
        QApplication::setApplicationName("KV2047");
        rc = RUN_ALL_TESTS();
    }
    ::kill(xvfb, SIGTERM);
    ::waitpid(xvfb, nullptr, 0);
    return rc;
}
