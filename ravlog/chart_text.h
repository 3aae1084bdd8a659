// Drawing the charts of ravlog's sessions history: the hour labels and
// rulers around a link history, and busy charts rendered from slot values
// into ten rows of block glyphs, on the geometry of stats/chart_layout.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include "core/config_model.h"
#include "core/fixed_text.h"
#include "stats/chart_layout.h"
#include "stats/line_stats.h"

namespace rv::ravlog {

// Chart rows drawn; row 0 is the 90 % row, row 9 the 0 % row.
inline constexpr std::size_t chartRowCount = 10;
// Columns before cell 0 (the address column, the side labels).
inline constexpr std::size_t chartIndent = 15;

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

// Percentage of a slot of slotSeconds in use: a slot with any use shows
// at least 1 %.
std::uint64_t slotPercent(std::uint64_t seconds, std::uint64_t slotSeconds);

// Ten rows of block glyphs for 96 slot values in seconds, each against its
// slot's length in the layout.
ChartRows renderChart(std::span<const std::uint64_t, chartSlots> values, const ChartLayout& layout);

}  // namespace rv::ravlog
