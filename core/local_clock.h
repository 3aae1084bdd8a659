// The machine's local time as the suite uses it.
#pragma once

#include <cstdint>
#include <ctime>

namespace rv {

// TimeShift AUTO: the offset of local standard time from UTC in whole
// hours at `now` (daylight saving left out), truncated toward zero.
int autoTimeShiftHours(std::time_t now);

}  // namespace rv
