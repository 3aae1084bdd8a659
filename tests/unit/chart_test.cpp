#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "core/busy_mask.h"
#include "core/format.h"
#include "core/utf8_text.h"
#include "ravlog/chart_text.h"
#include "stats/chart_layout.h"

namespace rv {
namespace {

using namespace ravlog;

// Runs a writer against a temporary file and returns what it wrote.
template <typename Writer>
std::string written(Writer&& writer) {
    std::FILE* f = std::tmpfile();
    writer(f);
    std::string text;
    std::rewind(f);
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    std::fclose(f);
    return text;
}

// Splits a UTF-8 text into its characters.
std::vector<std::string> cellsOf(std::string_view text) {
    std::vector<std::string> cells;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) {
            cells.back() += c;
        } else {
            cells.emplace_back(1, c);
        }
    }
    return cells;
}

std::string blanks(std::size_t n) {
    return std::string(n, ' ');
}

TEST(ChartLayout, RulersAreFortyNineCellsWithGridLinesUnderTheLabels) {
    for (const ChartLayout& layout : chartLayouts) {
        SCOPED_TRACE(static_cast<int>(layout.hours));
        for (std::string_view ruler : {layout.topRuler, layout.middleLine,
                                       layout.historyBottomRuler, layout.chartBottomRuler}) {
            EXPECT_EQ(displayWidth(ruler), chartCells);
        }
        ASSERT_EQ(layout.historyTemplate.size(), chartCells);  // plain ASCII

        // Labels stand labelGap + 2 cells apart; there every ruler has its
        // grid position and the history row its '|'.
        const std::size_t labelCells = layout.labelGap.size() + 2;
        EXPECT_EQ(labelCells * layout.hours, 48u * layout.labelStep);
        const auto top = cellsOf(layout.topRuler);
        const auto middle = cellsOf(layout.middleLine);
        const auto bottom = cellsOf(layout.historyBottomRuler);
        for (std::size_t cell = 0; cell < chartCells; ++cell) {
            const bool grid = layout.historyTemplate[cell] == '|';
            EXPECT_EQ(grid, middle[cell] != "─") << cell;
            if (cell % labelCells == 0) {
                EXPECT_TRUE(grid) << cell;
                EXPECT_NE(top[cell], "─") << cell;
                EXPECT_NE(bottom[cell], "─") << cell;
            }
        }
        // The 96 slots tile the span; slotSeconds is the shorter length.
        EXPECT_EQ(slotStart(layout, 96), layout.hours * 3600u);
        EXPECT_EQ(slotLength(layout, 0), layout.slotSeconds);
        for (std::uint64_t t : {std::uint64_t{0}, slotStart(layout, 1) - 1, slotStart(layout, 1),
                                slotStart(layout, 95), slotStart(layout, 96) - 1})
            EXPECT_EQ(slotStart(layout, slotAt(layout, t)) <= t &&
                          t < slotStart(layout, slotAt(layout, t) + 1),
                      true)
                << t;
        EXPECT_EQ(slotAt(layout, slotStart(layout, 96)), 96u);
    }
}

TEST(ChartLayout, ChoiceTakesTheShortestSpanThatHoldsTheWindow) {
    EXPECT_EQ(chooseChartLayout(1).hours, 1);
    EXPECT_EQ(chooseChartLayout(5).hours, 6);
    EXPECT_EQ(chooseChartLayout(8).hours, 8);
    EXPECT_EQ(chooseChartLayout(13).hours, 16);
    EXPECT_EQ(chooseChartLayout(16).hours, 16);
    EXPECT_EQ(chooseChartLayout(17).hours, 24);
    EXPECT_EQ(chooseChartLayout(24).hours, 24);
    EXPECT_EQ(chooseChartLayout(24).slotSeconds, 900u);
}

TEST(ChartLayout, HourLabels) {
    unsigned end = 0;
    // Whole day: every second hour.
    EXPECT_EQ(written([&](std::FILE* f) { end = writeHourLabels(f, chooseChartLayout(24), 0); }),
              blanks(14) + " 0   2   4   6   8  10  12  14  16  18  20  22");
    EXPECT_EQ(end, 24u);
    // 08:00-13:00 is drawn on six hours.
    EXPECT_EQ(written([&](std::FILE* f) { end = writeHourLabels(f, chooseChartLayout(5), 8); }),
              blanks(14) + " 8       9      10      11      12      13");
    EXPECT_EQ(end, 14u);
    // 22:00-06:00 runs over midnight.
    EXPECT_EQ(written([&](std::FILE* f) { end = writeHourLabels(f, chooseChartLayout(8), 22); }),
              blanks(14) + "22    23     0     1     2     3     4     5");
    EXPECT_EQ(end, 6u);
    // A day from 23:00 keeps the odd hours.
    EXPECT_EQ(written([&](std::FILE* f) { end = writeHourLabels(f, chooseChartLayout(24), 23); }),
              blanks(14) + "23   1   3   5   7   9  11  13  15  17  19  21");
    EXPECT_EQ(end, 23u);
    // One hour: the start alone; an hour that ends at midnight ends at 24.
    EXPECT_EQ(written([&](std::FILE* f) { end = writeHourLabels(f, chooseChartLayout(1), 10); }),
              blanks(14) + "10");
    EXPECT_EQ(end, 11u);
    written([&](std::FILE* f) { end = writeHourLabels(f, chooseChartLayout(1), 23); });
    EXPECT_EQ(end, 24u);
}

