// The rows of address entries: their line in the links statistic table
// (every width form of the session cells, CPS from a million on) and their
// chart row in the sessions history (glyphs, sessions that straddle slot
// boundaries, and the cutting of value, received and sent into 15 columns).
// Expected texts are worked out from the figures by hand. The rows go
// through the report model's LinkRow and the writers the reports use.
#include <gtest/gtest.h>

#include <string>

#include "captured_stream.h"
#include "core/format.h"
#include "core/session_record.h"
#include "ravlog/entry_rows.h"
#include "stats/address_book.h"
#include "stats/chart_layout.h"
#include "stats/link_table_text.h"

namespace rv {
namespace {

using namespace ravlog;

using testing::bufferedText;
using testing::CapturedStream;

constexpr std::uint32_t hours = 3600;

AddrEntry entryAt(FidoAddress pattern) {
    AddrEntry e;
    e.pattern = pattern;
    e.flags = AddrFlags::matched;
    return e;
}

std::string tableRow(const AddrEntry& e, bool asGroup = false) {
    return bufferedText(
        [&](OutBuffer& out) { putLinkRow(out, linkRow(e), ravlogLinkTable(), asGroup); });
}

// The entry's row in the sessions history.
std::string historyRow(const AddrEntry& e, ShowValueMode mode) {
    HistoryItem item;
    item.figures = linkRow(e);
    return bufferedText([&](OutBuffer& out) { putHistoryRow(out, item, mode); });
}

// ─── links statistic table ───────────────────────────────────────────────

TEST(LinkTable, HeaderWithAndWithoutTheProtectedMarker) {
    const std::string common =
        "╔═════════════════╦═══════════════════════════╦═════════╦═════════════╦═══════╗\n"
        "║                 ║      Sessions / Time      ║  Time   ║   Traffic   ║       ║\n"
        "║     Address     ╠═════════════╦═════════════╣ online  ╠══════╦══════╣  CPS  ║\n";
    EXPECT_EQ(
        linkTableHeader(ravlogLinkTable(), false),
        common +
            "║                 ║   Incoming  ║   Outgoing  ║ In+Out  ║ Rcvd ║ Sent ║       ║\n"
            "╠═════════════════╬═══╤═════════╬═══╤═════════╬═════════╬══════╬══════╬═══════╣"
            "\n");
    EXPECT_EQ(
        linkTableHeader(ravlogLinkTable(), true),
        common +
            "║Prot             ║   Incoming  ║   Outgoing  ║ In+Out  ║ Rcvd ║ Sent ║       ║\n"
            "╠│════════════════╬═══╤═════════╬═══╤═════════╬═════════╬══════╬══════╬═══════╣"
            "\n");
}

TEST(LinkTable, EntryWithoutSessionsShowsDashesAndZeros) {
    AddrEntry e = entryAt({2, 5020, 17, 0});
    e.flags = 0;  // kept by KeepAll
    EXPECT_EQ(tableRow(e),
              "║  2:5020/17.0    ║  -│ -:--:-- ║  -│ -:--:-- ║ 0:00:00 ║     0║     0║      0║\n");
}

TEST(LinkTable, ProtectionMarkAndGroupRow) {
    AddrEntry e = entryAt({2, 5020, anyComponent, anyComponent});
    e.flags |= AddrFlags::hasAny | AddrFlags::hasProtected;
    e.sessions = e.sessionsIn = 3;
    e.timeOnline = e.timeIn = e.trafficTime = 3725;  // 1:02:05
    e.bytesReceived = 120000;
    e.bytesSent = 3000;
    // 123000 / 3725 = 33.02
    EXPECT_EQ(tableRow(e),
              "║P 2:5020/*.*     ║  3│ 1:02:05 ║  -│ -:--:-- ║ 1:02:05 ║120000║  3000║     33║\n");
    // A group row never carries the mark, and shows # and * as written.
    AddrEntry g = e;
    g.pattern = {2, 5020, eachComponent, anyComponent};
    EXPECT_EQ(tableRow(g, true),
              "║  2:5020/#.*     ║  3│ 1:02:05 ║  -│ -:--:-- ║ 1:02:05 ║120000║  3000║     33║\n");
}

// The incoming cell in each of its widths; the outgoing cell beside it is
// kept small so that the whole row stays readable.
struct CellCase {
    std::uint64_t count;
    std::uint64_t seconds;
    const char* cell;
};

TEST(LinkTable, SessionCellWidthForms) {
    const CellCase cases[] = {
        {1, 59, "  1│ 0:00:59 ║"},
        {999, 99 * hours + 59 * 60 + 59, "999│99:59:59 ║"},
        {999, 100 * hours, "999│100:00:00║"},
        {1000, 9 * hours + 59 * 60 + 59, "1000 9:59:59 ║"},
        {1234, 12 * hours, "1234 12:00:00║"},
        // A time of three-digit hours leaves the count no blank: thousands.
        {1234, 150 * hours, " 1k│150:00:00║"},
        {9999, 999 * hours + 1, " 9k│999:00:01║"},
        {10000, 5 * hours, "10000 5:00:00║"},
        {12345, 5 * hours, "12345 5:00:00║"},
        // Where the row would lose its closing bar, the count in thousands.
        {12345, 15 * hours, "12k│15:00:00 ║"},
        {123456, 5 * hours, "123k 5:00:00 ║"},
        {12, 1234 * hours, " 12│ 51d10:00║"},
        {1234, 1234 * hours, "1234 51d10:00║"},
    };
    for (const CellCase& c : cases) {
        AddrEntry e = entryAt({2, 5020, 1, 0});
        e.sessions = c.count + 1;
        e.sessionsIn = c.count;
        e.timeIn = c.seconds;
        e.sessionsOut = 1;
        e.timeOut = 1;
        e.timeOnline = 1;  // kept small: only the cells are under test here
        const std::string row = tableRow(e);
        EXPECT_EQ(row, "║  2:5020/1.0     ║" + std::string(c.cell) +
                           "  1│ 0:00:01 ║ 0:00:01 ║     0║     0║      0║\n")
            << c.count << " sessions, " << c.seconds << " s";
    }
    // The outgoing cell follows the same rules.
    AddrEntry e = entryAt({2, 5020, 1, 0});
    e.sessions = e.sessionsOut = 12345;
    e.timeOut = e.timeOnline = 15 * hours;
    EXPECT_EQ(tableRow(e),
              "║  2:5020/1.0     ║  -│ -:--:-- ║12k│15:00:00 ║15:00:00 ║     0║     0║      0║\n");
}

TEST(LinkTable, TimeOnlineFromAHundredHoursAndCpsFromAMillion) {
    AddrEntry e = entryAt({2, 5020, 1, 0});
    e.sessions = e.sessionsIn = 500;
    e.timeIn = e.timeOnline = 123 * hours + 4 * 60 + 5;
    e.trafficTime = 1;  // the byte sum is the CPS
    e.bytesReceived = 999999;
    EXPECT_EQ(tableRow(e),
              "║  2:5020/1.0     ║500│123:04:05║  -│ -:--:-- ║123:04:05║999999║     0║ 999999║\n");
    e.bytesReceived = 1000000;  // 0.95 MiB: the traffic form, one column left of the bar
    EXPECT_EQ(tableRow(e),
              "║  2:5020/1.0     ║500│123:04:05║  -│ -:--:-- ║123:04:05║  0.9M║     0║   0.9M║\n");
    // 2 000 000 bytes over 2 s is exactly a million a second.
    e.bytesReceived = 1000000;
    e.bytesSent = 1000000;
    e.trafficTime = 2;
    EXPECT_EQ(tableRow(e),
              "║  2:5020/1.0     ║500│123:04:05║  -│ -:--:-- ║123:04:05║  0.9M║  0.9M║   0.9M║\n");
    e.trafficTime = 3;  // 666 666
    EXPECT_EQ(tableRow(e),
              "║  2:5020/1.0     ║500│123:04:05║  -│ -:--:-- ║123:04:05║  0.9M║  0.9M║ 666666║\n");
}

// ─── history rows: the figures right of the chart ────────────────────────

struct FigureCase {
    const char* what;
    std::uint64_t sessions;
    std::uint64_t timeOnline;
    std::uint64_t cpsTime;
    std::uint64_t received;
    std::uint64_t sent;
    const char* figures;
};

std::string figures(const FigureCase& c, ShowValueMode mode) {
    AddrEntry e = entryAt({2, 5020, 1, 0});
    e.sessions = c.sessions;
    e.timeOnline = c.timeOnline;
    e.trafficTime = c.cpsTime;
    e.bytesReceived = c.received;
    e.bytesSent = c.sent;
    // The 15 columns before the line end, right of the (empty) chart row.
    const std::string row = historyRow(e, mode);
    return row.substr(row.size() - 16, 15);
}

TEST(HistoryFigures, SessionsCutToFifteenColumns) {
    const FigureCase cases[] = {
        // "     7" keeps 3 columns, "   100" and "    2k" stay whole.
        {"three digits", 7, 60, 60, 100, 2048, "  7   100    2k"},
        {"999 sessions", 999, 60, 60, 100, 2048, "999   100    2k"},
        // "  1234" keeps 4; the blank at position 1 of "   100" goes.
        {"four digits", 1234, 60, 60, 100, 2048, "1234  100    2k"},
        // " 99.9M" has no blank there, so the sent text loses one.
        {"four digits, big received", 1234, 60, 60, 104857599, 2048, "1234 99.9M   2k"},
        {"four digits, both big", 9999, 60, 60, 104857600, 104857599, "9999 100M 99.9M"},
        // Above 9999 the value takes the traffic form: "   12k".
        {"compact value", 12345, 60, 60, 0, 0, "12k     0     0"},
        {"10000 is compact", 10000, 60, 60, 0, 0, " 9k     0     0"},
    };
    for (const FigureCase& c : cases)
        EXPECT_EQ(figures(c, ShowValueMode::ses), c.figures) << c.what;
}

TEST(HistoryFigures, MinutesCutLikeSessions) {
    const FigureCase cases[] = {
        {"whole minutes", 1, 179, 179, 1023, 1024, "  2  1023    1k"},
        {"four digits", 1, 9999 * 60 + 59, 1, 5, 976 * 1024, "9999    5  976k"},
        // 100 000 minutes: 97k in the compact form.
        {"compact value", 1, 6000000, 1, 5, 5, "97k     5     5"},
    };
    for (const FigureCase& c : cases)
        EXPECT_EQ(figures(c, ShowValueMode::time), c.figures) << c.what;
}

TEST(HistoryFigures, CpsAndItsExtraCut) {
    const FigureCase cases[] = {
        // 6000 / 60 = 100: "   100" from position 2, "    3k" from 1.
        {"small", 1, 60, 60, 4000, 2000, " 100   3k    1k"},
        // 50 MiB in 60 s is 853k a second; " 50.0M" has no blank at
        // position 1, so the sent text loses its first column instead.
        {"big received", 1, 60, 60, 52428800, 0, "853k 50.0M    0"},
        // 10 MiB a second and more: the value keeps 5 columns, and one more
        // column goes from the received text where it has a blank at 2 ...
        {"fast, tiny received", 1, 1, 1, 5, 20000000, "19.0M   5 19.0M"},
        // ... else from the sent text.
        {"fast, big received", 1, 1, 1, 52428800, 5, "50.0M 50.0M   5"},
        {"fast, four-digit received", 1, 1, 1, 1023, 20000000, "19.0M 102319.0M"},
    };
    for (const FigureCase& c : cases)
        EXPECT_EQ(figures(c, ShowValueMode::cps), c.figures) << c.what;
}

// ─── history rows: glyphs and half slots ─────────────────────────────────

// The 24-hour layout: 900-second slots, half a slot is 450 s, grid lines in
// every fourth cell.
class HistoryRows : public ::testing::Test {
  protected:
    const ChartLayout& layout = chooseChartLayout(24);

