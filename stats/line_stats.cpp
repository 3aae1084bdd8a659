#include "stats/line_stats.h"

#include <algorithm>

#include "core/history_formats.h"

namespace rv {

using namespace SessionFlags;

// Without branches on the flags, as countTraffic; the event kinds are
// rare and the cost depends on the line alone, so those branches stay.
void addToLineTotals(LineTotals& t, const SessionRecord& r, bool zeroDuration, HistoryType type) {
    const std::uint64_t in = r.has(incoming);
    const std::uint64_t out = r.has(outgoing);
    const std::uint64_t done = r.has(normal);
    const bool prot = r.has(protectedSession);
    countTraffic(t, r, zeroDuration, !r.has(kindAnswer | kindDial | kindTerminal));
    countTraffic(t.protectedPart, r, zeroDuration, true, prot);
    t.normalIn += in & done;
    t.normalOut += out & done;
    t.normalSessions += done;
    t.protectedNormal += prot & done;
    if (recordsCost(type)) {
        t.costIn += r.cost * in;
        t.costOut += r.cost * out;
    }
    if (r.has(kindMask)) {
        if (r.has(kindBbs)) ++t.bbsEvents;
        if (r.has(kindExternal)) ++t.externalEvents;
        if (r.has(kindAnswer)) ++t.answerEvents;
        if (r.has(kindDial)) ++t.dialEvents;
        if (r.has(kindTerminal)) ++t.terminalEvents;
    }
}

AxisSpan axisPosition(std::int64_t localStart, std::uint32_t duration, std::int64_t windowStart,
                      unsigned windowStartMinute, unsigned windowStartSecond) {
    const std::int64_t offset = std::int64_t{windowStartMinute} * 60 + windowStartSecond;
    if (localStart >= windowStart) {
        const std::int64_t start = offset + (localStart - windowStart);
        return {static_cast<std::uint64_t>(start), static_cast<std::uint64_t>(start + duration)};
    }
    // Selected sessions end after the window start, so the end stays past the origin.
    const std::int64_t end = offset + duration - (windowStart - localStart);
    return {static_cast<std::uint64_t>(offset), static_cast<std::uint64_t>(std::max(end, offset))};
}

void addToBusyHistogram(BusyHistogram& busy, AxisSpan span, std::uint16_t flags,
                        const ChartLayout& layout) {
    if (span.end <= span.start) return;
    const std::uint64_t first = slotAt(layout, span.start);
    const bool prot = (flags & protectedSession) != 0;
    const bool in = (flags & incoming) != 0;
    const bool out = (flags & outgoing) != 0;
    std::uint64_t hi = slotStart(layout, first);
    for (std::uint64_t i = first; i < chartSlots; ++i) {
        const std::uint64_t lo = hi;
        hi = slotStart(layout, i + 1);
        if (lo >= span.end) break;
        const std::uint64_t part = std::min(hi, span.end) - std::max(lo, span.start);
        busy.all[i] += part;
        if (in) busy.incoming[i] += part;
        if (out) busy.outgoing[i] += part;
        if (prot) {
            busy.protectedAll[i] += part;
            if (in) busy.protectedIn[i] += part;
            if (out) busy.protectedOut[i] += part;
        } else {
            busy.unprotected[i] += part;
            if (in) busy.unprotectedIn[i] += part;
            if (out) busy.unprotectedOut[i] += part;
        }
    }
}

}  // namespace rv
