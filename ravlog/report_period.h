// The period header under the banner of every ravlog report, and the
// creation-time text of their footers.
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

// The local time now as "%A, %d %B %Y, %X".
std::string creationTimeText(std::time_t now);

}  // namespace rv
