// The geometry shared by every chart of a run: the 96 slots of the window
// drawn as 49 half-character cells, the rulers and hour labels around them,
// and the rendering of slot values into ten rows of block glyphs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>

#include "core/config_model.h"
#include "core/fixed_text.h"
#include "ravlog/stats/line_stats.h"

namespace rv {

// Cells of a chart row, ruler or history row (slot i lies in cell (i + 1) / 2).
inline constexpr std::size_t chartCells = 49;
// Chart rows drawn; row 0 is the 90 % row, row 9 the 0 % row.
inline constexpr std::size_t chartRowCount = 10;
// Columns before cell 0 (the address column, the side labels).
inline constexpr std::size_t chartIndent = 15;

struct ChartLayout {
    std::uint8_t hours;                // the span of the 96 slots
    std::uint8_t labelStep;            // hours between two hour labels
    std::uint32_t slotSeconds;         // seconds per slot
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

// Writes the hour labels from startHour on, without the last one and
// without a line end; returns that last hour (1..24) for the caller to
// write behind labelGap.
unsigned writeHourLabels(std::FILE* out, const ChartLayout& layout, unsigned startHour);

// Hour labels, the top ruler and the column titles above the link history;
// the value title follows showValue ("Ses ", "Mins", " CPS").
void writeHistoryHeader(std::FILE* out, const ChartLayout& layout, unsigned startHour,
                        ShowValueMode showValue);

// The bottom ruler (the caller has written the 15 columns before it) and the
// hour labels under the link history, with a blank line after them.
void writeHistoryFooter(std::FILE* out, const ChartLayout& layout, unsigned startHour);

// 49 glyphs of up to three bytes.
using ChartRowText = FixedText<chartCells * 3>;
using ChartRows = std::array<ChartRowText, chartRowCount>;

// Percentage of a slot in use: a slot with any use shows at least 1 %.
std::uint64_t slotPercent(std::uint64_t seconds, std::uint32_t slotSeconds);

// Ten rows of block glyphs for 96 slot values in seconds.
ChartRows renderChart(std::span<const std::uint64_t, chartSlots> values, std::uint32_t slotSeconds);

}  // namespace rv
