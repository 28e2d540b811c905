#include "core/record/LocalTime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <optional>

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

namespace {

// The fields read as a UTC time, in seconds since the epoch; none when they
// name no time of day on a real date.
std::optional<int64_t> civilSeconds(const LocalFields& f) {
    namespace ch = std::chrono;
    if (f.month < 1 || f.month > 12 || f.day < 1 || f.day > 31 || f.hour < 0 || f.hour > 23 || f.minute < 0 ||
        f.minute > 59 || f.second < 0 || f.second > 59)
        return std::nullopt;
    const ch::year_month_day date{ch::year(f.year), ch::month(static_cast<unsigned>(f.month)),
                                  ch::day(static_cast<unsigned>(f.day))};
    if (!date.ok()) return std::nullopt;
    return int64_t(ch::sys_days(date).time_since_epoch().count()) * 86400 + f.hour * 3600 + f.minute * 60 + f.second;
}

}  // namespace

LocalInstant resolveLocal(const LocalFields& f) {
    const auto wall = civilSeconds(f);
    if (!wall) return {makeLocal(f), false};
    // The zone's offset a day before and a day after: where the clocks change
    // in between, each offset gives an instant, and those that show these very
    // fields are the candidates. Found by the zone's own rules, whatever the
    // daylight-saving flag of each side says.
    std::time_t found[3] = {};
    int n = 0;
    for (const int64_t probe : {*wall - 86400, *wall + 86400, *wall}) {
        const auto t = static_cast<std::time_t>(probe);
        const int64_t offset = civilSeconds(breakLocal(t)).value_or(probe) - probe;
        const auto candidate = static_cast<std::time_t>(*wall - offset);
        if (civilSeconds(breakLocal(candidate)) == wall && std::find(found, found + n, candidate) == found + n)
            found[n++] = candidate;
    }
    if (n == 0) return {makeLocal(f), false};
    return {*std::min_element(found, found + n), n > 1};
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
