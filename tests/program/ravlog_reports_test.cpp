// The links statistic file and the sessions history file: headings for one
// and for many lines, the MiddLine forms, the group section, the totals
// box, event entries, and whole reports of a small node written by the
// built program. Histories come from histgen record lists; every expected
// text was worked out from the records by hand. Only the "created at"
// times vary from run to run; they are compared by their form.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "captured_stream.h"
#include "core/byte_source.h"
#include "core/program_text.h"
#include "history_files.h"
#include "ravlog/ravlog_run.h"
#include "report_texts.h"
#include "run_program.h"
#include "same_text.h"
#include "scratch_dir.h"
#include "time_zone_scope.h"
#include "tools/history_writer.h"
#include "tools/record_list.h"

namespace rv {
namespace {

using testing::sameText;

using testing::CapturedStream;
using testing::historyBytes;
using testing::maskCreationTimes;
using testing::ProgramResult;
using testing::ScratchDir;

std::string sp(std::size_t n) {
    return std::string(n, ' ');
}
std::string repeat(std::string_view piece, std::size_t n) {
    std::string text;
    for (std::size_t i = 0; i < n; ++i)
        text += piece;
    return text;
}

// ─── texts shared by the reports ─────────────────────────────────────────

const std::string b15 = sp(15);
const std::string boxTop = "┌" + repeat("─", 47);
const std::string boxLeft = "│ ░░░▒▒▒▓▓▓███  ";
const std::string boxRight = "  ███▓▓▓▒▒▒░░░ │\n";
const std::string boxBottom = "└" + repeat("─", 47);
const std::string period = "From 0:00:00 to 23:59:59, 05 March 2024, Tuesday\n\n";
const std::string tableBottom =
    "╚═════════════════╩═══╧═════════╩═══╧═════════╩═════════╩══════╩══════╩═══════╝";

std::string linkTableHeader(bool prot) {
    return std::string(
               "╔═════════════════╦═══════════════════════════╦═════════╦═════════════╦═══════╗\n"
               "║                 ║      Sessions / Time      ║  Time   ║   Traffic   ║       ║\n"
               "║     Address     ╠═════════════╦═════════════╣ online  ╠══════╦══════╣  CPS  ║\n"
               "║") +
           (prot ? "Prot" : "    ") +
           "             ║   Incoming  ║   Outgoing  ║ In+Out  ║ Rcvd ║ Sent ║       ║\n"
           "╠" +
           (prot ? "│" : "═") +
           "════════════════╬═══╤═════════╬═══╤═════════╬═════════╬══════╬══════╬═══════╣\n";
}

std::string linksHeading() {
    return "\n" + b15 + boxTop + "┐\n" + b15 + boxLeft + " Links Statistic " + boxRight + b15 +
           boxBottom + "┘\n\n" + b15 + period;
}
std::string groupHeading() {
    return tableBottom + "\n\n" + b15 + boxTop + "┐\n" + b15 + boxLeft + " Group Statistic " +
           boxRight + b15 + boxBottom + "┘\n\n" + linkTableHeader(false);
}
std::string oneLineHistoryHeading() {
    return "\n" + b15 + boxTop + "┐\n" + b15 + boxLeft + "Sessions  History" + boxRight + b15 +
           boxBottom + "┘\n\n" + b15 + period;
}
std::string summaryHeading(int lines) {
    const std::string x = lines > 9 ? "─" : "";
    return "\n      " + boxTop + repeat("─", 19) + x + "┐\n      " + boxLeft +
           "Summary Sessions History for " + std::to_string(lines) + " lines" + boxRight +
           "      " + boxBottom + repeat("─", 19) + x + "┘\n\n" + b15 + period;
}

// The 24-hour chart: labels every two hours, quarter-hour slots.
const std::string labels24 = "               0   2   4   6   8  10  12  14  16  18  20  22  24";
const std::string middleLine = "├───┼───┼───┼───┼───┼───┼───┼───┼───┼───┼───┼───┤";
const std::string historyHeader =
    labels24 + "\n" + b15 + "├─┴─┼─┴─┼─┴─┼─┴─┼─┴─┼─┴─┼─┴─┼─┴─┼─┴─┼─┴─┼─┴─┼─┴─┤Ses  Rcvd  Sent\n";
const std::string historyFooter =
    "├─┬─┼─┬─┼─┬─┼─┬─┼─┬─┼─┬─┼─┬─┼─┬─┼─┬─┼─┬─┼─┬─┼─┬─┤\n" + labels24 + "\n\n";
const std::string groupsHistory = sp(33) + "Groups History\n\n";

// An empty history row with some cells marked; grid lines every four
// cells on the 24-hour chart, every six on the 8-hour one.
std::string historyCells(const std::map<int, std::string>& marks, int gridStep = 4) {
    std::string row;
    for (int cell = 0; cell < 49; ++cell) {
        const auto it = marks.find(cell);
        row += it != marks.end() ? it->second : cell % gridStep == 0 ? "│" : " ";
    }
    return row;
}

const std::string totalsTop =
    "┌──────────────────────────┬───────────────────────┬──────────────────────────┐\n";
const std::string totalsSeparator =
    "├──────────────────────────┼───────────────────────┼──────────────────────────┤\n";
const std::string totalsBottom =
    "└──────────────────────────┴───────────────────────┴──────────────────────────┘\n";

std::string footer(const char* report) {
    return std::string(report) + " created at <time>\n" + std::string(creditLine) + "\n";
}

// The text between the first occurrence of `from` and the next `to` (or the end).
std::string between(const std::string& text, const std::string& from, const std::string& to) {
    const std::size_t start = text.find(from);
    if (start == std::string::npos) return {};
    const std::size_t end = text.find(to, start + from.size());
    return text.substr(start, end == std::string::npos ? end : end - start);
}

// ─── runs in this process, over histories in memory ──────────────────────

class ReportRun : public ::testing::Test {
  protected:
    struct Reports {
        Stop stop;
        std::string links;    // creation times masked
        std::string history;  // creation times masked
        std::string sessions;
        std::string err;
    };

