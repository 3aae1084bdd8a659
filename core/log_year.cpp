#include "core/log_year.h"

#include <algorithm>
#include <array>
#include <ctime>

#include "core/dates.h"
#include "core/time_text.h"

namespace rv {

namespace {

constexpr std::int64_t secondsPerDay = 86400;
// A place in the year counts every year as a leap year, so that the
// tracker reads the same whatever year it starts at.
constexpr std::int64_t placesPerYear = 366 * secondsPerDay;
constexpr std::array<int, 12> daysBeforeMonth = {0,   31,  60,  91,  121, 152,
                                                 182, 213, 244, 274, 305, 335};
// Lines may stand this far behind the latest before it counts as a turn:
// processes writing out of order, the hour a clock goes back (a day, and
// the day a common year's February lacks).
constexpr std::int64_t fallBack = 2 * secondsPerDay;
// The zones of the writing and the reading machine may differ this much.
constexpr std::int64_t zoneSlack = 26 * 3600;
constexpr std::int64_t maxYears = 10'000'000;

std::int64_t placeInYear(const YearlessTime& t) {
    return (daysBeforeMonth[t.month - 1] + std::int64_t{t.day} - 1) * secondsPerDay + t.secondOfDay;
}

}  // namespace

std::int64_t LogYearTracker::yearOf(const YearlessTime& t) {
    const std::int64_t place = year_ * placesPerYear + placeInYear(t);
    if (!seen_) {
        seen_ = true;
        latest_ = place;
        return year_;
    }
    if (place < latest_ - fallBack) {
        ++year_;
        latest_ = place + placesPerYear;
        return year_;
    }
    const std::int64_t yearBefore = place - placesPerYear;
    if (yearBefore <= latest_ && yearBefore >= latest_ - fallBack) return year_ - 1;
    if (place > latest_) latest_ = place;
    return year_;
}

std::int64_t wallSeconds(std::int64_t year, const YearlessTime& t) {
    // A hostile log can turn the year once a line; far beyond the records'
    // clock every year reads the same and nothing overflows.
    year = std::clamp<std::int64_t>(year, -maxYears, maxYears);
    return daysFromCivil(year, t.month, 1) * secondsPerDay +
           std::int64_t{t.day - 1} * secondsPerDay + t.secondOfDay;
}

std::int64_t yearOfLastLine(const YearlessTime& t, std::int64_t modified) {
    std::tm fields{};
    breakDownUtc(modified < 0 ? 0 : modified, fields);
    std::int64_t year = std::int64_t{fields.tm_year} + 1900 + 1;
    // The year after modified's, its own or the one before.
    for (int step = 0; step < 2 && wallSeconds(year, t) > modified + zoneSlack; ++step)
        --year;
    return year;
}

}  // namespace rv
