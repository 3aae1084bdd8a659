// The year of log lines that carry none (binkd's "DD Mon HH:MM:SS").
// Going forward through a log, the year turns where the date falls back
// by more than a day (Dec 31 -> Jan 1); a line a little behind its
// predecessor across the turn (two processes writing the same second) is
// the old year's. The turns are counted on a first pass; the last line's
// year comes from when its file was last written, and the first line's
// year is that less the turns.
#pragma once

#include <cstdint>

namespace rv {

// A date and time within a year, without the year.
struct YearlessTime {
    unsigned month = 1;             // 1..12
    unsigned day = 1;               // 1..31
    std::uint32_t secondOfDay = 0;  // 0..86400
};

class LogYearTracker {
  public:
    explicit LogYearTracker(std::int64_t firstYear = 0) : year_(firstYear) {}

    // The year of the next line.
    std::int64_t yearOf(const YearlessTime& t);

  private:
    std::int64_t year_;
    bool seen_ = false;
    std::int64_t latest_ = 0;  // the latest position seen, in place units
};

// Local wall-clock seconds since 1970 of t in year (the clock of binkd's
// binary log and of the suite's history times).
std::int64_t wallSeconds(std::int64_t year, const YearlessTime& t);

// The year of a log's last line t, whose file was last modified at the
// local wall-clock time modified (seconds since 1970): the latest year that
// puts t no later than modified, give or take a day and a few hours for a
// log written in another time zone than the one reading it.
std::int64_t yearOfLastLine(const YearlessTime& t, std::int64_t modified);

}  // namespace rv
