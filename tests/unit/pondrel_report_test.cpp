// pondrel's table rows, one cell form at a time, and the drawing sets.
// Whole reports are compared in tests/program/pondrel_reports_test.cpp.
#include <gtest/gtest.h>

#include <string>

#include "captured_stream.h"
#include "core/drawing_set.h"
#include "core/format.h"
#include "core/session_kind.h"
#include "core/utf8_text.h"
#include "stats/link_rows.h"
#include "stats/link_table_text.h"

namespace rv::pondrel {
namespace {

using testing::bufferedText;

constexpr std::uint64_t hours = 3600;

std::string repeat(const std::string& piece, int n) {
    std::string text;
    for (int i = 0; i < n; ++i)
        text += piece;
    return text;
}

AddrEntry entryFor(std::int16_t zone, std::int16_t net, std::int16_t node, std::int16_t point) {
    AddrEntry e;
    e.pattern = {zone, net, node, point};
    return e;
}

// The entry's row as pondrel's table writes it.
std::string row(const AddrEntry& e, bool ascii = false) {
    return bufferedText([&](OutBuffer& out) {
        putLinkRow(out, linkRow(e), pondrelLinkTable(drawingSet(ascii)), false);
    });
}

// The row with the entry's counters in the In cell; the rest of the row as
// for one incoming session of that length without traffic.
std::string incomingCell(std::uint64_t sessions, std::uint64_t seconds) {
    AddrEntry e = entryFor(2, 4500, 17, 0);
    e.sessionsIn = sessions;
    e.timeIn = seconds;
    const std::string text = row(e);
    const std::string lead = "║ 2:4500/17.0   ║";
    EXPECT_EQ(text.substr(0, lead.size()), lead);
    const std::size_t end = text.find("   -│ -:--:-- ║", lead.size());
    return text.substr(lead.size(), end - lead.size());
}

TEST(PondrelRow, EntryWithoutSessions) {
    const AddrEntry e = entryFor(2, 4500, 17, 0);
    EXPECT_EQ(row(e),
              "║ 2:4500/17.0   ║   -│ -:--:-- ║   -│ -:--:-- ║ 0:00:00 ║     0║     0║      0║\n");
    EXPECT_EQ(row(e, true),
              "| 2:4500/17.0   |   -| -:--:-- |   -| -:--:-- | 0:00:00 |     0|     0|      0|\n");
}

TEST(PondrelRow, SessionCellForms) {
    // Up to 9999 sessions the count has its own four columns and a bar.
    EXPECT_EQ(incomingCell(12, 5 * hours + 3 * 60 + 7), "  12│ 5:03:07 ║");
    EXPECT_EQ(incomingCell(1, 0), "   1│ 0:00:00 ║");
    EXPECT_EQ(incomingCell(9999, 99 * hours + 59 * 60 + 59), "9999│99:59:59 ║");
    EXPECT_EQ(incomingCell(12, 100 * hours), "  12│100:00:00║");
    EXPECT_EQ(incomingCell(12, 150 * hours), "  12│150:00:00║");
    EXPECT_EQ(incomingCell(12, 999 * hours + 59 * 60 + 59), "  12│999:59:59║");
    // Past 999 hours in days, hours and minutes.
    EXPECT_EQ(incomingCell(12, 1234 * hours), "  12│ 51d10:00║");
    // From 10000 on the count takes the bar's place.
    EXPECT_EQ(incomingCell(10000, 9 * hours + 59 * 60 + 59), "10000 9:59:59 ║");
    EXPECT_EQ(incomingCell(10000, 10 * hours), "10000 10:00:00║");
    // A time that leaves no blank keeps its form; the count goes into thousands.
    EXPECT_EQ(incomingCell(12345, 150 * hours), " 12k│150:00:00║");
    EXPECT_EQ(incomingCell(65535, 99 * hours), "65535 99:00:00║");
    // Beyond 16 bits the count shows whole while it fits, else in thousands.
    EXPECT_EQ(incomingCell(65536, 5 * hours), "65536 5:00:00 ║");
    EXPECT_EQ(incomingCell(123456, 2000 * hours), "123k│ 83d08:00║");
}

TEST(PondrelRow, OutgoingCellAndTimeOnlineForms) {
    AddrEntry e = entryFor(2, 4500, 17, 0);
    e.sessionsOut = 3;
    e.timeOut = 45;
    e.timeOnline = 99 * hours + 59 * 60 + 59;
    EXPECT_EQ(row(e),
              "║ 2:4500/17.0   ║   -│ -:--:-- ║   3│ 0:00:45 ║99:59:59 ║     0║     0║      0║\n");
    e.timeOnline = 100 * hours;
    EXPECT_EQ(row(e),
              "║ 2:4500/17.0   ║   -│ -:--:-- ║   3│ 0:00:45 ║100:00:00║     0║     0║      0║\n");
    e.timeOnline = 999 * hours + 59 * 60 + 59;
    EXPECT_EQ(row(e),
              "║ 2:4500/17.0   ║   -│ -:--:-- ║   3│ 0:00:45 ║999:59:59║     0║     0║      0║\n");
    // Above 999 hours in days, hours and minutes.
    e.timeOnline = 1000 * hours + 61;
    EXPECT_EQ(row(e),
              "║ 2:4500/17.0   ║   -│ -:--:-- ║   3│ 0:00:45 ║ 41d16:01║     0║     0║      0║\n");
}

TEST(PondrelRow, TrafficAndCps) {
    AddrEntry e = entryFor(2, 4500, 17, 0);
    e.sessionsIn = 2;
    e.timeIn = 100;
    e.timeOnline = 100;
    e.bytesReceived = 999999;
    e.bytesSent = 1048576;
    e.trafficTime = 100;
    // 2048575 / 100 = 20485
    EXPECT_EQ(row(e, true),
              "| 2:4500/17.0   |   2| 0:01:40 |   -| -:--:-- | 0:01:40 |999999|  1.0M|  20485|\n");
    // A CPS of a million and more shows in MiB: 3000000 bytes in 1 second.
    e.bytesReceived = 3000000;
    e.bytesSent = 0;
    e.trafficTime = 1;
    EXPECT_EQ(row(e, true),
              "| 2:4500/17.0   |   2| 0:01:40 |   -| -:--:-- | 0:01:40 |  2.8M|     0|   2.8M|\n");
    // trafficTime 0 (no session moved bytes): the byte sum itself.
    e.bytesReceived = 0;
    e.bytesSent = 0;
    e.trafficTime = 0;
    EXPECT_EQ(row(e, true).substr(57), "     0|     0|      0|\n");
    // Above 4 GiB the sums print their true MiB.
    e.bytesReceived = 7000000000;  // 6675.7 MiB
    e.bytesSent = 1048576000;      // exactly 1000 MiB
    e.trafficTime = 4;             // (7000000000 + 1048576000) / 4 = 2012144000 = 1918.9 MiB
    EXPECT_EQ(row(e, true).substr(57), " 6675M| 1000M|  1918M|\n");
}

TEST(PondrelRow, AddressColumn) {
    AddrEntry e = entryFor(2, 4500, 1234, 567);  // 15 characters: the zone goes
    EXPECT_EQ(row(e, true).substr(0, 17), "| 4500/1234.567 |");
    e.pattern = {2, 4500, 1234, 56};  // 14 characters fit
    EXPECT_EQ(row(e, true).substr(0, 17), "| 2:4500/1234.56|");
    e.pattern = {21, 4500, 1234, 5678};  // 14 characters without the zone
    EXPECT_EQ(row(e, true).substr(0, 17), "| 4500/1234.5678|");
    e.pattern = {21, 4500, 12345, 5678};  // still too long without the zone: cut
    EXPECT_EQ(row(e, true).substr(0, 17), "| 4500/12345.567|");
    e.pattern = {2, 5020, -2, -1};
    EXPECT_EQ(row(e, true).substr(0, 17), "| 2:5020/#.*    |");
    e.pattern = {-1, -1, -1, -1};
    EXPECT_EQ(row(e, true).substr(0, 17), "| *:*/*.*       |");
}

// The event names fit the address column: every event row is as wide as
// the table, in both drawing sets.
TEST(PondrelRow, KindEntryKeepsTheTableWidth) {
    for (const SessionKind& kind : sessionKinds) {
        AddrEntry e;
        e.pattern = eventKeyAddress(kind);
        e.flags = kind.entryFlag;
        e.timeOnline = 30;
        std::string name(kind.displayText.substr(0, 8));
        while (name.back() == ' ')
            name.pop_back();
        const std::string cell = name + std::string(14 - name.size(), ' ');
        EXPECT_EQ(row(e, true),
                  "| " + cell + "|   -| -:--:-- |   -| -:--:-- | 0:00:30 |     0|     0|      0|\n")
            << name;
        EXPECT_EQ(displayWidth(row(e, false)), 80u) << name;  // 79 and the newline
    }
}

TEST(PondrelDrawing, FramePiecesOfBothSets) {
    const DrawingSet& u = drawingSet(false);
    EXPECT_STREQ(u.outerBar, "║");
    EXPECT_STREQ(u.innerBar, "│");
    EXPECT_EQ(titleBox(u, 0, " Links Statistic "),
              "┌" + repeat("─", 47) + "┐\n│ ░░░▒▒▒▓▓▓███   Links Statistic   ███▓▓▓▒▒▒░░░ │\n└" +
                  repeat("─", 47) + "┘");
    EXPECT_STREQ(u.headingLeft, "│ ░░░▒▒▒▓▓▓███  ");
    EXPECT_STREQ(u.headingRight, "  ███▓▓▓▒▒▒░░░ │\n");
    EXPECT_EQ(u.boxTop,
              "┌" + repeat("─", 26) + "┬" + repeat("─", 23) + "┬" + repeat("─", 26) + "┐\n");
    EXPECT_EQ(u.boxBottom,
              "└" + repeat("─", 26) + "┴" + repeat("─", 23) + "┴" + repeat("─", 26) + "┘\n");

    const DrawingSet& a = drawingSet(true);
    EXPECT_STREQ(a.outerBar, "|");
    EXPECT_STREQ(a.innerBar, "|");
    const std::string asciiTop = "+" + repeat("-", 47) + "+";
    EXPECT_EQ(titleBox(a, 0, " Links Statistic "),
              asciiTop + "\n| ############   Links Statistic   ############ |\n" + asciiTop);
    EXPECT_STREQ(a.headingLeft, "| ############  ");
    EXPECT_STREQ(a.headingRight, "  ############ |\n");
    EXPECT_EQ(linkTableBottom(pondrelLinkTable(a)), "+" + repeat("=", 77) + "+\n");
    EXPECT_EQ(a.boxTop, "+" + repeat("-", 77) + "+\n");
    EXPECT_EQ(a.boxBottom, a.boxTop);
}

}  // namespace
}  // namespace rv::pondrel