    void addHistory(const std::string& name, HistoryType type, const std::string& list) {
        opener.add(name, historyBytes(type, list));
    }

    Reports run(const std::string& config) {
        opener.add("ravlog.ctl", histgen::Bytes(config.begin(), config.end()));
        CapturedStream out, err;
        Reports reports;
        {
            ravlog::Run ravlog(std::time(nullptr), out.get(), err.get());
            const std::vector<std::string> args = {"-cravlog.ctl", "-o" + dir.file("ravlog.out"),
                                                   "-l" + dir.file("ravlog.lnk"),
                                                   "-e" + dir.file("ravlog.ses"), "-d5.3.2024"};
            const std::vector<std::string_view> views(args.begin(), args.end());
            reports.stop = runRavlog(ravlog, views, opener);
        }  // the reports are closed here
        reports.links = maskCreationTimes(testing::slurp(dir.file("ravlog.lnk")));
        reports.history = maskCreationTimes(testing::slurp(dir.file("ravlog.out")));
        reports.sessions = testing::slurp(dir.file("ravlog.ses"));
        reports.err = err.text();
        return reports;
    }

    testing::TimeZoneScope zone{"UTC0"};
    ScratchDir dir;
    MemoryOpener opener;
};

// Two sessions of 2:5020: node 100 fills slot 0, node 200 slot 4 (01:00).
const char* const twoNodes =
    "2:5020/100 2024-03-05T00:00:00 dur=900 rcvd=100 sent=200 flags=0x05\n"
    "2:5020/200 2024-03-05T01:00:00 dur=900 flags=0x06\n";
const std::string nodeRow100 = "2:5020/100.*   " + historyCells({{0, "▐"}}) + "  1   100   200\n";
const std::string nodeRow200 = "2:5020/200.*   " + historyCells({{2, "▐"}}) + "  1     0     0\n";

TEST_F(ReportRun, HeadingsOfOneLine) {
    addHistory("a.his", HistoryType::plain28, twoNodes);
    const Reports r = run("[COMMON]\nAddr 2:5020/*\n[LINE]\nHistory a.his\n");
    ASSERT_FALSE(r.stop) << r.stop->message;
    EXPECT_TRUE(sameText(r.links.substr(0, r.links.find("║  2:5020")),
                         linksHeading() + linkTableHeader(false)));
    EXPECT_TRUE(sameText(r.history.substr(0, r.history.find(labels24)), oneLineHistoryHeading()));
}

TEST_F(ReportRun, SummaryHeadingCountsTheOpenedLines) {
    std::string config = "[COMMON]\nAddr 2:5020/*\n";
    for (int i = 1; i <= 12; ++i) {
        const std::string name = "h" + std::to_string(i) + ".his";
        addHistory(name, HistoryType::plain28,
                   "2:5020/100 2024-03-05T00:00:00 dur=60 rcvd=1 sent=1 flags=0x05\n");
        config += "[LINE]\nHistory " + name + "\n";
        if (i == 9 || i == 10) {
            // Ten lines and more: both rules one "─" longer.
            const Reports r = run(config);
            EXPECT_TRUE(sameText(r.history.substr(0, r.history.find(labels24)), summaryHeading(i)));
        }
        if (i == 2) {
            const Reports r = run(config);
            EXPECT_TRUE(sameText(r.history.substr(0, r.history.find(labels24)), summaryHeading(2)));
            // A third line whose history is missing leaves the count at two.
            const Reports withMissing = run(config + "[LINE]\nHistory missing.his\n");
            EXPECT_TRUE(sameText(withMissing.history.substr(0, withMissing.history.find(labels24)),
                                 summaryHeading(2)));
            EXPECT_EQ(withMissing.err, "Can\'t open missing.his: No such file or directory\n");
        }
    }
    const Reports r = run(config);
    EXPECT_TRUE(sameText(r.history.substr(0, r.history.find(labels24)), summaryHeading(12)));
    // Two configured lines of which one opened: the heading of one line.
    const Reports one =
        run("[COMMON]\nAddr 2:5020/*\n[LINE]\nHistory missing.his\n[LINE]\nHistory h1.his\n");
    EXPECT_TRUE(
        sameText(one.history.substr(0, one.history.find(labels24)), oneLineHistoryHeading()));
}

TEST_F(ReportRun, MiddLineYesWritesLabelsBeforeSeparators) {
    addHistory("a.his", HistoryType::plain28, twoNodes);
    const Reports r =
        run("[COMMON]\nMiddLine Yes\nGroup Yes\nAddr 2:5020/100 \"Uplink\"\n"
            "Addr 2:5020/200 \"Hub\"\n[LINE]\nHistory a.his\n");
    // The last label stands before the first line of the footer.
    EXPECT_TRUE(sameText(between(r.history, labels24, totalsTop),
                         historyHeader + nodeRow100 + "Uplink         " + middleLine + "\n" +
                             nodeRow200 + "Hub            " + historyFooter));
    // Group is on, but there is no group to show.
    EXPECT_EQ(r.history.find("Groups History"), std::string::npos);
    EXPECT_EQ(r.links.find("Group Statistic"), std::string::npos);
}

TEST_F(ReportRun, MiddLineNoWritesRowsOnly) {
    addHistory("a.his", HistoryType::plain28, twoNodes);
    const Reports r =
        run("[COMMON]\nMiddLine No\nAddr 2:5020/100 \"Uplink\"\nAddr 2:5020/200 \"Hub\"\n"
            "[LINE]\nHistory a.his\n");
    EXPECT_TRUE(sameText(between(r.history, labels24, totalsTop),
                         historyHeader + nodeRow100 + nodeRow200 + b15 + historyFooter));
}

// Node 100 in slot 0, node 2:5030/7 in slot 2 (a group member), node 200 in slot 4.
const char* const groupDay =
    "2:5020/100 2024-03-05T00:00:00 dur=900 rcvd=9000 sent=900 flags=0x05\n"
    "2:5030/7 2024-03-05T00:30:00 dur=900 rcvd=45000 flags=0x05\n"
    "2:5020/200 2024-03-05T01:00:00 dur=900 flags=0x06\n";
const std::string groupRow100 = "2:5020/100.*   " + historyCells({{0, "▐"}}) + "  1    8k   900\n";
const std::string groupRow7 = "2:5030/7.*     " + historyCells({{1, "▐"}}) + "  1   43k     0\n";

TEST_F(ReportRun, MiddLineGroupSeparatesMatchedGroupsFromLinksBeforeThem) {
    addHistory("a.his", HistoryType::plain28, groupDay);
    const Reports r =
        run("[COMMON]\nMiddLine Group\nGroup Yes\nAddr 2:5020/100 \"Uplink\"\n"
            "Addr 2:5030/# \"Net 5030\"\nAddr 2:5020/200 \"Hub\"\n[LINE]\nHistory a.his\n");
    ASSERT_FALSE(r.stop) << r.stop->message;
    EXPECT_TRUE(sameText(between(r.history, labels24, groupsHistory),
                         historyHeader + groupRow100 + b15 + middleLine + "\n" + groupRow7 +
                             nodeRow200 + b15 + historyFooter));
    // In the group section a label follows every row, the last one before the footer.
    EXPECT_TRUE(sameText(between(r.history, groupsHistory, totalsTop),
                         groupsHistory + historyHeader + "2:5030/#.*     " +
                             historyCells({{1, "▐"}}) + "  1   43k     0\n" + "Net 5030       " +
                             historyFooter));

    // A group ahead of every link gets no separator.
    const Reports first =
        run("[COMMON]\nMiddLine Group\nAddr 2:5030/#\nAddr 2:5020/100\nAddr 2:5020/200\n"
            "[LINE]\nHistory a.his\n");
    EXPECT_TRUE(
        sameText(between(first.history, labels24, totalsTop),
                 historyHeader + groupRow7 + groupRow100 + nodeRow200 + b15 + historyFooter));

    // Nor does a group that matched nothing, though KeepAll prints it.
    const Reports kept =
        run("[COMMON]\nMiddLine Group\nKeepAll Yes\nAddr 2:5020/100\nAddr 2:5040/#\n"
            "Addr 2:5020/200\n[LINE]\nHistory a.his\n");
    EXPECT_TRUE(sameText(between(kept.history, labels24, totalsTop),
                         historyHeader + groupRow100 + nodeRow200 + b15 + historyFooter));
}

TEST_F(ReportRun, GroupSectionWithMiddLineYes) {
    addHistory("a.his", HistoryType::plain28,
               "2:5030/7 2024-03-05T00:30:00 dur=900 flags=0x05\n"
               "2:5040/9 2024-03-05T01:00:00 dur=900 flags=0x05\n");
    const Reports r =
        run("[COMMON]\nMiddLine Yes\nGroup Yes\nAddr 2:5030/# \"Net 5030\"\n"
            "Addr 2:5040/# \"Net 5040\"\n[LINE]\nHistory a.his\n");
    ASSERT_FALSE(r.stop) << r.stop->message;
    EXPECT_TRUE(sameText(between(r.history, groupsHistory, totalsTop),
                         groupsHistory + historyHeader + "2:5030/#.*     " +
                             historyCells({{1, "▐"}}) + "  1     0     0\n" + "Net 5030       " +
                             middleLine + "\n" + "2:5040/#.*     " + historyCells({{2, "▐"}}) +
                             "  1     0     0\n" + "Net 5040       " + historyFooter));
}

TEST_F(ReportRun, WholeReportsWithAGroup) {
    addHistory("a.his", HistoryType::plain28, groupDay);
    const Reports r =
        run("[COMMON]\nMiddLine Group\nGroup Yes\nAddr 2:5020/100 \"Uplink\"\n"
            "Addr 2:5030/# \"Net 5030\"\nAddr 2:5020/200 \"Hub\"\n[LINE]\nHistory a.his\n");
    ASSERT_FALSE(r.stop) << r.stop->message;
    // CPS: 9900 / 900 = 11 and 45000 / 900 = 50; node 200 moved nothing.
    EXPECT_TRUE(sameText(
        r.links,
        linksHeading() + linkTableHeader(false) +
            "║  2:5020/100.*   ║  1│ 0:15:00 ║  -│ -:--:-- ║ 0:15:00 ║  9000║   900║     11║\n"
            "║  2:5030/7.*     ║  1│ 0:15:00 ║  -│ -:--:-- ║ 0:15:00 ║ 45000║     0║     50║\n"
            "║  2:5020/200.*   ║  -│ -:--:-- ║  1│ 0:15:00 ║ 0:15:00 ║     0║     0║      0║\n" +
            groupHeading() +
            "║  2:5030/#.*     ║  1│ 0:15:00 ║  -│ -:--:-- ║ 0:15:00 ║ 45000║     0║     50║\n" +
            tableBottom + "\n\n" + footer("Links Statistic")));
    EXPECT_TRUE(sameText(
        r.history,
        oneLineHistoryHeading() + historyHeader + groupRow100 + b15 + middleLine + "\n" +
            groupRow7 + nodeRow200 + b15 + historyFooter + groupsHistory + historyHeader +
            "2:5030/#.*     " + historyCells({{1, "▐"}}) + "  1   43k     0\n" + "Net 5030       " +
            historyFooter + totalsTop +
            "│ Total Received :   54000 │ Total Ses In  :     2 │ Time In      :   0:30:00 │\n"
            "│ Total Sent     :     900 │ Total Ses Out :     1 │ Time Out     :   0:15:00 │\n"
            "│ Total Traffic  :   54900 │ Total Sessions:     3 │ Time Online  :   0:45:00 │\n" +
            totalsBottom + "\n" + footer("Sessions History")));
}

TEST_F(ReportRun, OnlyGroupsToPrint) {
    addHistory("a.his", HistoryType::plain28,
               "2:9999/1 2024-03-05T00:00:00 dur=60 rcvd=1 sent=1 flags=0x05\n");
    const std::string config =
        "[COMMON]\nKeepAll Yes\nAddr 2:5030/# \"Net 5030\"\n[LINE]\nHistory a.his\n";
    const Reports r = run(config + "[COMMON]\nGroup Yes\n");
    ASSERT_FALSE(r.stop) << r.stop->message;
    // The link table header is followed directly by the group heading.
    EXPECT_TRUE(sameText(
        r.links,
        linksHeading() + linkTableHeader(false) + groupHeading() +
            "║  2:5030/#.*     ║  -│ -:--:-- ║  -│ -:--:-- ║ 0:00:00 ║     0║     0║      0║\n" +
            tableBottom + "\n\n" + footer("Links Statistic")));
    EXPECT_TRUE(sameText(between(r.history, "┘\n\n", totalsTop),
                         "┘\n\n" + b15 + period + groupsHistory + historyHeader +
                             "2:5030/#.*     " + historyCells({}) + "  0     0     0\n" + b15 +
                             historyFooter));

    // Without Group there is nothing to print: no links or history file.
    ASSERT_TRUE(dir.write("ravlog.lnk", std::string("old")));
    const Reports none = run(config);
    ASSERT_TRUE(none.stop);
    EXPECT_EQ(none.stop->status, exitFailure);
    EXPECT_EQ(none.stop->message,
              "No information for selected addresses found. Links/Groups history and statistic "
              "were not created.\n");
    EXPECT_EQ(none.links, "old");
}

// A T-Mail line (type 1) and an Argus-style line (type 6) over 2:5020/100.
void addProtectingLines(MemoryOpener& opener) {
    opener.add("t1.his", historyBytes(HistoryType::long100,
                                      "2:5020/100 2024-03-05T00:00:00 dur=600 rcvd=1000 "
                                      "sent=2000 flags=0x0d\n"
                                      "2:5020/100 2024-03-05T01:00:00 dur=300 rcvd=10 sent=20 "
                                      "flags=0x06\n"));
    // An aborted protected outgoing session and an unprotected incoming one.
    opener.add("t6.his", historyBytes(HistoryType::status64,
                                      "2:5020/100 2024-03-05T02:00:00 dur=1200 rcvd=5000 "
                                      "flags=0x0a\n"
                                      "2:5020/100 2024-03-05T03:00:00 dur=60 rcvd=7 sent=3 "
                                      "flags=0x05\n"));
}

const std::string totalsRows =
    "│ Total Received :    6017 │ Total Ses In  :     2 │ Time In      :   0:11:00 │\n"
    "│ Total Sent     :    2023 │ Total Ses Out :     2 │ Time Out     :   0:25:00 │\n"
    "│ Total Traffic  :    8040 │ Total Sessions:     4 │ Time Online  :   0:36:00 │\n";

TEST_F(ReportRun, TotalsBoxWithProtectSummary) {
    addProtectingLines(opener);
    const std::string lines = "[LINE]\nHistory t1.his\n[LINE]\nHistory t6.his\n";
    const Reports r = run("[COMMON]\nProtectSummary Yes\nAddr 2:5020/*\n" + lines);
    ASSERT_FALSE(r.stop) << r.stop->message;
    EXPECT_TRUE(sameText(
        r.history.substr(r.history.find(totalsTop)),
        totalsTop + totalsRows + totalsSeparator +
            "│ Protected Rcvd :    6000 │ Prot Ses In   :     1 │ Protected In :   0:10:00 │\n"
            "│ Protected Sent :    2000 │ Prot Ses Out  :     1 │ Protected Out:   0:20:00 │\n"
            "│ Protected Total:    8000 │ Prot Ses Total:     2 │ Protected Tot:   0:30:00 │\n" +
            totalsSeparator +
            "│ UnProt Received:      17 │ UnProt Ses In :     1 │ UnProt In    :   0:01:00 │\n"
            "│ UnProt Sent    :      23 │ UnProt Ses Out:     1 │ UnProt Out   :   0:05:00 │\n"
            "│ UnProt Total   :      40 │ UnProt Ses Tot:     2 │ UnProt Total :   0:06:00 │\n" +
            totalsBottom + "\n" + footer("Sessions History")));
    // A protected session was counted: the link table names the column.
    EXPECT_NE(r.links.find(linkTableHeader(true)), std::string::npos);

    const std::string plainBox =
        totalsTop + totalsRows + totalsBottom + "\n" + footer("Sessions History");
    // Without ProtectSummary the box has the totals only.
    const Reports off = run("[COMMON]\nAddr 2:5020/*\n" + lines);
    EXPECT_TRUE(sameText(off.history.substr(off.history.find(totalsTop)), plainBox));
    // So it has when any line, even one whose history is missing, is of
    // a type that keeps no protection.
    const Reports mixed = run("[COMMON]\nProtectSummary Yes\nAddr 2:5020/*\n" + lines +
                              "[LINE]\nHistory missing.his\n");
    EXPECT_TRUE(sameText(mixed.history.substr(mixed.history.find(totalsTop)), plainBox));
}

TEST_F(ReportRun, EventEntriesNeedBrakeSesStatForTheirTableRow) {
    addHistory("brake.his", HistoryType::brake,
               "2:5020/100 2024-03-05T01:00:00 dur=900 rcvd=10 sent=10 flags=0x05\n"
               "ANSWER 2024-03-05T02:00:00 dur=900\n");
    const std::string config = "[COMMON]\nAddr Answer\nAddr 2:5020/*\n[LINE]\nHistory brake.his\n";
    const std::string answerRow =
        "║  Answer         ║  -│ -:--:-- ║  -│ -:--:-- ║ 0:15:00 ║     0║     0║      0║\n";
    const std::string mailRow =
        "║  2:5020/*.*     ║  1│ 0:15:00 ║  -│ -:--:-- ║ 0:15:00 ║    10║    10║      0║\n";
    // 02:00 is slot 8, the right half of cell 4.
    const std::string answerHistory =
        "Answer         " + historyCells({{4, "▐"}}) + "  1     0     0\n";

    const Reports without = run(config);
    ASSERT_FALSE(without.stop) << without.stop->message;
    EXPECT_TRUE(sameText(between(without.links, linkTableHeader(false), tableBottom),
                         linkTableHeader(false) + mailRow));
    EXPECT_NE(without.history.find("\n" + answerHistory), std::string::npos);

    const Reports with = run(config + "[COMMON]\nBrakeSesStat A\n");
    EXPECT_TRUE(sameText(between(with.links, linkTableHeader(false), tableBottom),
                         linkTableHeader(false) + answerRow + mailRow));
    EXPECT_NE(with.history.find("\n" + answerHistory), std::string::npos);
}

// ─── the built program over a small node ─────────────────────────────────

const std::string ravlogPath = testing::builtProgram("ravlog");

// Three lines: a T-Mail history, one that is missing, and a plain one.
const char* const nodeConfig =
    "; a small node\n"
    "[COMMON]\n"
    "BusyHist T$\n"
    "MiddLine Yes\n"
    "Group Yes\n"
    "ProtectSummary Yes   ; the plain line keeps it from showing\n"
    "Addr 2:5020/100 \"Uplink\"\n"
    "Addr 2:5020/# \"Local net\"\n"
    "Addr !2:5030/666\n"
    "Addr 2:5030/*\n"
    "[LINE]\n"
    "History main.his\n"
    "[LINE]\n"
    "History missing.his\n"
    "[LINE]\n"
    "History second.his\n";

const char* const mainHistory =
    // M1: protected, slots 32 and 33 (08:00-08:30).
    "2:5020/100 2024-03-05T08:00:00 dur=1800 rcvd=150000 sent=30000 flags=0x0d\n"
    // M2: a group member, 08:10-08:20 beside M1.
    "2:5020/200 2024-03-05T08:10:00 dur=600 rcvd=5000 sent=1000 flags=0x06\n"
    // M3: aborted, no traffic, slot 48.
    "2:5030/7 2024-03-05T12:00:00 dur=300 flags=0x02\n"
    // M4: excluded: counted nowhere.
    "2:5030/666 2024-03-05T13:00:00 dur=60 rcvd=1 sent=1 flags=0x05\n"
    // M5: from the evening before; its last 600 s fall into slot 0.
    "2:5020/100 2024-03-04T23:55:00 dur=900 rcvd=2048 sent=4096 flags=0x0d\n"
    // After the period.
    "2:5020/100 2024-03-06T00:30:00 dur=60 rcvd=1 sent=1 flags=0x05\n";

const char* const secondHistory =
    // S1: a second group member, slot 80 (20:00).
    "2:5020/201 2024-03-05T20:00:00 dur=450 rcvd=1000000 flags=0x05\n"
    // S2: matches no entry: listed in the session table, counted nowhere.
    "2:9999/1 2024-03-05T21:00:00 dur=60 rcvd=10 sent=10 flags=0x01\n";

TEST(LinksAndHistoryFiles, WholeReportsOfASmallNode) {
    ScratchDir dir;
    ASSERT_TRUE(dir.write("ravlog.ctl", std::string(nodeConfig)));
    ASSERT_TRUE(dir.write("main.his", historyBytes(HistoryType::long100, mainHistory)));
    ASSERT_TRUE(dir.write("second.his", historyBytes(HistoryType::plain28, secondHistory)));
    const ProgramResult result = testing::runProgram(ravlogPath, {"-d5.3.2024"}, dir.path(),
                                                     {std::string("TZ=") + testing::centralEurope});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "Can\'t open missing.his: No such file or directory\n");

