// kv2047-sim: a simulated meter on a pseudo-terminal.
//
// The program under test opens the terminal's slave side as its serial port;
// we write frames to the master side and read the program's commands from it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "SimMeter.h"
#include "core/io/AtomicFile.h"

namespace {

volatile sig_atomic_t gStop = 0;
void onSignal(int) { gStop = 1; }

using Clock = std::chrono::steady_clock;

struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;
};

bool openPty(Pty& p, std::string& error) {
    p.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (p.master < 0 || grantpt(p.master) != 0 || unlockpt(p.master) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char* name = ptsname(p.master);
    if (!name) {
        error = std::string("ptsname: ") + std::strerror(errno);
        return false;
    }
    p.path = name;
    // Keep the slave open ourselves: while the program has its port closed the
    // master would otherwise fail with EIO, and raw mode stops the line
    // discipline from echoing or translating the binary frames.
    p.slave = open(name, O_RDWR | O_NOCTTY);
    if (p.slave < 0) {
        error = "cannot open " + p.path + ": " + std::strerror(errno);
        return false;
    }
    termios tio{};
    if (tcgetattr(p.slave, &tio) != 0) {
        error = std::string("tcgetattr: ") + std::strerror(errno);
        return false;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B4800);
    cfsetospeed(&tio, B4800);
    if (tcsetattr(p.slave, TCSANOW, &tio) != 0) {
        error = std::string("tcsetattr: ") + std::strerror(errno);
        return false;
    }
    const int fl = fcntl(p.master, F_GETFL);
    fcntl(p.master, F_SETFL, fl | O_NONBLOCK);
    return true;
}

// Writes to the master. Bytes sent while nobody reads the port pile up in the
// slave's input queue; when it is full they are lost, as on a real line.
void sendBytes(const Pty& p, const uint8_t* data, std::size_t len) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::size_t done = 0;
        while (done < len) {
            const ssize_t n = write(p.master, data + done, len - done);
            if (n > 0) {
                done += std::size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            break;
        }
        if (done == len) return;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return;
        tcflush(p.slave, TCIFLUSH);
        data += done;
        len -= done;
    }
}

void corrupt(uint8_t* f, long k) {
    switch (k % 3) {
    case 0: f[44] = 0x00; break;   // end marker
    case 1: f[0] = 0x55; break;    // sync byte
    default: f[4] = 'h'; break;    // the letters
    }
}

}  // namespace

