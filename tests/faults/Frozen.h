#pragma once
// A file or folder nobody may change, root included: the immutable attribute
// for root (who ignores permissions), read-only modes for anyone else.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>

class Frozen {
public:
    explicit Frozen(const std::filesystem::path& p) : path_(p) {
        namespace fs = std::filesystem;
        if (geteuid() == 0) {
            fd_ = ::open(p.c_str(), O_RDONLY | O_NONBLOCK);
            int flags = 0;
            if (fd_ < 0 || ioctl(fd_, FS_IOC_GETFLAGS, &flags) != 0) return;
            flags |= FS_IMMUTABLE_FL;
            ok_ = ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
        } else {
            std::error_code ec;
            mode_ = fs::status(p, ec).permissions();
            fs::permissions(p, fs::perms::owner_read | fs::perms::owner_exec, ec);
            ok_ = !ec;
        }
    }
    ~Frozen() {
        if (fd_ >= 0) {
            int flags = 0;
            if (ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ioctl(fd_, FS_IOC_SETFLAGS, &flags);
            }
            ::close(fd_);
        } else if (ok_) {
            std::error_code ec;
            std::filesystem::permissions(path_, mode_, ec);
        }
    }
    Frozen(const Frozen&) = delete;
    Frozen& operator=(const Frozen&) = delete;
    bool ok() const { return ok_; }

private:
    std::filesystem::path path_;
    int fd_ = -1;
    std::filesystem::perms mode_{};
    bool ok_ = false;
};