    // Sessions from s to e (seconds on the chart axis) counted into the
    // entry of 2:5020/100.*, whose whole history row line is returned.
    std::string rowOf(std::initializer_list<std::pair<std::uint64_t, std::uint64_t>> spans,
                      ShowValueMode mode = ShowValueMode::ses) {
        AddrSpec addr;
        addr.pattern = {2, 5020, 100, anyComponent};
        addr.flags = AddrFlags::hasAny;
        AddressBook book({addr}, &layout);
        for (auto [s, end] : spans) {
            SessionRecord r;
            r.address = {2, 5020, 100, 0};
            r.flags = SessionFlags::incoming | SessionFlags::normal;
            r.duration = static_cast<std::uint32_t>(end - s);
            r.bytesReceived = 1000;
            r.bytesSent = 3000;
            MatchContext at;
            at.axisStart = s;
            at.axisEnd = end;
            book.matchSession(r, at);
        }
        return historyRow(book.entries().front(), mode);
    }
};

// 12 grid cells of four: "│" then three blanks, and the closing "│".
const std::string emptyGrid = "│   │   │   │   │   │   │   │   │   │   │   │   │";
const std::size_t groupBytes = std::string("│   ").size();

// A row whose first group of four cells (or first two groups) is given.
std::string grid(const std::string& firstGroups, std::size_t groups = 1) {
    return firstGroups + emptyGrid.substr(groups * groupBytes);
}

TEST_F(HistoryRows, OneSessionWithinASlot) {
    // 1000..1300 lies in slot 1 only: the left half of cell 1.
    EXPECT_EQ(rowOf({{1000, 1300}}),
              "2:5020/100.*   │▌  │   │   │   │   │   │   │   │   │   │   │   │  1  1000    2k\n");
    // Slot 0 is the right half of cell 0, which replaces the axis line.
    EXPECT_EQ(rowOf({{0, 10}}),
              "2:5020/100.*   ▐   │   │   │   │   │   │   │   │   │   │   │   │  1  1000    2k\n");
    // Slot 95 is the left half of cell 48; 800 s in it and 100 s past the
    // chart's end: the slot after it would not count even if it existed.
    EXPECT_EQ(rowOf({{85600, 86500}}),
              "2:5020/100.*   │   │   │   │   │   │   │   │   │   │   │   │   ▌  1  1000    2k\n");
}

TEST_F(HistoryRows, SessionsThatStraddleSlotBoundaries) {
    // Slot 1 is [900, 1800), slot 2 [1800, 2700), slot 3 [2700, 3600),
    // slot 4 [3600, 4500); cell 1 holds slots 1 and 2, cell 2 slots 3 and 4.
    struct Case {
        const char* what;
        std::uint64_t s, e;
        std::string cells;
    };
    const Case cases[] = {
        {"800 s in the first slot, 200 in the next: the first", 1000, 2000, grid("│▌  ")},
        {"100 s in the first slot, 600 in the next: the next", 1700, 2400, grid("│▐  ")},
        {"300 and 300, neighbours: the head stays on a tie", 1500, 2100, grid("│▌  ")},
        {"200 and 300, neighbours: the tail wins", 1600, 2100, grid("│▐  ")},
        {"200 and 100 around a full slot, together short: the middle only", 1600, 2800,
         grid("│▐  ")},
        {"300 and 200 around a full slot, together half: the tail goes", 1500, 2900, grid("│█  ")},
        {"both ends at least half: all three", 1000, 3200, grid("│█▌ ")},
        {"100 and 100 around two full slots: the full slots", 2600, 4600, grid("│ █ ")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rowOf({{c.s, c.e}}), "2:5020/100.*   " + c.cells + "  1  1000    2k\n") << c.what;
    }
}

TEST_F(HistoryRows, HalvesOfOneCellCombine) {
    // Slot 1 (left half of cell 1) from one session, slot 2 (right half) from
    // another; 2000 bytes received show as "    1k".
    EXPECT_EQ(rowOf({{900, 1000}, {2000, 2100}}),
              "2:5020/100.*   " + grid("│█  ") + "  2    1k    5k\n");
    // Slot 8 lies on a grid cell: its mark replaces the line; slot 7 joins it.
    EXPECT_EQ(rowOf({{7300, 7400}, {6400, 6500}}),
              "2:5020/100.*   " + grid("│   █   ", 2) + "  2    1k    5k\n");
}

}  // namespace
}  // namespace rv
