// The report day and the time window within it: the date value of DATE,
// -d (ravlog) and -b/-e (pondrel), and the time window value of TIME and -t
// with the calendar times the window covers. All arithmetic is on local
// dates; every result goes back to a calendar time with the run's
// daylight-saving flag.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <limits>
#include <string>
#include <string_view>

#include "core/config_model.h"
#include "core/exit_request.h"
#include "core/local_clock.h"

namespace rv {

// ---- Day numbers -------------------------------------------------------------
// The suite's one calendar: a day is the count of days since 1970-01-01
// (proleptic Gregorian) in the clock its times are counted in, the line's
// clock for the archive's and pondrel's days. The archive keeps a day as
// its dayText.

// No day, and no time of one: so far from every day and time counted that
// no record falls on it, and arithmetic on it (a time less it) cannot
// overflow.
inline constexpr std::int64_t noDay = std::numeric_limits<std::int64_t>::min() / 2;
static_assert((std::int64_t{1} << 40) - noDay > 0, "a time less noDay must not overflow");

// The day of a date (month 1..12).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day);

// The day of a time in seconds since 1970-01-01 of the same clock; a time
// before 1970 is on a day before day 0.
constexpr std::int64_t dayOfTime(std::int64_t t) {
    return t >= 0 ? t / 86400 : (t - 86399) / 86400;
}

// "YYYY-MM-DD" of a day from 1970 on, and back: noDay for a text that is
// no date (a day past its month's end among them).
std::string dayText(std::int64_t day);
std::int64_t dayNumber(std::string_view text);

// ---- Dates -----------------------------------------------------------------

// 28..31; month 1..12, year as written (2024). Gregorian leap years.
int daysInMonth(int month, int year);

// One month back in date (tm_mon, tm_year): January goes to December of
// the year before, but never below 1900 (January 1900 goes to December 1900).
void stepBackMonth(std::tm& date);

// A calendar time, or the stop that a refused value ends the run with.
struct DateResult {
    std::time_t time = 0;
    Stop stop;
};

// The date value day[.month[.year]] relative to the run's date: a
// positive part sets, a negative one steps back, 0 or a missing part
// keeps. The result is that day's local midnight. A day beyond the month
// is cut to the month's last day with "Date adjusted to ..." on warnings
// (when given).
// A part that is not a signed decimal number stops the run ("Invalid
// date: ..." for the day, the year or month message for those parts).
DateResult parseDate(std::string_view text, const RunClock& clock, std::FILE* warnings);

// pondrel's -b and -e: the same value, the begin at 00:00:00 and the end
// at 23:59:59 of the day, with the messages naming the bound.
DateResult parsePeriodBound(std::string_view text, bool isEnd, const RunClock& clock,
                            std::FILE* warnings);

// The -b/-e period of pondrel and brimsel; a bound not given is the end
// of the clock's range.
struct DatePeriod {
    std::time_t begin = 0;
    std::time_t end = 2147483647;
};

// A period whose begin is not before its end stops the run with "Invalid
// date period" and both bounds (the begin's line on err).
Stop checkPeriod(const DatePeriod& period, std::FILE* err);

// The local calendar fields of t read as UTC seconds: the bound that a
// history time, shown unconverted, compares with.
std::int64_t localFieldsAsUtc(std::time_t t);

// ---- Time windows ----------------------------------------------------------

// xx:xx:xx-yy:yy:yy with optional minutes and seconds and blanks around
// every part. False (window untouched) when the text is not a window; the
// caller reports "Invalid time %s\n". An end of 0 or 24 on the whole hour
// is the end of the day; an end hour above 24 is refused.
bool parseTimeWindow(std::string_view text, TimeWindow& window);

// The calendar times a window covers on the report day. A window whose
// bound hour is not after its start hour begins on the evening before.
struct ReportPeriod {
    std::time_t windowStart = 0;
    std::time_t windowEnd = 0;  // the last second of the window
    int windowHours = 24;       // 1..24: the hours the charts show
};

ReportPeriod computePeriod(std::time_t reportDate, const TimeWindow& window);

}  // namespace rv