    // The sessions statistic file numbers the two lines that opened.
    const std::string sessions = testing::slurp(dir.file("ravlog.ses"));
    EXPECT_NE(sessions.find("\n" + sp(37) + "Line 1\n\n╔"), std::string::npos);
    EXPECT_NE(sessions.find("\n" + sp(37) + "Line 2\n\n╔"), std::string::npos);
    EXPECT_EQ(sessions.find("Line 3"), std::string::npos);

    // Entries: Uplink (M1, M5), the group 2:5020/# (M2, S1) with its members
    // 2:5020/200.* (M2) and 2:5020/201.* (S1), and 2:5030/* (M3).
    const std::string links = maskCreationTimes(testing::slurp(dir.file("ravlog.lnk")));
    EXPECT_TRUE(sameText(
        links,
        linksHeading() + linkTableHeader(true) +
            // 186144 bytes in 2700 s.
            "║P 2:5020/100.*   ║  2│ 0:45:00 ║  -│ -:--:-- ║ 0:45:00 ║152048║ 34096║     68║\n"
            "║  2:5020/200.*   ║  -│ -:--:-- ║  1│ 0:10:00 ║ 0:10:00 ║  5000║  1000║     10║\n"
            "║  2:5020/201.*   ║  1│ 0:07:30 ║  -│ -:--:-- ║ 0:07:30 ║  0.9M║     0║   2222║\n"
            "║  2:5030/*.*     ║  -│ -:--:-- ║  1│ 0:05:00 ║ 0:05:00 ║     0║     0║      0║\n" +
            groupHeading() +
            // 1006000 bytes in 1050 s.
            "║  2:5020/#.*     ║  1│ 0:07:30 ║  1│ 0:10:00 ║ 0:17:30 ║  0.9M║  1000║    958║\n" +
            tableBottom + "\n\n" + footer("Links Statistic")));

