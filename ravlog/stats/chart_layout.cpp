#include "ravlog/stats/chart_layout.h"

#include <cstring>

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

namespace {

void writeText(std::FILE* out, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), out);
}

}  // namespace

unsigned writeHourLabels(std::FILE* out, const ChartLayout& layout, unsigned startHour) {
    std::fprintf(out, "              %2u", startHour);
    unsigned hour = startHour + layout.labelStep;
    for (unsigned span = layout.labelStep; span < layout.hours; span += layout.labelStep) {
        if (hour > 23) hour -= 24;
        writeText(out, layout.labelGap);
        std::fprintf(out, "%2u", hour);
        hour += layout.labelStep;
    }
    if (hour > 23) hour -= 24;
    return hour == 0 ? 24 : hour;
}

void writeHistoryHeader(std::FILE* out, const ChartLayout& layout, unsigned startHour,
                        ShowValueMode showValue) {
    const unsigned endHour = writeHourLabels(out, layout, startHour);
    writeText(out, layout.labelGap);
    std::fprintf(out, "%2u\n", endHour);
    writeText(out, blanks.substr(0, chartIndent));
    writeText(out, layout.topRuler);
    switch (showValue) {
        case ShowValueMode::ses:
            writeText(out, "Ses ");
            break;
        case ShowValueMode::time:
            writeText(out, "Mins");
            break;
        case ShowValueMode::cps:
            writeText(out, " CPS");
            break;
    }
    writeText(out, " Rcvd  Sent\n");
}

void writeHistoryFooter(std::FILE* out, const ChartLayout& layout, unsigned startHour) {
    writeText(out, layout.historyBottomRuler);
    writeText(out, "\n");
    const unsigned endHour = writeHourLabels(out, layout, startHour);
    writeText(out, layout.labelGap);
    std::fprintf(out, "%2u\n\n", endHour);
}

std::uint64_t slotPercent(std::uint64_t seconds, std::uint32_t slotSeconds) {
    const std::uint64_t scaled = seconds * 100;
    if (seconds > 0 && scaled < slotSeconds) return 1;
    return scaled / slotSeconds;
}

namespace {

// Levels of a slot within one row: nothing, a trace, half, full.
enum Level : std::uint8_t { empty = 0, trace = 1, half = 2, full = 3 };

// Glyphs by [left level][right level]. The 0 % row shows a trace, which
// the rows above leave out, so that any use at all remains visible.
constexpr std::string_view upperGlyphs[4][4] = {
    {" ", " ", "▐", "▐"},
    {" ", " ", "▄", "▐"},
    {"▌", "▄", "▄", "█"},
    {"▌", "▌", "█", "█"},
};
constexpr std::string_view bottomGlyphs[4][4] = {
    {" ", "▐", "▐", "▐"},
    {"▌", "▄", "▄", "▐"},
    {"▌", "▄", "▄", "█"},
    {"▌", "▌", "█", "█"},
};

Level levelInRow(std::uint64_t percent, std::size_t row) {
    const std::uint64_t base = 90 - 10 * row;
    const std::uint64_t middle = row == chartRowCount - 1 ? 2 : base + 3;
    const std::uint64_t top = base + 7;
    if (percent >= top) return full;
    if (percent >= middle) return half;
    if (percent > base) return trace;
    return empty;
}

void append(ChartRowText& row, std::string_view glyph) {
    std::memcpy(row.chars.data() + row.size, glyph.data(), glyph.size());
    row.size += glyph.size();
}

}  // namespace

ChartRows renderChart(std::span<const std::uint64_t, chartSlots> values,
                      std::uint32_t slotSeconds) {
    std::array<std::uint64_t, chartSlots> percent;
    for (std::size_t i = 0; i < percent.size(); ++i) {
        percent[i] = slotPercent(values[i], slotSeconds);
    }

    ChartRows rows{};
    for (std::size_t r = 0; r < chartRowCount; ++r) {
        const auto& glyphs = r == chartRowCount - 1 ? bottomGlyphs : upperGlyphs;
        ChartRowText& row = rows[r];
        for (std::size_t cell = 0; cell < chartCells; ++cell) {
            const Level left = cell == 0 ? empty : levelInRow(percent[2 * cell - 1], r);
            const Level right = cell == chartCells - 1 ? empty : levelInRow(percent[2 * cell], r);
            const std::string_view glyph = glyphs[left][right];
            // Where no bar covers it, the first cell shows the left axis.
            append(row, cell == 0 && glyph == " " ? std::string_view("│") : glyph);
        }
        row.chars[row.size] = '\0';
    }
    return rows;
}

}  // namespace rv
