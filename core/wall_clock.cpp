#include "core/wall_clock.h"

#include <optional>

#include "core/dates.h"

namespace rv {

namespace {

constexpr std::int64_t secondsPerDay = 86400;

// The zone's offset from UTC (east positive) at calendar time t.
std::optional<std::int64_t> offsetAt(std::int64_t t) {
    const auto time = static_cast<std::time_t>(t);
    std::tm local{};
    if (!localtime_r(&time, &local)) return std::nullopt;
    return local.tm_gmtoff;
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b < 0 ? 1 : 0);
}

// The wall time as if it were UTC, out-of-range fields carried over as
// mktime carries them.
std::int64_t wallSeconds(const std::tm& f) {
    const std::int64_t month = f.tm_mon;
    const std::int64_t year = std::int64_t{f.tm_year} + 1900 + floorDiv(month, 12);
    const auto monthOfYear = static_cast<unsigned>(month - floorDiv(month, 12) * 12);
    const std::int64_t days = daysFromCivil(year, monthOfYear + 1, 1) + f.tm_mday - 1;
    return days * secondsPerDay + std::int64_t{f.tm_hour} * 3600 + std::int64_t{f.tm_min} * 60 +
           f.tm_sec;
}

std::time_t byMktime(std::tm fields) {
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

}  // namespace

std::time_t WallClockReader::toCalendar(const std::tm& fields) {
    // Like mktime, seconds beyond a minute are elapsed time after the wall
    // time of the minute's last second, not part of the wall time.
    std::tm minute = fields;
    const int excess = minute.tm_sec > 59  ? minute.tm_sec - 59
                       : minute.tm_sec < 0 ? minute.tm_sec
                                           : 0;
    minute.tm_sec -= excess;
    return static_cast<std::time_t>(wallToCalendar(minute) + excess);
}

std::time_t WallClockReader::wallToCalendar(const std::tm& fields) {
    const std::int64_t wall = wallSeconds(fields);
    const std::int64_t day = floorDiv(wall, secondsPerDay);
    Day& d = days_[static_cast<std::size_t>(day) & (dayCount - 1)];
    if (d.day != day) {
        const auto before = offsetAt(day * secondsPerDay - 2 * secondsPerDay);
        const auto after = offsetAt(day * secondsPerDay + 3 * secondsPerDay);
        d = Day{day, before.value_or(0), after.value_or(0), before && after};
    }
    if (!d.known) return byMktime(fields);
    if (d.before == d.after) return static_cast<std::time_t>(wall - d.before);
    // A day with a change: the wall time is read with each offset and kept
    // where the zone agrees that it had that offset then.
    const std::int64_t first = wall - d.before;
    const std::int64_t second = wall - d.after;
    const bool firstHolds = offsetAt(first) == d.before;
    const bool secondHolds = offsetAt(second) == d.after;
    if (firstHolds && secondHolds) return static_cast<std::time_t>(first < second ? first : second);
    if (firstHolds) return static_cast<std::time_t>(first);
    if (secondHolds) return static_cast<std::time_t>(second);
    return byMktime(fields);  // the skipped hour
}

}  // namespace rv
