// The geometry shared by every chart of a run: the 96 slots of the window
// drawn as 49 half-character cells, and the rulers and hour-label spacing
// around them. ravlog draws with it (ravlog/chart_text.h); the address
// entries mark their history rows on it (markHistoryRow).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/fixed_text.h"

namespace rv {

// Time slots of every chart: the window is drawn in 96 of them.
inline constexpr int chartSlots = 96;
// Cells of a chart row, ruler or history row (slot i lies in cell (i + 1) / 2).
inline constexpr std::size_t chartCells = 49;

struct ChartLayout {
    std::uint8_t hours;                // the span of the 96 slots
    std::uint8_t labelStep;            // hours between two hour labels
    std::uint32_t slotSeconds;         // seconds per slot, the shorter ones where they differ
    std::uint32_t halfSlot;            // the least time that marks a slot in a history row
    std::string_view labelGap;         // blanks before every hour label but the first
    std::string_view topRuler;         // 49 characters each, UTF-8
    std::string_view historyTemplate;  // ASCII: '|' on grid lines, blanks between
    std::string_view middleLine;
    std::string_view historyBottomRuler;
    std::string_view chartBottomRuler;
};

inline constexpr std::size_t chartLayoutCount = 9;
extern const std::array<ChartLayout, chartLayoutCount> chartLayouts;

// The shortest layout that spans windowHours (1..24); 24 hours beyond that.
const ChartLayout& chooseChartLayout(unsigned windowHours);

// The seconds the 96 slots span.
constexpr std::uint64_t chartSeconds(const ChartLayout& layout) {
    return std::uint64_t{layout.hours} * 3600;
}

// Where slot 0..96 begins on the chart axis. The slots tile the span
// exactly: where it is no multiple of 96 seconds (1 and 3 hours) their
// lengths differ by a second, rather than the last slot stopping short of
// the window's end. Elsewhere every slot is slotSeconds long.
constexpr std::uint64_t slotStart(const ChartLayout& layout, std::uint64_t slot) {
    return slot * chartSeconds(layout) / chartSlots;
}
constexpr std::uint64_t slotLength(const ChartLayout& layout, std::uint64_t slot) {
    return slotStart(layout, slot + 1) - slotStart(layout, slot);
}
// The slot that holds axis second t: 96 and above past the span.
constexpr std::uint64_t slotAt(const ChartLayout& layout, std::uint64_t t) {
    return ((t + 1) * chartSlots - 1) / chartSeconds(layout);
}

// 'A' left half busy, 'B' right half, 'C' both; '|' grid lines, blanks.
using HistoryRow = FixedText<chartCells>;

// Marks the slots of [start, end) on the chart axis; a slot that the session
// touches for less than half of it is left out at either end.
void markHistoryRow(HistoryRow& row, std::uint64_t start, std::uint64_t end,
                    const ChartLayout& layout);

}  // namespace rv
