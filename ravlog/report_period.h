// The report period: the days it names, and the period header under the
// banner of every ravlog report.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

#include "core/config_model.h"

namespace rv::ravlog {

struct PeriodView {
    TimeWindow window;
    std::time_t windowStart = 0;
    std::time_t windowEnd = 0;
};

// The local calendar day of the window's first second and that of its
// last, as every report names them.
struct PeriodDays {
    std::tm first{};
    std::tm last{};
};
PeriodDays periodDays(const PeriodView& period);

// The window's first and last second as dates with times of day, as the
// data and page reports give the period.
struct PeriodBounds {
    std::tm start{};
    std::tm end{};
};
PeriodBounds periodBounds(const PeriodView& period);

void writePeriodHeader(std::FILE* out, const PeriodView& period);

}  // namespace rv::ravlog
