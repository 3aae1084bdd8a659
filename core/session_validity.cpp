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
    if (r.address.zone == 0) return Validity::dropSilently;
    return r.address.zone > 0 && validApartFromZone(r, time) ? Validity::valid : Validity::invalid;
}

void reportInvalidRecord(std::FILE* warnings, const std::string& path, const SessionRecord& r,
                         const SessionTime& time) {
    const FidoAddress& a = r.address;
    std::fprintf(warnings, "Invalid record in %s: %d:%d/%d.%d %s\n", path.c_str(), a.zone, a.net,
                 a.node, a.point,
                 time.brokenDown ? asctimeText(time.shown()).data() : unreadableTimeText);
}

}  // namespace rv
