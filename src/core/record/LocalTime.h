#pragma once
// Local calendar time as the data file and the text table carry it: a run's
// start is stored as broken-down local fields and rebuilt by one rule.
#include <cstdint>
#include <ctime>
#include <string>

namespace kv {

struct LocalFields {
    int32_t year = 0, month = 0, day = 0;     // year with century, month 1..12
    int32_t hour = 0, minute = 0, second = 0;
};

LocalFields breakLocal(std::time_t t);
// Calendar time of local fields; out-of-range fields are normalised.
std::time_t makeLocal(const LocalFields& f);

// The instant that local fields name, one rule for every reader of a stored
// start. In the hour repeated when the clocks go back the fields name two
// instants: the earlier is taken and `ambiguous` says so. Fields that name no
// instant (the hour skipped when the clocks go forward, or no date at all) are
// normalised as makeLocal() does.
struct LocalInstant {
    std::time_t t = 0;
    bool ambiguous = false;
};
LocalInstant resolveLocal(const LocalFields& f);
// strftime of `t` in local time; empty when the pattern's result does not fit.
std::string formatLocal(std::time_t t, const char* pattern);
// "YYYY-MM-DDTHH:MM:SS+HH:MM": local time with its offset from UTC, so that the
// hour repeated when the clocks go back reads as two different times.
std::string isoLocal(std::time_t t);

}  // namespace kv
