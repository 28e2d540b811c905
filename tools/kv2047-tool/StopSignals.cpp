#include "StopSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace {

int gStopPipe[2] = {-1, -1};

extern "C" void onStopSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(gStopPipe[1], &c, 1);
}

}  // namespace

bool onStopSignals(std::function<void()> stop) {
    if (gStopPipe[0] < 0 && ::pipe2(gStopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    auto* notifier = new QSocketNotifier(gStopPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [stop = std::move(stop)] {
        char buf[16];
        while (::read(gStopPipe[0], buf, sizeof buf) > 0) {
        }
        stop();
    });
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    return true;
}

void prepareStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF)
            if (const int held = ::open("/dev/null", (fd == 0 ? O_WRONLY : O_RDONLY) | O_CLOEXEC); held > 2)
                ::close(held);
}

void ignoreBrokenPipe() { ::signal(SIGPIPE, SIG_IGN); }

int readArguments(int argc, char** argv, QStringList* args) {
    for (int i = 0; i < argc; ++i) {
        *args << QString::fromLocal8Bit(argv[i]);
        if (args->back().toLocal8Bit() != argv[i]) return i;
    }
    return -1;
}