    // Line 1: slot 0 at 600 s (66 %), slots 32 and 33 at 1200 s each (M1
    // and M2 overlap: full), slot 48 at 300 s (33 %).
    const std::string rule12 = repeat("─", 12), rule13 = repeat("─", 13);
    const std::string head = "\n           100%┬" + sp(46);
    const std::string bottom =
        "             0%┼─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┐  " + rule13 + "\n";
    const std::string top1 = "│" + sp(15) + "▐▌" + sp(31);
    const std::string mid1 = "▐" + sp(15) + "▐▌" + sp(31);
    const std::string low1 = "▐" + sp(15) + "▐▌" + sp(6) + "▐" + sp(24);
    const std::string line1 = sp(28) + "Line 1 - Busy Histogram\n" +               //
                              head + "    Rcvd:  157048\n" +                       //
                              b15 + top1 + "  Sent:   35096\n" +                   //
                              "   Sessions    " + top1 + "  " + rule13 + "\n" +    //
                              b15 + top1 + "  Average\n" +                         //
                              " Total:     4  " + mid1 + "  CPS:       58\n" +     //
                              " " + rule12 + "  " + mid1 + "  " + rule13 + "\n" +  //
                              " In:        2  " + mid1 + "  Time Online:\n" +      //
                              " Out:       2  " + low1 + "        1:00:00\n" +     //
                              " " + rule12 + "  " + low1 + "  " + rule13 + "\n" +  //
                              " Aborted:   1  " + low1 + "  In:   0:45:00\n" +     //
                              " Protect:   2  " + low1 + "  Out:  0:15:00\n" +     //
                              bottom + labels24 + "  Usage:   4.1%\n\n";  // 3600 of 86400 s
    // Line 3 (the missing line 2 has '$' and nothing to show): slot 80 at 50 %.
    const std::string top3 = "│" + sp(48);
    const std::string low3 = "│" + sp(39) + "▐" + sp(8);
    const std::string line3 = sp(28) + "Line 3 - Busy Histogram\n" +               //
                              head + "    Rcvd:    0.9M\n" +                       //
                              b15 + top3 + "  Sent:       0\n" +                   //
                              "   Sessions    " + top3 + "  " + rule13 + "\n" +    //
                              b15 + top3 + "  Average\n" +                         //
                              " Total:     1  " + top3 + "  CPS:     2222\n" +     //
                              " " + rule12 + "  " + top3 + "  " + rule13 + "\n" +  //
                              " In:        1  " + low3 + "  Time Online:\n" +      //
                              " Out:       0  " + low3 + "        0:07:30\n" +     //
                              " " + rule12 + "  " + low3 + "  " + rule13 + "\n" +  //
                              " Aborted:   0  " + low3 + "  In:   0:07:30\n" +     //
                              b15 + low3 + "  Out:  0:00:00\n" +                   //
                              bottom + labels24 + "  Usage:   0.5%\n\n";           // 450 of 86400 s

