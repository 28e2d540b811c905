#pragma once
// What the fault tests share: the main window on a device path, a watch on the
// event loop, a pseudo-terminal the test writes itself, and the process's size.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "gui/MainWindow.h"
#include "session/MeterSession.h"
#include "session/MeterSerialPort.h"

namespace kvfault {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kUnderAsan = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kUnderAsan = true;
#else
inline constexpr bool kUnderAsan = false;
#endif
#else
inline constexpr bool kUnderAsan = false;
#endif

// Measures how long the event loop went without serving a 20 ms timer.
class LoopWatch {
public:
    LoopWatch() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (clock_.isValid()) maxGapMs_ = std::max(maxGapMs_, clock_.restart());
            else clock_.start();
            ++ticks_;
        });
        timer_.start(20);
    }
    qint64 maxGapMs() const { return maxGapMs_; }
    int ticks() const { return ticks_; }
    void reset() {
        maxGapMs_ = 0;
        ticks_ = 0;
        clock_.invalidate();
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 maxGapMs_ = 0;
    int ticks_ = 0;
};

// A pseudo-terminal whose far end the test writes: bytes and timing exactly as chosen.
class TestPty {
public:
    TestPty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        path_ = QString::fromLocal8Bit(ptsname(master_));
        // Held open here so the line stays up while the program re-opens it.
        slave_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY);
        termios tio{};
        if (slave_ < 0 || tcgetattr(slave_, &tio) != 0) return;
        cfmakeraw(&tio);
        tcsetattr(slave_, TCSANOW, &tio);
        ok_ = true;
    }
    ~TestPty() {
        if (slave_ >= 0) ::close(slave_);
        if (master_ >= 0) ::close(master_);
    }
    bool ok() const { return ok_; }
    QString path() const { return path_; }
    bool write(const std::string& bytes) {
        return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

private:
    int master_ = -1, slave_ = -1;
    QString path_;
    bool ok_ = false;
};

// Resident size of this process in kB.
inline long residentKb() {
    QFile f("/proc/self/statm");
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

inline AppOptions optionsFor(const QTemporaryDir& dir, const QString& device) {
    AppOptions o;
    o.configDir = dir.path();
    o.port = device;
    return o;
}

}  // namespace kvfault
