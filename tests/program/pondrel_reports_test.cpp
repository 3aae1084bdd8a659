// pondrel as its users meet it: the built program run in a scratch
// directory over histories that histgen writes, its periods and its
// messages and exit status for every way a run ends. Its whole reports of
// the node are expected outputs (tests/expected/pondrel_*).
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "core/program_text.h"
#include "history_files.h"
#include "report_texts.h"
#include "run_program.h"
#include "same_text.h"
#include "scratch_dir.h"
#include "tools/history_writer.h"
#include "tools/record_list.h"

namespace rv {
namespace {

using testing::sameText;

using testing::ProgramResult;
using testing::ScratchDir;
using testing::writeHistory;

const std::string pondrelPath = testing::builtProgram("pondrel");

// The credit line is the suite's own; the rest is fixed.
const std::string& banner = testing::pondrelBanner;
const std::string usage = testing::usageText("pondrel");

const std::string badOptionTail = "\nUse -? or --help to help\n";

// ---- the ASCII pieces of a report --------------------------------------------

const std::string asciiHeadingTop = "+-----------------------------------------------+";
const std::string asciiTableHeader =
    "+=============================================================================+\n"
    "|               |       Sessions / Time       |  Time   |   Traffic   |       |\n"
    "|    Address    |=============================| online  |=============|  CPS  |\n"
    "|               |   Incoming   |   Outgoing   | In+Out  | Rcvd | Sent |       |\n"
    "|===============+==============+==============+=========+======+======+=======|\n";
const std::string asciiTableBottom =
    "+=============================================================================+\n";
const std::string asciiBoxLine =
    "+-----------------------------------------------------------------------------+\n";

std::string asciiHeading(const std::string& title) {
    return "               " + asciiHeadingTop + "\n               | ############   " + title +
           "   ############ |\n               " + asciiHeadingTop + "\n\n";
}

// A whole ASCII report up to the "created at" line: the period texts, the
// link rows, the group rows (no group table when there are none) and the
// three rows of the totals box, each without its newline.
std::string asciiReport(const std::string& from, const std::string& to,
                        const std::vector<std::string>& links,
                        const std::vector<std::string>& groups,
                        const std::vector<std::string>& box) {
    const long pad = 37 - static_cast<long>(std::max(from.size(), to.size()) / 2);
    const std::string blanks(static_cast<std::size_t>(std::max(pad, 0L)), ' ');
    std::string text = "\n" + asciiHeading("Links Statistic") + blanks + "From: " + from + "\n" +
                       blanks + "To  : " + to + "\n\n" + asciiTableHeader;
    for (const std::string& row : links)
        text += row + "\n";
    text += asciiTableBottom + "\n";
    if (!groups.empty()) {
        text += asciiHeading("Group Statistic") + asciiTableHeader;
        for (const std::string& row : groups)
            text += row + "\n";
        text += asciiTableBottom + "\n";
    }
    text += asciiBoxLine;
    for (const std::string& row : box)
        text += row + "\n";
    return text + asciiBoxLine + "\n";
}

// ---- running and comparing ---------------------------------------------------

ProgramResult pondrel(const ScratchDir& dir, const std::vector<std::string>& args,
                      const std::string& zone = "UTC") {
    return testing::runProgram(pondrelPath, args, dir.path(), {"TZ=" + zone});
}

// The report up to its "created at" line equals expected, and the report
// ends with that line (the local time of the run) and a credit line.
::testing::AssertionResult sameReport(const std::string& actual, const std::string& expected) {
    const std::string lead = "Links Statistic created at ";
    const std::size_t at = actual.rfind(lead);
    if (at == std::string::npos)
        return ::testing::AssertionFailure() << "no footer in:\n" << actual;
    if (auto same = sameText(actual.substr(0, at), expected); !same) return same;
    // The creation time, then the credit line, and nothing after it.
    const std::string footer = actual.substr(at + lead.size());
    const std::size_t timeEnd = footer.find('\n');
    const std::size_t creditEnd = footer.find('\n', timeEnd + 1);
    if (timeEnd == std::string::npos || !testing::isCreationTime(footer.substr(0, timeEnd)) ||
        creditEnd == timeEnd + 1 || creditEnd + 1 != footer.size())
        return ::testing::AssertionFailure() << "footer: " << actual.substr(at);
    return ::testing::AssertionSuccess();
}

// ---- the main fixture --------------------------------------------------------

// The node of the expected outputs' pondrel cases (tests/expected/inputs/
// pondrel_*): two lines, mail sessions in a type 2 history and The Brake!
// events, with EXTRACONFIG among the common keywords.
std::string expectedInput(const std::string& name) {
    return testing::slurp(std::string(RV_SOURCE_DIR) + "/tests/expected/inputs/" + name);
}

void writeNode(const ScratchDir& dir, const std::string& extraConfig = "") {
    writeHistory(dir, "a.his", HistoryType::plain28, expectedInput("pondrel_mail.list"));
    writeHistory(dir, "b.his", HistoryType::brake, expectedInput("pondrel_events.list"));
    std::string config = expectedInput("pondrel.ctl");
    config.insert(config.find("[LINE]"), extraConfig);
    ASSERT_TRUE(dir.write("ravlog.ctl", config));
}

// ---- the period ----------------------------------------------------------------

// Six sessions of ten seconds and 100 bytes from 2:5/1 .. 2:5/6, each
// with its own entry: a.his holds /1 to /3, b.his, read after it, /4 to /6
// with earlier times.
void writePeriodNode(const ScratchDir& dir) {
    writeHistory(dir, "a.his", HistoryType::plain28,
                 "2:5/1 2024-03-10T12:00:00 dur=10 rcvd=100 flags=0x05\n"
                 "2:5/2 2024-03-11T12:00:00 dur=10 rcvd=100 flags=0x05\n"
                 "2:5/3 2024-03-11T12:00:01 dur=10 rcvd=100 flags=0x05\n");
    writeHistory(dir, "b.his", HistoryType::plain28,
                 "2:5/4 2024-03-09T06:00:00 dur=10 rcvd=100 flags=0x05\n"
                 "2:5/5 2024-03-10T06:00:00 dur=10 rcvd=100 flags=0x05\n"
                 "2:5/6 2024-03-10T06:00:01 dur=10 rcvd=100 flags=0x05\n");
    ASSERT_TRUE(dir.write("ravlog.ctl",
                          "[COMMON]\nAddr 2:5/1\nAddr 2:5/2\nAddr 2:5/3\nAddr 2:5/4\n"
                          "Addr 2:5/5\nAddr 2:5/6\n"
                          "[LINE]\nHistory a.his\n[LINE]\nHistory b.his\n"));
}

// The report of the period node when the given sessions count.
std::string periodReport(const std::string& from, const std::string& to,
                         const std::vector<int>& nodes) {
    std::vector<std::string> rows;
    for (int node : nodes)
        rows.push_back("| 2:5/" + std::to_string(node) +
                       ".*       |   1| 0:00:10 |   -| -:--:-- | 0:00:10 |   100|     0|     10|");
    const std::string n = std::to_string(nodes.size());
    const std::string bytes = std::to_string(nodes.size() * 100);
    const std::string time = std::to_string(nodes.size() * 10);
    return asciiReport(
        from, to, rows, {},
        {"| Total Received :     " + bytes + " | Sessions In   :     " + n +
             " | Time In     :    0:00:" + time + " |",
         "| Total Sent     :       0 | Sessions Out  :     0 | Time Out    :    0:00:00 |",
         "| Total Traffic  :     " + bytes + " | Sessions Total:     " + n +
             " | Time Online :    0:00:" + time + " |"});
}

// -d without -b: the earliest record met so far opens the period, also
// when a later line holds an earlier record; the ends are inclusive.
TEST(PondrelReportsPeriod, DaysFromTheEarliestRecordAcrossLines) {
    ScratchDir dir;
    writePeriodNode(dir);
    const ProgramResult r = pondrel(dir, {"-u-", "-d1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, banner);
    // /1 opens the period at 10 March 12:00 and /2 ends it exactly; /4 moves
    // the start back to 9 March 06:00, which /5 ends exactly.
    EXPECT_TRUE(sameReport(r.out, periodReport("06:00:00, 09 March 2024, Saturday",
                                               "12:00:00, 11 March 2024, Monday", {1, 2, 4, 5})));
}

TEST(PondrelReportsPeriod, DaysFromTheBegin) {
    ScratchDir dir;
    writePeriodNode(dir);
    const ProgramResult r = pondrel(dir, {"-u-", "-b10.3.2024", "-d1"});
    EXPECT_EQ(r.status, 0);
    // From 10 March 00:00:00 to 11 March 00:00:00.
    EXPECT_TRUE(sameReport(r.out, periodReport("06:00:00, 10 March 2024, Sunday",
                                               "12:00:00, 10 March 2024, Sunday", {1, 5, 6})));
}

TEST(PondrelReportsPeriod, ZeroDaysRemoveTheEndLimit) {
    ScratchDir dir;
    writePeriodNode(dir);
    const ProgramResult r = pondrel(dir, {"-u-", "-b10.3.2024", "-d0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, banner);
    EXPECT_TRUE(
        sameReport(r.out, periodReport("06:00:00, 10 March 2024, Sunday",
                                       "12:00:01, 11 March 2024, Monday", {1, 2, 3, 5, 6})));
}

TEST(PondrelReportsPeriod, EndOverridesDays) {
    ScratchDir dir;
    writePeriodNode(dir);
    const ProgramResult r = pondrel(dir, {"-u-", "-d3", "-e10.3.2024"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, banner + "Ignore option -d3 \n");
    // No begin and no day limit: everything up to 10 March 23:59:59.
    EXPECT_TRUE(sameReport(r.out, periodReport("06:00:00, 09 March 2024, Saturday",
                                               "12:00:00, 10 March 2024, Sunday", {1, 4, 5, 6})));
    // -d0 beside -e is dropped without a word.
    const ProgramResult zero = pondrel(dir, {"-u-", "-e10.3.2024", "-d0"});
    EXPECT_EQ(zero.status, 0);
    EXPECT_EQ(zero.err, banner);
    EXPECT_TRUE(
        sameReport(zero.out, periodReport("06:00:00, 09 March 2024, Saturday",
                                          "12:00:00, 10 March 2024, Sunday", {1, 4, 5, 6})));
}

TEST(PondrelReportsPeriod, BeginAndEndAreInclusive) {
    ScratchDir dir;
    writeHistory(dir, "a.his", HistoryType::plain28,
                 "2:5/1 2024-03-09T23:59:59 dur=10 rcvd=100 flags=0x05\n"
                 "2:5/2 2024-03-10T00:00:00 dur=10 rcvd=100 flags=0x05\n"
                 "2:5/3 2024-03-10T23:59:59 dur=10 rcvd=100 flags=0x05\n"
                 "2:5/4 2024-03-11T00:00:00 dur=10 rcvd=100 flags=0x05\n");
    ASSERT_TRUE(dir.write("ravlog.ctl", "[COMMON]\nAddr 2:5/*\n[LINE]\nHistory a.his\n"));
    const ProgramResult r = pondrel(dir, {"-u-", "-b10.3.2024", "-e10.3.2024"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sameReport(
        r.out,
        asciiReport(
            "00:00:00, 10 March 2024, Sunday", "23:59:59, 10 March 2024, Sunday",
            {"| 2:5/*.*       |   2| 0:00:20 |   -| -:--:-- | 0:00:20 |   200|     0|     10|"}, {},
            {"| Total Received :     200 | Sessions In   :     2 | Time In     :    0:00:20 |",
             "| Total Sent     :       0 | Sessions Out  :     0 | Time Out    :    0:00:00 |",
             "| Total Traffic  :     200 | Sessions Total:     2 | Time Online :    0:00:20 |"})));
}

// The histories hold wall-clock times: read in a zone three hours east of
// UTC they keep their clock, and the line's TimeShift moves them.
TEST(PondrelReportsPeriod, HistoryTimesAreLocalWallClockPlusTheShift) {
    ScratchDir dir;
    writeHistory(dir, "a.his", HistoryType::plain28,
                 "2:5/1 2024-03-09T23:59:59 dur=10 rcvd=100 flags=0x05\n"
                 "2:5/2 2024-03-10T00:00:00 dur=10 rcvd=100 flags=0x05\n");
    writeHistory(dir, "b.his", HistoryType::plain28,
                 "2:5/3 2024-03-09T21:59:59 dur=10 rcvd=100 flags=0x05\n"
                 "2:5/4 2024-03-10T21:59:59 dur=10 rcvd=100 flags=0x05\n");
    ASSERT_TRUE(dir.write("ravlog.ctl",
                          "[COMMON]\nAddr 2:5/*\n[LINE]\nHistory a.his\n"
                          "[LINE]\nHistory b.his\nTimeShift 2\n"));
    const ProgramResult r = pondrel(dir, {"-u-", "-b10.3.2024", "-e10.3.2024"}, "MSK-3");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sameReport(
        r.out,
        asciiReport(
            "00:00:00, 10 March 2024, Sunday", "23:59:59, 10 March 2024, Sunday",
            {"| 2:5/*.*       |   2| 0:00:20 |   -| -:--:-- | 0:00:20 |   200|     0|     10|"}, {},
            {"| Total Received :     200 | Sessions In   :     2 | Time In     :    0:00:20 |",
             "| Total Sent     :       0 | Sessions Out  :     0 | Time Out    :    0:00:00 |",
             "| Total Traffic  :     200 | Sessions Total:     2 | Time Online :    0:00:20 |"})));
}

TEST(PondrelReportsPeriod, DateMessages) {
    ScratchDir dir;
    writeNode(dir);
    ProgramResult r = pondrel(dir, {"-u-", "-b29.2.2023", "-e29.2.2024"});
    EXPECT_EQ(r.status, exitFailure);  // the node's records are in March 2024
    EXPECT_EQ(r.err, banner +
                         "Begin date adjusted to Tue Feb 28 00:00:00 2023\n"
                         "No information for selected date period found.\n");

    r = pondrel(dir, {"-b1.1.99"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, banner + "Invalid begin year: 1.1.99\n");

    r = pondrel(dir, {"-e1.13"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_EQ(r.err, banner + "Invalid end month: 1.13\n");

    // A value that is no date is refused, not read as far as it goes.
    r = pondrel(dir, {"-b3-11-2025"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, banner + "Invalid date: 3-11-2025\n");

    r = pondrel(dir, {"-d-2"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_EQ(r.err, banner + "Invalid days period: -2\n");

    // The day of the month is written with two digits; the check comes
    // before the configuration is read.
    r = pondrel(dir, {"-b5.1.2024", "-e4.1.2024", "-cmissing.ctl"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, banner +
                         "Invalid date period\n"
                         "Begin: Fri Jan 05 00:00:00 2024\n"
                         "End:   Thu Jan 04 23:59:59 2024\n");

    // Without -e the end is the last second a 32-bit clock holds.
    r = pondrel(dir, {"-b1.1.2040"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_EQ(r.err, banner +
                         "Invalid date period\n"
                         "Begin: Sun Jan 01 00:00:00 2040\n"
                         "End:   Tue Jan 19 03:14:07 2038\n");
}

// ---- endings -------------------------------------------------------------------

TEST(PondrelReportsEndings, UsageAndBadOptions) {
    ScratchDir dir;
    for (const char* help : {"--help", "-?", "-h"}) {
        const ProgramResult r = pondrel(dir, {"-u-", help});
        EXPECT_EQ(r.status, 0) << help;
        EXPECT_EQ(r.out, usage) << help;
        EXPECT_EQ(r.err, banner) << help;
    }
    // A blank after -o makes the name an argument of its own.
    ProgramResult r = pondrel(dir, {"-o", "report.txt"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, banner + "Unknown option or invalid value: report.txt" + badOptionTail);
    EXPECT_FALSE(std::filesystem::exists(dir.file("report.txt")));

    for (const char* bad : {"-ux", "-g++", "-kyes", "--helpme", "-v"}) {
        r = pondrel(dir, {bad});
        EXPECT_EQ(r.status, exitFailure) << bad;
        EXPECT_EQ(r.err, banner + "Unknown option or invalid value: " + bad + badOptionTail);
    }
}

TEST(PondrelReportsEndings, ConfigurationAndHistories) {
    ScratchDir dir;
    writeNode(dir);
    ProgramResult r = pondrel(dir, {"-cmissing.ctl"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, banner + "Can\'t open missing.ctl: No such file or directory\n");

    ASSERT_TRUE(dir.write("none.ctl", "[COMMON]\nAddr 2:4500/*\n"));
    r = pondrel(dir, {"-cnone.ctl"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_EQ(r.err, banner + "No history file defined.\n");

    ASSERT_TRUE(dir.write("last.ctl", "[COMMON]\nAddr 2:4500/*\n[LINE]\nHistory a.his\n[LINE]\n"));
    r = pondrel(dir, {"-clast.ctl"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_EQ(r.err, banner + "No history file defined in last [LINE] section\n");

    // A history named by -h is enough; one that cannot be opened is
    // reported and the run goes on.
    r = pondrel(dir, {"-cnone.ctl", "-hmissing.his", "-ha.his", "-u-", "-b7.3.2024"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, banner + "Can\'t open missing.his: No such file or directory\n");
    EXPECT_TRUE(sameReport(
        r.out,
        asciiReport(
            "09:30:00, 07 March 2024, Thursday", "12:00:00, 07 March 2024, Thursday",
            {"| 2:4500/*.*    |   -| -:--:-- |   1| 2:00:00 | 2:00:00 |     0|     0|      0|"}, {},
            {"| Total Received :       0 | Sessions In   :     0 | Time In     :    0:00:00 |",
             "| Total Sent     :       0 | Sessions Out  :     1 | Time Out    :    2:00:00 |",
             "| Total Traffic  :       0 | Sessions Total:     1 | Time Online :    2:00:00 |"})));
}

TEST(PondrelReportsEndings, NothingToReport) {
    ScratchDir dir;
    writeNode(dir);
    ProgramResult r = pondrel(dir, {"-b1.4.2024"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, banner + "No information for selected date period found.\n");

    // Only the dropped records lie after 7 March.
    r = pondrel(dir, {"-b8.3.2024"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_EQ(r.err, banner + "No information for selected date period found.\n");

    // Records in the period, but no entry takes one; nor is the output opened.
    ASSERT_TRUE(
        dir.write("other.ctl", "[COMMON]\nAddr 3:1/1\nAddr !2:4500/99\n[LINE]\nHistory a.his\n"));
    r = pondrel(dir, {"-cother.ctl", "-oreport.txt", "-k-"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_EQ(r.err, banner + "No information for selected addresses found.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("report.txt")));
}

// ---- the output file -----------------------------------------------------------

TEST(PondrelReportsOutput, NameMacrosAndFailures) {
    ScratchDir dir;
    writeNode(dir);
    const auto yearNow = [] {
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        gmtime_r(&now, &tm);
        return std::to_string(tm.tm_year + 1900);
    };
    const std::string yearBefore = yearNow();
    ProgramResult r = pondrel(dir, {"-u-", "-orep%%%Y%q.txt"});
    const std::string yearAfter = yearNow();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, banner + "Skipping invalid filename macros '%q'\n");
    const bool named = std::filesystem::exists(dir.file("rep%" + yearBefore + ".txt")) ||
                       std::filesystem::exists(dir.file("rep%" + yearAfter + ".txt"));
    EXPECT_TRUE(named);

    r = pondrel(dir, {"-onodir/%Y.txt"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_EQ(r.out, "");
    const std::string year = yearNow();
    EXPECT_TRUE(
        r.err == banner + "Can't open nodir/" + year + ".txt: No such file or directory\n" ||
        r.err == banner + "Can't open nodir/" + yearBefore + ".txt: No such file or directory\n")
        << r.err;
}

// ---- a long period on a busy link ------------------------------------------------

// 70,000 incoming sessions of a minute with 100,000 bytes each, and three
// outgoing hours with 2,000,000,000 bytes sent each: more sessions than 16
// bits count and more bytes than 32 bits sum, on one link. Every figure
// prints its true value; the cells widen only then.
TEST(PondrelReportsBusyLink, CountsAndSumsBeyondSixteenAndThirtyTwoBits) {
    ScratchDir dir;
    histgen::HistoryWriter writer(HistoryType::plain28);
    SessionRecord r{};
    r.address = {2, 4500, 17, 0};
    r.flags = 0x06;
    r.duration = 3600;
    r.bytesSent = 2000000000;
    for (int i = 0; i < 3; ++i) {
        r.startTime = histgen::utcSeconds(2023, 12, 31, 10 + i);
        writer.session(r);
    }
    r.flags = 0x05;
    r.duration = 60;
    r.bytesSent = 0;
    r.bytesReceived = 100000;
    const std::uint32_t start = histgen::utcSeconds(2024, 1, 1);
    for (std::uint32_t i = 0; i < 70000; ++i) {
        r.startTime = start + i * 120;
        writer.session(r);
    }
    ASSERT_TRUE(dir.write("busy.his", writer.bytes()));
    ASSERT_TRUE(dir.write("ravlog.ctl", "[COMMON]\nAddr 2:4500/17\n[LINE]\nHistory busy.his\n"));

    const ProgramResult out = pondrel(dir, {"-u-"});
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.err, banner);
    // In: 4,200,000 s; out: 10,800 s; online 4,210,800 s; received
    // 7,000,000,000 bytes (6675 MiB), sent 6,000,000,000 (5722 MiB), CPS
    // 13,000,000,000 / 4,210,800 = 3087.
    EXPECT_TRUE(sameReport(
        out.out,
        asciiReport(
            "10:00:00, 31 December 2023, Sunday", "05:18:00, 07 April 2024, Sunday",
            {"| 2:4500/17.*   |70000 48d14:40|   3| 3:00:00 | 48d17:40| 6675M| 5722M|   3087|"}, {},
            {"| Total Received :   6675M | Sessions In   : 70000 | Time In     : 1166:40:00 |",
             "| Total Sent     :   5722M | Sessions Out  :     3 | Time Out    :    3:00:00 |",
             "| Total Traffic  :  12397M | Sessions Total: 70003 | Time Online : 1169:40:00 |"})));
}

// ---- values that must be read whole ------------------------------------------------

// Every value below was once read as something else than written: brimsel's
// -a and pondrel's -d refuse such a value, an Addr line is read but warned
// of, and pondrel's '+' is refused for a report that is one document.
TEST(PondrelReportsValueReading, RefusedOrWarnedThroughWholeRuns) {
    ScratchDir dir;
    // Malformed Addr lines among silent well-formed ones, from line 11 on.
    const std::pair<std::string, std::string> addrLines[] = {
        {"Addr 2:5020/*", ""},
        {"Addr !2:5020:9999", "address '!2:5020:9999' read as !2:5020/*.*"},
        {"Addr 2:*", ""},
        {"Addr 2:5020/-5", "address '2:5020/-5' read as 2:5020/#.*"},
        {"Addr 5020/100.0   \"Label\" ; a comment", ""},
        {"Addr 2:5020/1OO   \"Typo\"", "address '2:5020/1OO' read as 2:5020/1.*"},
        {"Addr 2:5020/100,2:5030/1700 ; two",
         "address '2:5020/100,2:5030/1700' read as 2:5020/100.*"},
        {"Addr Answer \"Calls\"", ""},
        {"Addr answers", "address 'answers' read as Answer"},
        {"Addr !2:5020/9999\t; a test point", ""},
        {"Addr 2:70000/1", "address '2:70000/1' read as 2:4464/1.*"},
        {"Addr 0:5020/1\r", ""},
        {"Addr 2:5020/100 Uplink", "address '2:5020/100 Uplink' read as 2:5020/100.*"},
        {"Addr 2:5020/100.", "address '2:5020/100.' read as 2:5020/100.0"},
        {"Addr #", ""},
    };
    std::string addrConfig, addrWarnings;
    for (std::size_t i = 0; i < std::size(addrLines); ++i) {
        const auto& [line, warning] = addrLines[i];
        addrConfig += line + "\n";
        if (!warning.empty())
            addrWarnings +=
                "Config warning, line " + std::to_string(11 + i) + ": " + warning + "\n";
    }
    writeNode(dir, addrConfig);
    std::filesystem::rename(dir.file("ravlog.ctl"), dir.file("addr.ctl"));
    writeNode(dir);

    const std::string whole = " report is always written whole, '+' (append) not allowed: ";
    struct Case {
        std::string program;
        std::vector<std::string> args;
        int status;
        std::string err;  // pondrel's behind its banner
    };
    std::vector<Case> cases = {
        {"pondrel", {"-caddr.ctl"}, 0, addrWarnings},
        {"brimsel", {"-a2:5020/30.0", "-aANSWER", "-a5020/7.0"}, 0, ""},
        {"pondrel", {"-d007", "-b5.3.2024"}, 0, ""},
        {"pondrel", {"-fjson", "-o+ap.json"}, 255, "JSON" + whole + "-o+ap.json\n"},
        {"pondrel", {"-o+ap.html", "-fHTML"}, 255, "HTML" + whole + "-o+ap.html\n"},
        {"pondrel", {"-o+", "-fjson"}, 255, "JSON" + whole + "-o+\n"},
        {"pondrel", {"-o+whole.json", "-owhole.json", "-fjson"}, 0, ""},
    };
    for (const std::string a : {"-a2:5020:100", "-a2:5020/1OO", "-a2:5020/100,2:5030/1700",
                                "-aanswers", "-a2:5020/-5", "-a2:70000/1"})
        cases.push_back(
            {"brimsel", {a}, 255, "Unknown option or invalid value: " + a + badOptionTail});
    for (const std::string d : {"x", "3x", "", "+3", "65536"})
        cases.push_back({"pondrel", {"-d" + d}, 255, "Invalid days period: " + d + "\n"});
    for (const Case& c : cases) {
        const ProgramResult r =
            testing::runProgram(testing::builtProgram(c.program), c.args, dir.path(), {"TZ=UTC"});
        SCOPED_TRACE(c.program + " " + c.args[0]);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, (c.program == "pondrel" ? banner : "") + c.err);
        if (c.program == "brimsel" && c.status == 0) {
            EXPECT_NE(r.out.find("Shown: 2 of 12 records\n"), std::string::npos) << r.out;
            EXPECT_NE(r.out.find("Shown: 1 of 2 records\n"), std::string::npos) << r.out;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("ap.json")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("ap.html")));

    // CSV appends its rows under the one header of the file.
    ASSERT_EQ(pondrel(dir, {"-fcsv", "-o+ap.csv"}).status, 0);
    const std::string once = testing::slurp(dir.file("ap.csv"));
    ASSERT_EQ(once.rfind("section,address,", 0), 0u);
    ASSERT_EQ(pondrel(dir, {"-fcsv", "-o+ap.csv"}).status, 0);
    EXPECT_EQ(testing::slurp(dir.file("ap.csv")), once + once.substr(once.find('\n') + 1));
}

}  // namespace
}  // namespace rv
