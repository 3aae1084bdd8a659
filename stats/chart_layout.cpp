#include "stats/chart_layout.h"

namespace rv {

namespace {

// Axis under the hour labels, above a link history.
constexpr std::string_view rulerT1 = "├───┴───┴───┼───┴───┴───┼───┴───┴───┼───┴───┴───┤";
constexpr std::string_view rulerT2 = "├─┴─┴─┴─┴─┴─┼─┴─┴─┴─┴─┴─┼─┴─┴─┴─┴─┴─┼─┴─┴─┴─┴─┴─┤";
constexpr std::string_view rulerT3 = "├───┴───┼───┴───┼───┴───┼───┴───┼───┴───┼───┴───┤";
constexpr std::string_view rulerT4 = "├──┴──┴──┴──┼──┴──┴──┴──┼──┴──┴──┴──┼──┴──┴──┴──┤";
constexpr std::string_view rulerT6 = "├─┴─┴─┴─┼─┴─┴─┴─┼─┴─┴─┴─┼─┴─┴─┴─┼─┴─┴─┴─┼─┴─┴─┴─┤";
constexpr std::string_view rulerT8 = "├──┴──┼──┴──┼──┴──┼──┴──┼──┴──┼──┴──┼──┴──┼──┴──┤";
constexpr std::string_view rulerT12 = "├─┴─┼─┴─┼─┴─┼─┴─┼─┴─┼─┴─┼─┴─┼─┴─┼─┴─┼─┴─┼─┴─┼─┴─┤";
// Empty history rows.
constexpr std::string_view gridG12 = "|           |           |           |           |";
constexpr std::string_view gridG8 = "|       |       |       |       |       |       |";
constexpr std::string_view gridG6 = "|     |     |     |     |     |     |     |     |";
constexpr std::string_view gridG4 = "|   |   |   |   |   |   |   |   |   |   |   |   |";
constexpr std::string_view gridG3 = "|  |  |  |  |  |  |  |  |  |  |  |  |  |  |  |  |";
// Separators between history rows.
constexpr std::string_view rulerM12 = "├───────────┼───────────┼───────────┼───────────┤";
constexpr std::string_view rulerM8 = "├───────┼───────┼───────┼───────┼───────┼───────┤";
constexpr std::string_view rulerM6 = "├─────┼─────┼─────┼─────┼─────┼─────┼─────┼─────┤";
constexpr std::string_view rulerM4 = "├───┼───┼───┼───┼───┼───┼───┼───┼───┼───┼───┼───┤";
constexpr std::string_view rulerM3 = "├──┼──┼──┼──┼──┼──┼──┼──┼──┼──┼──┼──┼──┼──┼──┼──┤";
// Axis under a link history.
constexpr std::string_view rulerB1 = "├───┬───┬───┼───┬───┬───┼───┬───┬───┼───┬───┬───┤";
constexpr std::string_view rulerB2 = "├─┬─┬─┬─┬─┬─┼─┬─┬─┬─┬─┬─┼─┬─┬─┬─┬─┬─┼─┬─┬─┬─┬─┬─┤";
constexpr std::string_view rulerB3 = "├───┬───┼───┬───┼───┬───┼───┬───┼───┬───┼───┬───┤";
constexpr std::string_view rulerB4 = "├──┬──┬──┬──┼──┬──┬──┬──┼──┬──┬──┬──┼──┬──┬──┬──┤";
constexpr std::string_view rulerB6 = "├─┬─┬─┬─┼─┬─┬─┬─┼─┬─┬─┬─┼─┬─┬─┬─┼─┬─┬─┬─┼─┬─┬─┬─┤";
constexpr std::string_view rulerB8 = "├──┬──┼──┬──┼──┬──┼──┬──┼──┬──┼──┬──┼──┬──┼──┬──┤";
constexpr std::string_view rulerB12 = "├─┬─┼─┬─┼─┬─┼─┬─┼─┬─┼─┬─┼─┬─┼─┬─┼─┬─┼─┬─┼─┬─┼─┬─┤";
// Axis under a busy chart.
constexpr std::string_view rulerC4 = "┼───┬───┬───┬───┬───┬───┬───┬───┬───┬───┬───┬───┐";
constexpr std::string_view rulerC2 = "┼─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┐";
constexpr std::string_view rulerC3 = "┼──┬──┬──┬──┬──┬──┬──┬──┬──┬──┬──┬──┬──┬──┬──┬──┐";

constexpr std::string_view blanks = "                                              ";  // 46

constexpr std::string_view gap(std::size_t n) {
    return blanks.substr(0, n);
}

}  // namespace

// Hour labels fall every 48 * labelStep / hours cells (labelGap + 2), so
// that each label's last digit stands above a grid position of the rulers.
const std::array<ChartLayout, chartLayoutCount> chartLayouts{{
    {1, 1, 37, 19, gap(46), rulerT1, gridG12, rulerM12, rulerB1, rulerC4},
    {2, 1, 75, 37, gap(22), rulerT2, gridG12, rulerM12, rulerB2, rulerC2},
    {3, 1, 112, 56, gap(14), rulerT3, gridG8, rulerM8, rulerB3, rulerC4},
    {4, 1, 150, 75, gap(10), rulerT4, gridG12, rulerM12, rulerB4, rulerC3},
    {6, 1, 225, 112, gap(6), rulerT6, gridG8, rulerM8, rulerB6, rulerC2},
    {8, 1, 300, 150, gap(4), rulerT8, gridG6, rulerM6, rulerB8, rulerC3},
    {12, 1, 450, 225, gap(2), rulerT12, gridG4, rulerM4, rulerB12, rulerC2},
    {16, 1, 600, 300, gap(1), rulerM3, gridG3, rulerM3, rulerM3, rulerC3},
    {24, 2, 900, 450, gap(2), rulerT12, gridG4, rulerM4, rulerB12, rulerC2},
}};

const ChartLayout& chooseChartLayout(unsigned windowHours) {
    for (std::size_t i = 0; i + 1 < chartLayoutCount; ++i) {
        if (chartLayouts[i].hours >= windowHours) return chartLayouts[i];
    }
    return chartLayouts[chartLayoutCount - 1];
}

void markHistoryRow(HistoryRow& row, std::uint64_t start, std::uint64_t end,
                    const ChartLayout& layout) {
    if (row.size < chartCells || end < start) return;
    const std::uint64_t halfSlot = layout.halfSlot;
    std::uint64_t first = slotAt(layout, start);
    std::uint64_t last = slotAt(layout, end);
    if (first != last) {
        // A slot at either end counts only when the session fills half of it.
        const std::uint64_t head = slotStart(layout, first + 1) - start;
        const std::uint64_t tail = end - slotStart(layout, last);
        if (tail >= halfSlot && head < halfSlot) {
            ++first;
        } else if (head >= halfSlot && tail < halfSlot) {
            --last;
        } else if (head < halfSlot && tail < halfSlot) {
            if (last - first > 1 && head + tail < halfSlot) {
                ++first;
                --last;
            } else if (head >= tail) {
                --last;
            } else {
                ++first;
            }
        }
    }
    constexpr std::uint64_t lastSlot = chartSlots - 1;
    if (last > lastSlot) last = lastSlot;
    for (std::uint64_t i = first; i <= last; ++i) {
        char& cell = row.chars[(i + 1) / 2];
        if (i % 2 == 1) {  // left half
            cell = cell == 'B' ? 'C' : cell == 'C' ? 'C' : 'A';
        } else {
            cell = cell == 'A' ? 'C' : cell == 'C' ? 'C' : 'B';
        }
    }
}

}  // namespace rv
