// The machine's local time as the suite uses it: the clock of the run,
// taken once at start, and the conversion of history times to local
// calendar times.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <limits>
#include <optional>

namespace rv {

// The date of the run, which names the report files (never the report day).
struct RunDate {
    int year = 1970;    // four digits
    int month = 1;      // 1..12
    int day = 1;        // 1..31
    int dayOfYear = 1;  // 1..366
    int weekday = 4;    // Monday = 1 .. Sunday = 7
};

// Everything a run takes from the clock at start. Later conversions of
// broken-down times back to calendar times all use isDst, the
// daylight-saving flag in force at that moment, so that a report made in
// summer reads winter dates the same way every time.
struct RunClock {
    std::time_t now = 0;
    std::tm local{};  // local breakdown of now
    RunDate date;
    std::time_t midnight = 0;  // today's local midnight, read with isDst
    int isDst = 0;
};

RunClock makeRunClock(std::time_t now);

// mktime of the calendar fields with the given daylight-saving flag.
std::time_t localCalendarTime(std::tm fields, int isDst);

// TimeShift AUTO: the offset of local standard time from UTC in whole
// hours at `now` (daylight saving left out), truncated toward zero.
int autoTimeShiftHours(std::time_t now);

// Turns history times into local calendar times. A history time t (the
// history's own clock plus the line's shift) is read as UTC calendar
// fields, and those fields are taken as local time with the run's
// daylight-saving flag: exactly mktime's answer. mktime costs a zone
// lookup (with TZ unset, a stat of the zone file) per call, so the
// converter learns, for each day of t that records fall on, the offset
// (answer minus t) at its start and end, and the second where it changes
// when they differ: a day costs one or two mktime calls, a day with a
// change about thirty-five, and every time after that none.
// A zone's offset changes at most once a day; a day on which mktime
// shows otherwise, or refuses a time (-1), is left to mktime time by
// time. The days are bound to the time zone in force when the converter
// is made.
class LocalTimeConverter {
  public:
    explicit LocalTimeConverter(int runIsDst);

    // The latest time converted: about a billion years, so that a day's
    // last second and any zone's offset stay far from overflowing and the
    // year fits a std::tm. Only an archive edited by hand holds later ones.
    static constexpr std::int64_t lastTime = std::int64_t{1} << 55;

    // The local calendar time of t; nullopt when t is negative or later
    // than lastTime and so cannot be broken down.
    std::optional<std::time_t> toLocal(std::int64_t t) {
        // A history's records mostly follow one another on the same day:
        // the day last used answers without a division or a table look-up.
        if (t >= current_.first && t < current_.end)
            return static_cast<std::time_t>(
                t + (t - current_.first < current_.change ? current_.before : current_.after));
        if (t < 0 || t > lastTime) return std::nullopt;
        const std::int64_t day = t / secondsPerDay;
        Day& d = dayOf(day);
        if (d.day != day) learn(d, day);
        if (d.direct) return convertDirect(t);
        current_ =
            Current{day * secondsPerDay, (day + 1) * secondsPerDay, d.change, d.before, d.after};
        return static_cast<std::time_t>(t +
                                        (t - day * secondsPerDay < d.change ? d.before : d.after));
    }

    // How often mktime was called.
    std::uint64_t mktimeCalls() const { return mktimeCalls_; }

  private:
    static constexpr std::int64_t secondsPerDay = 86400;
    static constexpr std::size_t dayCount = 512;  // a power of two, over a year

    struct Day {
        std::int64_t day = -1;                // days since 1970 of t; none yet
        std::int64_t change = secondsPerDay;  // second of the day from which `after` holds
        std::int64_t before = 0;              // local time minus t before the change
        std::int64_t after = 0;               // and from it on
        bool direct = false;                  // each time goes to mktime
    };

    Day& dayOf(std::int64_t day) { return days_[static_cast<std::size_t>(day) & (dayCount - 1)]; }
    std::time_t convertDirect(std::int64_t t);
    void learn(Day& d, std::int64_t day);

    // The day of the last time converted through the table, with what was
    // learnt of it; at first none (an empty range, which no time falls in).
    struct Current {
        std::int64_t first = 0;  // its first second
        std::int64_t end = 0;    // and the first of the next day
        std::int64_t change = 0;
        std::int64_t before = 0;
        std::int64_t after = 0;
    };

    int runIsDst_;
    std::uint64_t mktimeCalls_ = 0;
    Current current_;
    std::array<Day, dayCount> days_{};
};

}  // namespace rv
