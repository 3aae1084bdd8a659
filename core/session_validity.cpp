#include "core/session_validity.h"

#include "core/time_text.h"

namespace rv {

std::tm SessionTime::shown() const {
    std::tm fields{};
    breakDownUtc(shifted, fields);
    return fields;
}

Validity checkSession(const SessionRecord& r, std::int16_t timeShift, LocalTimeConverter& converter,
                      SessionTime& time) {
    time.shifted = shiftedStart(r, timeShift);
    const std::optional<std::time_t> local = converter.toLocal(time.shifted);
    time.brokenDown = local.has_value();
    if (local) time.localStart = *local;
    const FidoAddress& a = r.address;
    if (!time.brokenDown || a.zone <= 0)
        return a.zone == 0 ? Validity::dropSilently : Validity::invalid;
    if (a.net < 0 || a.node < 0 || a.point < 0) return Validity::invalid;
    if (r.duration > longestSession || time.localStart <= 0 ||
        time.localStart + r.duration > std::int64_t{INT32_MAX})
        return Validity::invalid;
    return Validity::valid;
}

void reportInvalidRecord(std::FILE* warnings, const std::string& path, const SessionRecord& r,
                         const SessionTime& time) {
    const FidoAddress& a = r.address;
    std::fprintf(warnings, "Invalid record in %s: %d:%d/%d.%d %s\n", path.c_str(), a.zone, a.net,
                 a.node, a.point,
                 time.brokenDown ? asctimeText(time.shown()).data() : unreadableTimeText);
}

}  // namespace rv