TEST(ChartLayout, HistoryHeaderAndFooter) {
    const ChartLayout& hour = chooseChartLayout(1);
    const std::string top = "├───┴───┴───┼───┴───┴───┼───┴───┴───┼───┴───┴───┤";
    const std::string bottom = "├───┬───┬───┼───┬───┬───┼───┬───┬───┼───┬───┬───┤";
    const std::string labels = blanks(14) + "10" + blanks(46) + "11";
    EXPECT_EQ(written([&](std::FILE* f) { writeHistoryHeader(f, hour, 10, ShowValueMode::ses); }),
              labels + "\n" + blanks(15) + top + "Ses  Rcvd  Sent\n");
    EXPECT_EQ(written([&](std::FILE* f) { writeHistoryHeader(f, hour, 10, ShowValueMode::time); }),
              labels + "\n" + blanks(15) + top + "Mins Rcvd  Sent\n");
    EXPECT_EQ(written([&](std::FILE* f) { writeHistoryHeader(f, hour, 10, ShowValueMode::cps); }),
              labels + "\n" + blanks(15) + top + " CPS Rcvd  Sent\n");
    EXPECT_EQ(written([&](std::FILE* f) { writeHistoryFooter(f, hour, 10); }),
              bottom + "\n" + labels + "\n\n");
}

// History rows on the 1-hour layout: 37-second slots, 19 seconds half a
// slot. Each case marks its sessions and names the cells that change.
TEST(ChartHistoryRowMarks, ShortEndsAreLeftOutHalvesCombineAndTheEndIsClipped) {
    using Spans = std::vector<std::pair<std::uint64_t, std::uint64_t>>;
    const ChartLayout& layout = chooseChartLayout(1);
    const std::string grid = "|           |           |           |           |";
    const struct {
        Spans spans;
        std::vector<std::pair<std::size_t, char>> cells;
    } cases[] = {
        {{{113, 143}}, {{2, 'A'}}},  // slot 3, left half of cell 2
        {{{2, 32}}, {{0, 'B'}}},     // slot 0, over the grid line
        // 10 s at the end of slot 0 and 10 s into slot 1: only the first
        // slot; 9 s and 11 s: the later one.
        {{{27, 47}}, {{0, 'B'}}},
        {{{28, 48}}, {{1, 'A'}}},
        // 17 s of slot 0, then slots 1 to 4 and 25 s of slot 5: slots 1 to 5.
        {{{20, 210}}, {{1, 'C'}, {2, 'C'}, {3, 'A'}}},
        {{{0, 79}}, {{0, 'B'}, {1, 'A'}}},  // all of slots 0 and 1, 5 s of slot 2
        // 7 s and 5 s ends, together below half a slot: both left out; 12 s
        // and 10 s, together above: the shorter end goes.
        {{{30, 116}}, {{1, 'C'}}},
        {{{25, 84}}, {{0, 'B'}, {1, 'A'}}},
        {{{37, 60}, {74, 100}}, {{1, 'C'}}},
        {{{74, 100}, {37, 60}, {40, 50}}, {{1, 'C'}}},
        // The last two slots are [3525, 3562) and [3562, 3600); starting
        // past the chart's end marks nothing.
        {{{3516, 3600}}, {{47, 'B'}, {48, 'A'}}},
        {{{3560, 3590}}, {{48, 'A'}}},
        {{{3600, 3700}}, {}},
    };
    for (const auto& c : cases) {
        HistoryRow row;
        layout.historyTemplate.copy(row.chars.data(), chartCells);
        row.size = chartCells;
        for (auto [start, end] : c.spans)
            markHistoryRow(row, start, end, layout);
        std::string expected = grid;
        for (auto [cell, mark] : c.cells)
            expected[cell] = mark;
        EXPECT_EQ(row.view(), expected) << c.spans.front().first << "-" << c.spans.front().second;
    }
}