    const std::string history = maskCreationTimes(testing::slurp(dir.file("ravlog.out")));
    EXPECT_TRUE(sameText(
        history,
        summaryHeading(2) + historyHeader +                                                   //
            "2:5020/100.*   " + historyCells({{0, "▐"}, {16, "▐"}, {17, "▌"}}) +              //
            "  2  148k   33k\n" +                                                             //
            "Uplink         " + middleLine + "\n" +                                           //
            "2:5020/200.*   " + historyCells({{16, "▐"}}) + "  1    4k  1000\n" +             //
            "Local net      " + middleLine + "\n" +                                           //
            "2:5020/201.*   " + historyCells({{40, "▐"}}) + "  1  0.9M     0\n" +             //
            "Local net      " + middleLine + "\n" +                                           //
            "2:5030/*.*     " + historyCells({{24, "▐"}}) + "  1     0     0\n" +             //
            b15 + historyFooter +                                                             //
            groupsHistory + historyHeader +                                                   //
            "2:5020/#.*     " + historyCells({{16, "▐"}, {40, "▐"}}) + "  2  0.9M  1000\n" +  //
            "Local net      " + historyFooter +                                               //
            line1 + line3 + totalsTop +
            "│ Total Received :    1.1M │ Total Ses In  :     3 │ Time In      :   0:52:30 │\n"
            "│ Total Sent     :   35096 │ Total Ses Out :     2 │ Time Out     :   0:15:00 │\n"
            "│ Total Traffic  :    1.1M │ Total Sessions:     5 │ Time Online  :   1:07:30 │\n" +
            totalsBottom + "\n" + footer("Sessions History")));
}

TEST(LinksAndHistoryFiles, WholeReportsOverMidnight) {
    // 22:00 on the evening before to 06:00: 8 hours, 300-second slots.
    ScratchDir dir;
    ASSERT_TRUE(dir.write("ravlog.ctl",
                          std::string("[COMMON]\nAddr 2:5020/100\n[LINE]\nHistory night.his\n")));
    ASSERT_TRUE(dir.write(
        "night.his",
        historyBytes(HistoryType::plain28,
                     // N1: from before the window: its last 600 s fill slots 0 and 1.
                     "2:5020/100 2024-03-04T21:50:00 dur=1200 rcvd=1000 sent=1000 flags=0x05\n"
                     // N2: slots 6 and 7.
                     "2:5020/100 2024-03-04T22:30:00 dur=600 rcvd=60000 flags=0x05\n"
                     // N3: runs past the window: slot 95, then off the chart.
                     "2:5020/100 2024-03-05T05:55:00 dur=900 sent=90000 flags=0x06\n"
                     // Before the window.
                     "2:5020/100 2024-03-04T21:00:00 dur=600 rcvd=5 sent=5 flags=0x05\n")));
    const ProgramResult result =
        testing::runProgram(ravlogPath, {"-d5.3.2024", "-t22-6", "-sc", "-bT"}, dir.path(),
                            {std::string("TZ=") + testing::centralEurope});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");

    // 18 - 24 / 2 = 6 blanks before both lines.
    const std::string night = b15 + sp(6) + "From: 22:00:00, 04 March 2024, Monday\n" + b15 +
                              sp(6) + "To  :  6:00:00, 05 March 2024, Tuesday\n\n";
    const std::string links = maskCreationTimes(testing::slurp(dir.file("ravlog.lnk")));
    // 152000 bytes in 2700 s.
    EXPECT_TRUE(sameText(
        links,
        "\n" + b15 + boxTop + "┐\n" + b15 + boxLeft + " Links Statistic " + boxRight + b15 +
            boxBottom + "┘\n\n" + night + linkTableHeader(false) +
            "║  2:5020/100.*   ║  2│ 0:30:00 ║  1│ 0:15:00 ║ 0:45:00 ║ 61000║ 91000║     56║\n" +
            tableBottom + "\n\n" + footer("Links Statistic")));

    const std::string labels8 = "              22    23     0     1     2     3     4     5     6";
    const std::string r = "▐▌ ▐▌" + sp(43) + "▌";
    const std::string rule12 = repeat("─", 12), rule13 = repeat("─", 13);
    const std::string history = maskCreationTimes(testing::slurp(dir.file("ravlog.out")));
    EXPECT_TRUE(sameText(
        history,
        "\n" + b15 + boxTop + "┐\n" + b15 + boxLeft + "Sessions  History" + boxRight + b15 +
            boxBottom + "┘\n\n" + night +                                                 //
            labels8 + "\n" + b15 + "├──┴──┼──┴──┼──┴──┼──┴──┼──┴──┼──┴──┼──┴──┼──┴──┤" +  //
            " CPS Rcvd  Sent\n" +                                                         //
            "2:5020/100.*   " +
            historyCells({{0, "▐"}, {1, "▌"}, {3, "▐"}, {4, "▌"}, {48, "▌"}}, 6) +
            "  56  59k   88k\n" +                                                             //
            b15 + "├──┬──┼──┬──┼──┬──┼──┬──┼──┬──┼──┬──┼──┬──┼──┬──┤\n" + labels8 + "\n\n" +  //
            sp(33) + "Busy Histogram\n" +                                                     //
            "\n           100%┬" + sp(46) + "    Rcvd:   61000\n" +                           //
            b15 + r + "  Sent:   91000\n" +                                                   //
            "   Sessions    " + r + "  " + rule13 + "\n" +                                    //
            b15 + r + "  Average\n" +                                                         //
            " Total:     3  " + r + "  CPS:       56\n" +                                     //
            " " + rule12 + "  " + r + "  " + rule13 + "\n" +                                  //
            " In:        2  " + r + "  Time Online:\n" +                                      //
            " Out:       1  " + r + "        0:45:00\n" +                                     //
            " " + rule12 + "  " + r + "  " + rule13 + "\n" +                                  //
            " Aborted:   0  " + r + "  In:   0:30:00\n" +                                     //
            b15 + r + "  Out:  0:15:00\n" +                                                   //
            "             0%┼──┬──┬──┬──┬──┬──┬──┬──┬──┬──┬──┬──┬──┬──┬──┬──┐  " + rule13 + "\n" +
            labels8 + "  Usage:   9.3%\n\n" +  // 2700 of 8 × 3600 s
            totalsTop +
            "│ Total Received :   61000 │ Total Ses In  :     2 │ Time In      :   0:30:00 │\n"
            "│ Total Sent     :   91000 │ Total Ses Out :     1 │ Time Out     :   0:15:00 │\n"
            "│ Total Traffic  :  152000 │ Total Sessions:     3 │ Time Online  :   0:45:00 │\n" +
            totalsBottom + "\n" + footer("Sessions History")));
}

}  // namespace
}  // namespace rv
