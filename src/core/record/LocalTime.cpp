#include "core/record/LocalTime.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "core/platform/System.h"

namespace kv {

namespace {

// "+HHMM" or "+HH:MM" of an offset from UTC in seconds; a zone's old local
// mean time may be off by seconds too: they are dropped.
std::string offsetText(long off, bool colon) {
    const long mag = off < 0 ? -off : off;
    char buf[16];
    std::snprintf(buf, sizeof buf, colon ? "%c%02ld:%02ld" : "%c%02ld%02ld", off < 0 ? '-' : '+', mag / 3600,
                  mag / 60 % 60);
    return buf;
}

}  // namespace

LocalFields breakLocal(std::time_t t) {
    const std::tm tm = sys::localTime(t);
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
    long off = 0;
    const std::tm tm = sys::localTime(t, &off);
    // %z is the offset from UTC on every system (Windows' C library would
    // write the zone's name), so it is filled in here.
    std::string p;
    for (const char* c = pattern; *c; ++c) {
        if (c[0] == '%' && c[1] == 'z') p += offsetText(off, false), ++c;
        else if (c[0] == '%' && c[1] == '%') p += "%%", ++c;
        else p += *c;
    }
    char buf[128];
    const std::size_t len = std::strftime(buf, sizeof buf, p.c_str(), &tm);
    return std::string(buf, len);
}

std::string isoLocal(std::time_t t) {
    long off = 0;
    const std::tm tm = sys::localTime(t, &off);
    char buf[96];
    const std::size_t len = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
    return std::string(buf, len) + offsetText(off, true);
}

}  // namespace kv