TEST(ChartBusyHistMask, LettersInAnyCaseAndWarningsForOthers) {
    std::string warnings;
    std::uint8_t mask = 0;
    warnings = written([&](std::FILE* f) { mask = parseBusyHistMask("tio", f); });
    EXPECT_EQ(mask, 0x07);
    EXPECT_EQ(warnings, "");
    warnings = written([&](std::FILE* f) { mask = parseBusyHistMask("TX", f); });
    EXPECT_EQ(mask, 0x01);
    EXPECT_EQ(warnings, "Skipping invalid character 'X' in BusyHist mask\n");
    warnings = written([&](std::FILE* f) { mask = parseBusyHistMask("pU$ t\n", f); });
    EXPECT_EQ(mask, 0x39);
    EXPECT_EQ(warnings, "Skipping invalid character ' ' in BusyHist mask\n");
}

TEST(ChartRender, SlotPercentShowsAnyUse) {
    EXPECT_EQ(slotPercent(0, 900), 0u);
    EXPECT_EQ(slotPercent(1, 900), 1u);
    EXPECT_EQ(slotPercent(8, 900), 1u);
    EXPECT_EQ(slotPercent(17, 900), 1u);
    EXPECT_EQ(slotPercent(18, 900), 2u);
    EXPECT_EQ(slotPercent(1, 37), 2u);  // short slots: one second is already 2 %
    EXPECT_EQ(slotPercent(37, 37), 100u);
    EXPECT_EQ(slotPercent(2000, 900), 222u);
}

// Expected row from the glyphs of the cells that are not blank.
std::string row(const std::map<std::size_t, std::string>& glyphs) {
    std::string text;
    for (std::size_t cell = 0; cell < chartCells; ++cell) {
        auto it = glyphs.find(cell);
        text += it == glyphs.end() ? " " : it->second;
    }
    return text;
}

TEST(ChartRender, AllZeroShowsTheAxisOnly) {
    const SlotValues values{};
    const ChartRows rows = renderChart(values, chooseChartLayout(24));
    for (const ChartRowText& r : rows)
        EXPECT_EQ(r.view(), "│" + blanks(48));
}

TEST(ChartRender, QuarterHourSlots) {
    SlotValues v{};
    v[0] = 1;           // 1 %: a trace, visible in the bottom row only
    v[3] = 855;         // 95 %: half in the top row, full below
    v[4] = 819;         // 91 %: a trace in the top row
    v[6] = 900;         // 100 %
    v[9] = 2000;        // above 100 % draws full
    v[10] = 450;        // 50 %: full from the 40 % row down
    v[19] = 270;        // 30 %: nothing in the 30 % row
    v[20] = 300;        // 33 %: half in the 30 % row
    v[21] = 279;        // 31 %: a trace there, not drawn above the bottom row
    v[29] = v[30] = 1;  // two traces share a cell
    v[95] = 45;         // 5 %: half a bottom row, in the left half of the last cell
    const ChartRows rows = renderChart(v, chooseChartLayout(24));

    std::vector<std::string> expected;
    for (std::size_t r = 0; r < 10; ++r) {
        std::map<std::size_t, std::string> g{{0, "│"}, {3, "▐"}};
        g[2] = r == 0 ? "▄" : "█";
        g[5] = r <= 4 ? "▌" : "█";
        if (r == 6) g[10] = "▐";
        if (r >= 7) g[10] = "█";
        if (r >= 7) g[11] = "▌";
        if (r == 9) {
            g[0] = "▐";
            g[15] = "▄";
            g[48] = "▌";
        }
        expected.push_back(row(g));
    }
    for (std::size_t r = 0; r < 10; ++r)
        EXPECT_EQ(rows[r].view(), expected[r]) << "row " << r;
}

TEST(ChartRender, HalfAgainstFullAndTraces) {
    SlotValues v{};
    v[1] = 900;  // cell 1: full left, half right in the top row
    v[2] = 837;  // 93 %
    v[3] = 900;  // cell 2: full left, trace right in the top row
    v[4] = 828;  // 92 %
    v[5] = 828;  // cell 3: trace left, half right in the top row
    v[6] = 837;
    v[7] = 18;  // cell 4: 2 % left (half), 1 % right (trace) at the bottom
    v[8] = 9;
    const ChartRows rows = renderChart(v, chooseChartLayout(24));
    EXPECT_EQ(rows[0].view(), row({{0, "│"}, {1, "█"}, {2, "▌"}, {3, "▄"}}));
    EXPECT_EQ(rows[1].view(), row({{0, "│"}, {1, "█"}, {2, "█"}, {3, "█"}}));
    EXPECT_EQ(rows[9].view(), row({{0, "│"}, {1, "█"}, {2, "█"}, {3, "█"}, {4, "▄"}}));
    // The first cell holds the axis unless slot 0 reaches the row.
    v = {};
    v[0] = 900;
    const ChartRows full = renderChart(v, chooseChartLayout(24));
    for (const ChartRowText& r : full)
        EXPECT_EQ(r.view(), "▐" + blanks(48));
}

}  // namespace
}  // namespace rv
