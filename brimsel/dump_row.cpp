#include "brimsel/dump_row.h"

#include "core/time_text.h"

namespace rv::brimsel {

void fillDumpRow(DumpRow& row, const SessionRecord& r, std::uint16_t direction,
                 std::int16_t timeShift, UtcDayCache& days) {
    row.address = r.address;
    std::int64_t t = static_cast<std::int32_t>(r.startTime);
    if (timeShift != 0) t += std::int64_t{timeShift} * 3600;
    row.startKnown = days.breakDown(t, row.start);
    row.duration = r.duration;
    row.received = r.bytesReceived;
    row.sent = r.bytesSent;
    row.flags = r.flags | direction;
}

const SessionKind* eventKind(std::uint16_t flags) {
    for (const SessionKind& kind : sessionKinds)
        if (flags & kind.entryFlag) return &kind;
    return nullptr;
}

}  // namespace rv::brimsel
