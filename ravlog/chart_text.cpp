#include "ravlog/chart_text.h"

#include <cstring>
#include <string_view>

namespace rv::ravlog {

namespace {

constexpr std::string_view blanks = "               ";  // chartIndent

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

std::uint64_t slotPercent(std::uint64_t seconds, std::uint64_t slotSeconds) {
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
                      const ChartLayout& layout) {
    std::array<std::uint64_t, chartSlots> percent;
    for (std::size_t i = 0; i < percent.size(); ++i) {
        percent[i] = slotPercent(values[i], slotLength(layout, i));
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

}  // namespace rv::ravlog
