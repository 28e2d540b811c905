#include "core/record/LocalTime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <optional>

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
