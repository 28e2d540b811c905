#include "core/record/LocalTime.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace kv {

LocalFields breakLocal(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::time_t makeLocal(const LocalFields& f) {
    // A damaged file may hold any year or month: shift them without overflow
    // and let mktime normalise or refuse what is left.
    auto shifted = [](int32_t v, int32_t by) {
        return static_cast<int>(std::max<int64_t>(int64_t(v) - by, std::numeric_limits<int>::min()));
    };
    std::tm tm{};
    tm.tm_year = shifted(f.year, 1900);
    tm.tm_mon = shifted(f.month, 1);
    tm.tm_mday = f.day;
    tm.tm_hour = f.hour;
    tm.tm_min = f.minute;
    tm.tm_sec = f.second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::string formatLocal(std::time_t t, const char* pattern) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[128];
    const std::size_t len = std::strftime(buf, sizeof buf, pattern, &tm);
    return std::string(buf, len);
}

std::string isoLocal(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[96];
    std::size_t len = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
    // strftime's %z has no colon; the offset is written from tm_gmtoff instead.
    // A zone's old local mean time may be off by seconds too: they are dropped.
    const long off = tm.tm_gmtoff;
    const long mag = off < 0 ? -off : off;
    len += static_cast<std::size_t>(std::snprintf(buf + len, sizeof buf - len, "%c%02ld:%02ld", off < 0 ? '-' : '+',
                                                  mag / 3600, mag / 60 % 60));
    return std::string(buf, std::min(len, sizeof buf - 1));
}

}  // namespace kv
