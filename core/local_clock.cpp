#include "core/local_clock.h"

namespace rv {

int autoTimeShiftHours(std::time_t now) {
    std::tm utc{};
    gmtime_r(&now, &utc);
    utc.tm_isdst = 0;
    std::time_t asLocal = std::mktime(&utc);
    return static_cast<int>((now - asLocal) / 3600);
}

}  // namespace rv
