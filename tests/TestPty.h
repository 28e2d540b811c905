#pragma once
// A pseudo-terminal whose far end the test writes: bytes and timing exactly as
// chosen. The program opens its device path as the meter's port.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QString>

#include <cstdlib>
#include <string>

#include "core/link/FrameBuilder.h"

namespace kvtest {

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
    TestPty(const TestPty&) = delete;
    TestPty& operator=(const TestPty&) = delete;

    bool ok() const { return ok_; }
    QString path() const { return path_; }
    bool write(const std::string& bytes) {
        return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // One meter frame.
    bool write(const kv::FrameFields& f) {
        const kv::FrameBytes b = kv::buildFrame(f);
        return write(std::string(b.begin(), b.end()));
    }

private:
    int master_ = -1, slave_ = -1;
    QString path_;
    bool ok_ = false;
};

// A frame of the meter reading `air` degrees C (the display shows it too).
inline kv::FrameFields frameReading(float air, uint8_t flagsB = 0) {
    kv::FrameFields f;
    f.air = f.display1 = air;
    f.wb = air - 5.0f;
    f.dp = air - 9.0f;
    f.kir = f.display3 = 30.25f;
    f.rh = f.display2 = 40.0f;
    f.flagsB = flagsB;
    return f;
}

}  // namespace kvtest
