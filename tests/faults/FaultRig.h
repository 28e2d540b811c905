#pragma once
// What the fault tests share: the main window on a device path, a watch on the
// event loop, a pseudo-terminal the test writes itself, and the process's size.
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "TestPty.h"
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

using TestPty = kvtest::TestPty;

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