int main(int argc, char** argv) {
    kvsim::SimOptions opt;
    bool help = false;
    std::string error;
    if (!kvsim::parseOptions(argc, argv, opt, help, error)) {
        std::fprintf(stderr,
                     "kv2047-sim: %s\nusage: kv2047-sim [OPTIONS]\nTry 'kv2047-sim --help' for more information.\n",
                     error.c_str());
        return 2;
    }
    if (help || opt.version) {
        if (help) std::fputs(kvsim::usageText().c_str(), stdout);
        else std::printf("kv2047-sim %s\n", KV2047_VERSION);
        if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
        std::fprintf(stderr, "kv2047-sim: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    const bool periodGiven = opt.periodGiven;
    kvsim::Replay replay;
    if (!opt.replayPath.empty()) {
        std::ifstream in(opt.replayPath, std::ios::binary);
        // A folder opens, but its reads fail with no reason the stream keeps.
        std::error_code ec;
        const int err = !in ? errno : std::filesystem::is_directory(opt.replayPath, ec) ? EISDIR : 0;
        if (err) {
            std::fprintf(stderr, "kv2047-sim: cannot read '%s': %s\n", opt.replayPath.c_str(), std::strerror(err));
            return 1;
        }
        if (const int status = kvsim::loadReplay(in, opt.replayPath, replay, error)) {
            std::fprintf(stderr, "kv2047-sim: %s\n", error.c_str());
            return status;
        }
    }
    std::size_t replayed = 0;

#ifdef __linux__
    // Go away with whoever started us (the desktop program's --simulate, a test).
    prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    // Signals are only taken inside ppoll, so a stop request is never missed.
    sigset_t blocked, waitMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigprocmask(SIG_BLOCK, &blocked, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);

    std::FILE* log = nullptr;
    if (!opt.logPath.empty()) {
        // Appended as captures are, through the same checks: never through a
        // link another user planted in a shared folder.
        std::string why;
        const int fd = kv::openForAppend(opt.logPath, &why);
        if (fd >= 0 && !(log = fdopen(fd, "a"))) {
            why = std::strerror(errno);
            close(fd);
        }
        if (!log) {
            std::fprintf(stderr, "kv2047-sim: cannot write log '%s': %s\n", opt.logPath.c_str(), why.c_str());
            return 1;
        }
    }

    Pty pty;
    if (!openPty(pty, error)) {
        std::fprintf(stderr, "kv2047-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", pty.path.c_str());
    std::fflush(stdout);

    kvsim::SimMeter meter(opt);
    kvsim::CommandParser parser;
    std::vector<kvsim::Received> received;
    const auto start = Clock::now();
    const auto period = std::chrono::milliseconds(opt.periodMs);
    auto nextSend = start + period;
    auto lastInput = start;
    long sent = 0;
    bool finished = false;      // --frames reached: answer commands one more period, then exit
    auto exitAt = Clock::time_point::max();

    auto logReceived = [&] {
        for (const auto& r : received) {
            meter.apply(r);
            if (!log) continue;
            const std::string line = kvsim::hexLine(r.bytes);
            if (opt.logTime) {
                const long long ms =
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
                std::fprintf(log, "%lld %s\n", ms, line.c_str());
            } else {
                std::fprintf(log, "%s\n", line.c_str());
            }
            std::fflush(log);
        }
        received.clear();
    };

    int status = 0;
    while (!gStop) {
        auto now = Clock::now();
        if (now >= exitAt) break;
        if (!finished && now >= nextSend && !replay.reads.empty()) {
            const auto& read = replay.reads[replayed];
            sendBytes(pty, read.data(), read.size());
            if (++replayed == replay.reads.size()) {
                finished = true;
                exitAt = now + period;
            } else {
                const long gap = replay.gapMs[replayed];
                nextSend = now + (periodGiven || gap < 0 ? period : std::chrono::milliseconds(gap));
            }
        } else if (!finished && now >= nextSend) {
            const int count = opt.burst ? 3 : 1;
            uint8_t buf[3 * kv::kFrameSize];
            std::size_t len = 0;
            for (int i = 0; i < count; ++i) {
                if (opt.frames >= 0 && sent >= opt.frames) break;
                const bool silent = meter.poweredOff() || (opt.silenceAfter >= 0 && sent >= opt.silenceAfter);
                if (silent) break;
                kv::buildFrame(meter.nextFrame(), buf + len);
                ++sent;
                if (opt.corruptEvery > 0 && sent % opt.corruptEvery == 0) corrupt(buf + len, sent / opt.corruptEvery);
                len += kv::kFrameSize;
            }
            if (len) sendBytes(pty, buf, len);
            if (opt.frames >= 0 && sent >= opt.frames) {
                finished = true;
                exitAt = now + period;
            }
            // Keep the pace even if we fell behind (a busy machine): no catch-up bursts.
            nextSend += period;
            if (nextSend < now) nextSend = now + period;
        }
        // A command cut short by the program is given up after a quiet moment.
        if (parser.pending() && now - lastInput > std::chrono::milliseconds(200)) {
            parser.flush(received);
            logReceived();
        }

        auto wakeAt = finished ? exitAt : nextSend;
        if (parser.pending()) wakeAt = std::min(wakeAt, lastInput + std::chrono::milliseconds(250));
        const auto wait = std::max(Clock::duration::zero(), wakeAt - now);
        timespec ts{};
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
        ts.tv_sec = ns / 1000000000;
        ts.tv_nsec = ns % 1000000000;
        pollfd pfd{pty.master, POLLIN, 0};
        const int pr = ppoll(&pfd, 1, &ts, &waitMask);
        if (pr < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "kv2047-sim: poll: %s\n", std::strerror(errno));
            status = 1;
            break;
        }
        if (pr > 0 && (pfd.revents & POLLIN)) {
            uint8_t in[4096];
            const ssize_t n = read(pty.master, in, sizeof in);
            if (n > 0) {
                lastInput = Clock::now();
                parser.feed(in, std::size_t(n), received);
                logReceived();
            }
        } else if (pr > 0 && (pfd.revents & (POLLHUP | POLLERR))) {
            // We hold the slave, so this should not happen; avoid spinning if it does.
            usleep(10000);
        }
    }

    parser.flush(received);
    logReceived();
    if (log) std::fclose(log);
    close(pty.slave);
    close(pty.master);
    return status;
}
