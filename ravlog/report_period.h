// The period header under the banner of every ravlog report.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

#include "core/config_model.h"

namespace rv {

struct PeriodView {
    TimeWindow window;
    std::time_t windowStart = 0;
    std::time_t windowEnd = 0;
};

void writePeriodHeader(std::FILE* out, const PeriodView& period);

}  // namespace rv
