#include "stats/chart_axes.h"

#include <array>
#include <ctime>

#include "core/dates.h"
#include "core/time_text.h"

namespace rv {

namespace {

constexpr unsigned maxValueSteps = 4;

// The smallest of 1, 2 and 5 times a power of ten, from least on, that
// reaches most in maxValueSteps steps.
ValueAxis niceAxis(std::uint64_t most, std::uint64_t least) {
    for (std::uint64_t power = least;; power *= 10)
        for (const std::uint64_t factor : {1, 2, 5}) {
            const std::uint64_t step = power * factor;
            const std::uint64_t steps = most / step + (most % step != 0);
            if (steps <= maxValueSteps)
                return ValueAxis{step, static_cast<unsigned>(steps == 0 ? 1 : steps)};
        }
}

// Tenths of a unit of 2^shift bytes, rounded up.
std::uint64_t tenthsOf(std::uint64_t bytes, unsigned shift) {
    const std::uint64_t mask = (std::uint64_t{1} << shift) - 1;
    return (bytes >> shift) * 10 + (((bytes & mask) * 10 + mask) >> shift);
}

// A date axis' step: a number of days from the first day (on Mondays from
// a week on) or of months (on the first of the months the step divides
// the year by).
struct DateStep {
    unsigned days;
    unsigned months;
};
constexpr std::array<DateStep, 12> dateSteps{{{1, 0},
                                              {2, 0},
                                              {7, 0},
                                              {14, 0},
                                              {0, 1},
                                              {0, 2},
                                              {0, 3},
                                              {0, 6},
                                              {0, 12},
                                              {0, 24},
                                              {0, 60},
                                              {0, 120}}};

constexpr std::array<std::string_view, 12> monthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Monday is 0; day 0 was a Thursday.
std::int64_t weekday(std::int64_t day) {
    return ((day + 3) % 7 + 7) % 7;
}

std::vector<DateLabel> labelsEvery(const DateStep& step, std::int64_t firstDay, std::size_t days) {
    std::vector<DateLabel> labels;
    const auto end = firstDay + static_cast<std::int64_t>(days);
    if (step.days > 0) {
        std::int64_t day = firstDay;
        if (step.days >= 7) day += (7 - weekday(firstDay)) % 7;
        for (; day < end && labels.size() <= maxDateLabels; day += step.days)
            labels.push_back({static_cast<std::size_t>(day - firstDay), dayText(day).substr(5)});
        return labels;
    }
    std::tm first{};
    if (!breakDownUtc(firstDay * 86400, first)) return labels;
    std::int64_t year = first.tm_year + 1900;
    auto month = static_cast<unsigned>(first.tm_mon + 1);
    for (;; ++month) {
        if (month > 12) {
            month = 1;
            ++year;
        }
        const std::int64_t day = daysFromCivil(year, month, 1);
        if (day >= end || labels.size() > maxDateLabels) break;
        const bool onStep = step.months < 12 ? (month - 1) % step.months == 0
                                             : month == 1 && year % (step.months / 12) == 0;
        if (day < firstDay || !onStep) continue;
        labels.push_back({static_cast<std::size_t>(day - firstDay),
                          month == 1 ? std::to_string(year) : std::string(monthNames[month - 1])});
    }
    return labels;
}

}  // namespace

long double ValueAxis::topValue() const {
    const long double top = static_cast<long double>(step) * steps * static_cast<long double>(unit);
    return tenths ? top / 10 : top;
}

std::string ValueAxis::label(unsigned k) const {
    const std::uint64_t value = step * k;
    std::string text = std::to_string(tenths ? value / 10 : value);
    if (tenths && value % 10 != 0) text += "." + std::to_string(value % 10);
    if (value != 0) text += suffix;
    return text;
}

ValueAxis countAxis(std::uint64_t most) {
    return niceAxis(most, 1);
}

ValueAxis trafficAxis(std::uint64_t bytes) {
    if (bytes < 1000000) return niceAxis(bytes, 1);
    const bool giga = bytes >= (std::uint64_t{10} << 30);
    const unsigned shift = giga ? 30 : 20;
    ValueAxis axis = niceAxis(tenthsOf(bytes, shift), 1);
    axis.unit = std::uint64_t{1} << shift;
    axis.tenths = true;
    axis.suffix = giga ? "G" : "M";
    return axis;
}

std::vector<DateLabel> dateLabels(std::int64_t firstDay, std::size_t days) {
    std::vector<DateLabel> labels;
    for (const DateStep& step : dateSteps) {
        labels = labelsEvery(step, firstDay, days);
        if (labels.size() <= maxDateLabels) break;
    }
    return labels;
}

}  // namespace rv
