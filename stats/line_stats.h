// Per-line figures: the totals of the sessions a line accounted, and the
// nine busy arrays of 96 chart slots.
#pragma once

#include <array>
#include <cstdint>

#include "core/history_type.h"
#include "core/session_record.h"
#include "stats/chart_layout.h"
#include "stats/traffic_counters.h"

namespace rv {

// The line's traffic counters, with sessions counting mail sessions and
// The Brake!'s BBS and External events, and the line's other figures.
struct LineTotals : TrafficCounters {
    std::uint64_t normalIn = 0;
    std::uint64_t normalOut = 0;
    std::uint64_t normalSessions = 0;
    std::uint64_t externalEvents = 0;
    std::uint64_t bbsEvents = 0;
    std::uint64_t answerEvents = 0;
    std::uint64_t dialEvents = 0;
    std::uint64_t terminalEvents = 0;
    std::uint64_t costIn = 0;
    std::uint64_t costOut = 0;
    // The protected sessions, whatever their kind: every one among its
    // sessions. The unprotected part is what is left (without).
    TrafficCounters protectedPart;
    std::uint64_t protectedNormal = 0;  // of those in protectedPart.sessions
};

using SlotValues = std::array<std::uint64_t, chartSlots>;

// Seconds of session time per chart slot.
struct BusyHistogram {
    SlotValues all{};
    SlotValues incoming{};
    SlotValues outgoing{};
    SlotValues protectedAll{};
    SlotValues unprotected{};
    SlotValues protectedIn{};
    SlotValues protectedOut{};
    SlotValues unprotectedIn{};
    SlotValues unprotectedOut{};
};

// Adds one accounted session (flags settled, duration at least 1).
void addToLineTotals(LineTotals& totals, const SessionRecord& r, bool zeroDuration,
                     HistoryType type);

// Where a session lies on the chart axis, whose origin is the start of
// the hour in which the window begins; the part before the window is cut off.
struct AxisSpan {
    std::uint64_t start;
    std::uint64_t end;
};
AxisSpan axisPosition(std::int64_t localStart, std::uint32_t duration, std::int64_t windowStart,
                      unsigned windowStartMinute, unsigned windowStartSecond);

// Adds the session's time to every slot it overlaps.
void addToBusyHistogram(BusyHistogram& busy, AxisSpan span, std::uint16_t flags,
                        const ChartLayout& layout);

}  // namespace rv
