// The chart geometry of stats/chart_layout.h drawn as SVG for the HTML
// report: the 96 slots of the window side by side, six units each, an hour
// axis that starts at the window's first hour and labels as the text
// charts do, and the timeline of a history row (when an address was
// online over the window).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/out_buffer.h"
#include "stats/address_book.h"
#include "stats/chart_layout.h"

namespace rv {

// Units of one slot and of the whole axis.
inline constexpr int svgSlotWidth = 6;
inline constexpr int svgAxisWidth = chartSlots * svgSlotWidth;

struct ChartAxis {
    const ChartLayout* layout;
    unsigned startHour;  // the axis starts at the full hour the window begins in
};

// The hour labels under a chart, from the first hour on every labelStep
// hours; the last one, at the axis' end, is 24 where it would be 0.
struct HourLabel {
    unsigned hour;
    int x;  // on the axis, 0..svgAxisWidth
};
std::vector<HourLabel> hourLabels(const ChartAxis& axis);

// "22:05" or, where a slot is no whole number of minutes, "22:05:37":
// the time of day at which a slot (0..96) begins.
void putSlotTime(OutBuffer& out, const ChartAxis& axis, int slot);
// "22:05–22:10", the span of one slot.
void putSlotSpan(OutBuffer& out, const ChartAxis& axis, int slot);

// A bar chart's frame on a page: its value labels from the top down
// beside a plot width units wide and 100 high, stretched to the page's
// width, and under it the axis labels, each at its share (0..1) of the
// axis. The labels are the page's text, the size of its small print at
// any width. Between the two the caller draws the plot's content.
struct AxisMark {
    double at;
    std::string text;
};
void putPlotStart(OutBuffer& out, const std::vector<std::string>& valueLabels, std::uint64_t width,
                  std::string_view plotClass, std::string_view name);
void putPlotEnd(OutBuffer& out, const std::vector<AxisMark>& marks);

// The horizontal grid lines of a bar chart, steps intervals across its
// 100 units of height, across width units.
void putValueGrid(OutBuffer& out, std::uint64_t width, unsigned steps);

// The vertical grid lines at every hour label, from top down height units.
void putHourGrid(OutBuffer& out, const ChartAxis& axis, int top, int height);

// Whether the history row marks the slot.
bool marksSlot(std::string_view marks, int slot);

// An <svg> timeline of the marked slots, with hour grid lines and a
// tooltip that lists the spans.
void putTimelineSvg(OutBuffer& out, const ChartAxis& axis, std::string_view marks);

}  // namespace rv
