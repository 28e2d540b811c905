#pragma once
// Local calendar time as the data file and the text table carry it: a run's
// start is stored as broken-down local fields and rebuilt with the system
// deciding daylight saving.
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
// strftime of `t` in local time; empty when the pattern's result does not fit.
std::string formatLocal(std::time_t t, const char* pattern);
// "YYYY-MM-DDTHH:MM:SS+HH:MM": local time with its offset from UTC, so that the
// hour repeated when the clocks go back reads as two different times.
std::string isoLocal(std::time_t t);

}  // namespace kv
