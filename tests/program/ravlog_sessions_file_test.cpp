// ravlog as its users meet it: the built program run in a scratch directory
// over histories that histgen writes, with a fixed report day in the past,
// and the whole sessions statistic file compared with the text that the
// sessions make of it, worked out by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ravlog_runs.h"

namespace rv {
namespace {

using namespace testing;

const std::string wholeDay5March = "From 0:00:00 to 23:59:59, 05 March 2024, Tuesday\n\n";

std::string lineHeading(int number) {
    return blanks(37) + "Line " + std::to_string(number) + "\n\n";
}

// ---- One line, and the same under two zones ---------------------------------------

class RavlogSessionsFileZones : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        if (!hasZoneData(GetParam()))
            GTEST_SKIP() << "no zone data for " << GetParam() << " on this machine";
    }
};

INSTANTIATE_TEST_SUITE_P(Zones, RavlogSessionsFileZones, ::testing::Values("UTC", "Europe/Berlin"),
                         [](const auto& info) {
                             return info.param == "UTC" ? std::string("Utc")
                                                        : std::string("Berlin");
                         });

// A single unnamed line: no heading. Sessions that cross midnight into the
// day count whole; one ending at the window start and one of the next day
// stay out; one starting on the window's last second is in; an excluded
// address is not listed, an unmatched one is listed and not counted; zone 0
// is dropped silently, a negative point and an overlong session are reported.
TEST_P(RavlogSessionsFileZones, SingleUnnamedLine) {
    ScratchDir dir;
    writeHistory(dir, "a.his", HistoryType::plain28,
                 "2:5020/100 2024-03-04T23:55:00 dur=600 rcvd=1000 sent=2000 flags=0x05\n"
                 "2:5020/101 2024-03-04T23:50:00 dur=600 flags=0x06\n"
                 "2:5020/666 2024-03-05T08:00:00 dur=120 rcvd=5000 flags=0x06\n"
                 "2:463/7 2024-03-05T09:00:00 dur=0 flags=0x06\n"
                 "1:1/1 2024-03-05T10:00:00 dur=3600 rcvd=1048576 sent=524288 flags=0x09\n"
                 "0:1/2 2024-03-05T11:00:00 dur=10\n"
                 "2:5020/5.-1 2024-03-05T12:00:00 dur=10\n"
                 "2:5020/200.3 2024-03-05T23:50:00 dur=1200 rcvd=1048576 flags=0x06\n"
                 "2:5020/300 2024-03-05T23:59:59 dur=30 rcvd=100 flags=0x05\n"
                 "2:5020/301 2024-03-06T00:00:00 dur=30 flags=0x05\n"
                 "2:5020/302 2024-03-03T10:00:00 dur=90000 flags=0x05\n"
                 "2:5020/303 2024-03-05T13:00:00 dur=86400 flags=0x06\n");
    ASSERT_TRUE(dir.write("ravlog.ctl",
                          "; one line\n"
                          "[COMMON]\n"
                          "ADDR !2:5020/666\n"
                          "ADDR 2:5020/*\n"
                          "ADDR 2:463/#\n"
                          "[LINE]\n"
                          "HISTORY a.his\n"));
    const ProgramResult r = ravlog(dir, {"-d5.3.2024"}, GetParam());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ravlogBanner);
    EXPECT_EQ(r.err,
              "Invalid record in a.his: 2:5020/5.-1 Tue Mar 05 12:00:00 2024\n"
              "Invalid record in a.his: 2:5020/302.0 Sun Mar 03 10:00:00 2024\n");
    const std::string expected =
        sessionsBanner() + wholeDay5March +
        table(
            false, false,
            {
                row("23:55:00", "In ", "2:5020/100.0", "  ", "  0:10:00", "  1000", "  2000",
                    "     5"),
                row("09:00:00", "Out", "2:463/7.0", "  ", "  0:00:01", "     0", "     0",
                    "     0"),
                row("10:00:00", "In ", "1:1/1.0", "  ", "  1:00:00", "  1.0M", "524288", "   436"),
                row("23:50:00", "Out", "2:5020/200.3", "  ", "  0:20:00", "  1.0M", "     0",
                    "   873"),
                row("23:59:59", "In ", "2:5020/300.0", "  ", "  0:00:30", "   100", "     0",
                    "     3"),
                row("13:00:00", "Out", "2:5020/303.0", "  ", " 24:00:00", "     0", "     0",
                    "     0"),
            },
            totals("   5", "   2", "   3", " 24:30:31", "  1.0M", "  2000", "    574")) +
        sessionsFooter();
    EXPECT_TRUE(sameSessionsFile(dir, "ravlog.ses", expected));
    EXPECT_TRUE(exists(dir, "ravlog.lnk"));
    EXPECT_TRUE(exists(dir, "ravlog.out"));
}

// Days before, of and after the spring change to summer time. The history
// clock is read as local calendar fields, so a plain line reports the same
// sessions in every zone; a line whose mailer writes UTC is moved by
// TIMESHIFT AUTO, the standard offset: one hour in Berlin, none in UTC.
TEST_P(RavlogSessionsFileZones, DaysAroundTheChangeToSummerTime) {
    const bool berlin = GetParam() != "UTC";
    ScratchDir dir;
    writeHistory(dir, "local.his", HistoryType::plain28,
                 "2:5020/1 2024-03-30T23:30:00 dur=3600 rcvd=3600 flags=0x05\n"
                 "2:5020/2 2024-03-31T02:30:00 dur=60 sent=600 flags=0x06\n"
                 "2:5020/3 2024-03-31T23:59:59 dur=2 flags=0x05\n"
                 "2:5020/4 2024-04-01T12:00:00 dur=100 sent=1000 flags=0x06\n");
    writeHistory(dir, "utc.his", HistoryType::plain28,
                 "2:5020/5 2024-03-30T23:30:00 dur=60 rcvd=60 flags=0x05\n"
                 "2:5020/6 2024-03-31T12:00:00 dur=60 sent=120 flags=0x06\n");
    ASSERT_TRUE(dir.write("ravlog.ctl",
                          "[COMMON]\n"
                          "ADDR 2:5020/*\n"
                          "[LINE]\n"
                          "HISTORY local.his\n"
                          "[LINE]\n"
                          "NAME \"UTC clock\"\n"
                          "HISTORY utc.his\n"
                          "TIMESHIFT Auto\n"));
    const std::string l1 =
        row("23:30:00", "In ", "2:5020/1.0", "  ", "  1:00:00", "  3600", "     0", "     1");
    const std::string l2 =
        row("02:30:00", "Out", "2:5020/2.0", "  ", "  0:01:00", "     0", "   600", "    10");
    const std::string l3 =
        row("23:59:59", "In ", "2:5020/3.0", "  ", "  0:00:02", "     0", "     0", "     0");
    const std::string l4 =
        row("12:00:00", "Out", "2:5020/4.0", "  ", "  0:01:40", "     0", "  1000", "    10");
    const std::string u1 = row(berlin ? "00:30:00" : "23:30:00", "In ", "2:5020/5.0", "  ",
                               "  0:01:00", "    60", "     0", "     1");
    const std::string u2 = row(berlin ? "13:00:00" : "12:00:00", "Out", "2:5020/6.0", "  ",
                               "  0:01:00", "     0", "   120", "     2");
    const std::string utcHeading = blanks(35) + "UTC clock\n\n";

    struct Day {
        std::string date;
        std::string period;
        std::string localTable;
        std::string utcTable;
    };
    const Day days[] = {
        {"30.3.2024", "From 0:00:00 to 23:59:59, 30 March 2024, Saturday\n\n",
         table(false, false, {l1},
               totals("   1", "   1", "   0", "  1:00:00", "  3600", "     0", "      1")),
         berlin
             ? table(false, false, {}, emptyTotals)
             : table(false, false, {u1},
                     totals("   1", "   1", "   0", "  0:01:00", "    60", "     0", "      1"))},
        {"31.3.2024", " From 0:00:00 to 23:59:59, 31 March 2024, Sunday\n\n",
         table(false, false, {l1, l2, l3},
               totals("   3", "   2", "   1", "  1:01:02", "  3600", "   600", "      1")),
         berlin
             ? table(false, false, {u1, u2},
                     totals("   2", "   1", "   1", "  0:02:00", "    60", "   120", "      1"))
             : table(false, false, {u2},
                     totals("   1", "   0", "   1", "  0:01:00", "     0", "   120", "      2"))},
        {"1.4.2024", " From 0:00:00 to 23:59:59, 01 April 2024, Monday\n\n",
         table(false, false, {l3, l4},
               totals("   2", "   1", "   1", "  0:01:42", "     0", "  1000", "     10")),
         table(false, false, {}, emptyTotals)},
    };
    for (const Day& day : days) {
        const ProgramResult r = ravlog(dir, {"-d" + day.date}, GetParam());
        EXPECT_EQ(r.status, 0) << day.date;
        EXPECT_EQ(r.err, "") << day.date;
        const std::string expected = sessionsBanner() + day.period + lineHeading(1) +
                                     day.localTable + utcHeading + day.utcTable + sessionsFooter();
        EXPECT_TRUE(sameSessionsFile(dir, "ravlog.ses", expected)) << day.date;
    }
}

// ---- Several lines ------------------------------------------------------------------

// Sources of -h come first; a missing history is reported and passed over,
// and the line numbers count only the lines whose history opened. Type 1
// shows the protection and abort marks, also of a session that no entry
// counts; a named line is headed by its name, centred by its characters.
TEST(RavlogSessionsFile, SeveralLinesNumberedAndNamed) {
    ScratchDir dir;
    writeHistory(dir, "cmd.his", HistoryType::plain28,
                 "2:5020/10 2024-03-05T01:00:00 dur=100 rcvd=2000 flags=0x05\n");
    writeHistory(dir, "a.his", HistoryType::plain28,
                 "2:5020/11 2024-03-04T10:00:00 dur=60 rcvd=10 flags=0x05\n");
    writeHistory(dir, "b.his", HistoryType::long100,
                 "2:5020/20.1 2024-03-05T02:00:00 dur=30 sent=3000 flags=0x0E\n"
                 "2:5020/21 2024-03-05T03:00:00 dur=45 rcvd=450 flags=0x01\n"
                 "1:1/1 2024-03-05T04:00:00 dur=10 flags=0x0B\n");
    writeHistory(dir, "c.his", HistoryType::plain28,
                 "2:5020/30 2024-03-05T05:00:00 dur=3661 rcvd=1000000 sent=999999 "
                 "flags=0x06\n");
    ASSERT_TRUE(dir.write("ravlog.ctl",
                          "[COMMON]\n"
                          "ADDR 2:5020/*\n"
                          "[LINE]\n"
                          "HISTORY a.his\n"
                          "[LINE]\n"
                          "HISTORY missing.his\n"
                          "[LINE]\n"
                          "History b.his\n"
                          "[LINE]\n"
                          "NAME \"Узел Москва\"\n"
                          "HISTORY c.his\n"));
    const ProgramResult r = ravlog(dir, {"-hcmd.his", "-d5.3.2024"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ravlogBanner);
    EXPECT_EQ(r.err, "Can\'t open missing.his: No such file or directory\n");
    const std::string expected =
        sessionsBanner() + wholeDay5March + lineHeading(1) +
        table(false, false,
              {row("01:00:00", "In ", "2:5020/10.0", "  ", "  0:01:40", "  2000", "     0",
                   "    20")},
              totals("   1", "   1", "   0", "  0:01:40", "  2000", "     0", "     20")) +
        lineHeading(2) + table(false, false, {}, emptyTotals) + lineHeading(3) +
        table(
            true, true,
            {
                row("02:00:00", "Out", "2:5020/20.1", "P ", "  0:00:30", "     0", "  3000",
                    "   100"),
                row("03:00:00", "In ", "2:5020/21.0", " A", "  0:00:45", "   450", "     0",
                    "    10"),
                row("04:00:00", "In ", "1:1/1.0", "PA", "  0:00:10", "     0", "     0", "     0"),
            },
            totals("   2", "   1", "   1", "  0:01:15", "   450", "  3000", "     46")) +
        blanks(34) + "Узел Москва\n\n" +
        table(false, false,
              {row("05:00:00", "Out", "2:5020/30.0", "  ", "  1:01:01", "  0.9M", "999999",
                   "   546")},
              totals("   1", "   0", "   1", "  1:01:01", "  0.9M", "999999", "    546")) +
        sessionsFooter();
    EXPECT_TRUE(sameSessionsFile(dir, "ravlog.ses", expected));
}

// ---- Windows ------------------------------------------------------------------------

// 22-6 wraps midnight: it starts on the evening before the report day. A
// session that ends at 22:00 stays out, one that runs into the window is in,
// one starting at 6:00:00 (the window's last second) is in, 6:00:01 is out.
TEST(RavlogSessionsFile, WindowWrappingMidnight) {
    ScratchDir dir;
    writeHistory(dir, "w.his", HistoryType::plain28,
                 "2:5020/1 2024-03-04T21:50:00 dur=1200 rcvd=600 flags=0x05\n"
                 "2:5020/2 2024-03-04T21:40:00 dur=1200 flags=0x05\n"
                 "2:5020/3 2024-03-04T23:30:00 dur=3600 rcvd=36000 sent=36000 flags=0x06\n"
                 "2:5020/4 2024-03-05T05:59:59 dur=120 flags=0x05\n"
                 "2:5020/5 2024-03-05T06:00:00 dur=60 flags=0x06\n"
                 "2:5020/6 2024-03-05T06:00:01 dur=60 flags=0x06\n"
                 "2:5020/7 2024-03-05T12:00:00 dur=60 flags=0x06\n");
    ASSERT_TRUE(dir.write("ravlog.ctl", "[COMMON]\nADDR 2\nTIME 0-24\n[LINE]\nHISTORY w.his\n"));
    const ProgramResult r = ravlog(dir, {"-d5.3.2024", "-t22-6"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string expected =
        sessionsBanner() + blanks(6) + "From: 22:00:00, 04 March 2024, Monday\n" + blanks(21) +
        "To  :  6:00:00, 05 March 2024, Tuesday\n\n" +
        table(false, false,
              {
                  row("21:50:00", "In ", "2:5020/1.0", "  ", "  0:20:00", "   600", "     0",
                      "     0"),
                  row("23:30:00", "Out", "2:5020/3.0", "  ", "  1:00:00", " 36000", " 36000",
                      "    20"),
                  row("05:59:59", "In ", "2:5020/4.0", "  ", "  0:02:00", "     0", "     0",
                      "     0"),
                  row("06:00:00", "Out", "2:5020/5.0", "  ", "  0:01:00", "     0", "     0",
                      "     0"),
              },
              totals("   4", "   2", "   2", "  1:23:00", " 36600", " 36000", "     15")) +
        sessionsFooter();
    EXPECT_TRUE(sameSessionsFile(dir, "ravlog.ses", expected));
}

// An end hour 0 is the end of the day (as 24): 22-0 is the last two hours
// of the report day, not a window wrapping into it.
TEST(RavlogSessionsFile, WindowEndingAtHourZero) {
    ScratchDir dir;
    writeHistory(dir, "w.his", HistoryType::plain28,
                 "2:5020/1 2024-03-04T22:30:00 dur=60 flags=0x05\n"
                 "2:5020/2 2024-03-05T21:59:00 dur=120 rcvd=240 flags=0x06\n"
                 "2:5020/3 2024-03-05T23:59:59 dur=1 flags=0x05\n");
    ASSERT_TRUE(dir.write("ravlog.ctl", "[COMMON]\nADDR 2\nTIME 22-0\n[LINE]\nHISTORY w.his\n"));
    const ProgramResult r = ravlog(dir, {"-d5.3.2024"});
    EXPECT_EQ(r.status, 0);
    const std::string expected =
        sessionsBanner() + "From 22:00:00 to 23:59:59, 05 March 2024, Tuesday\n\n" +
        table(false, false,
              {
                  row("21:59:00", "Out", "2:5020/2.0", "  ", "  0:02:00", "   240", "     0",
                      "     2"),
                  row("23:59:59", "In ", "2:5020/3.0", "  ", "  0:00:01", "     0", "     0",
                      "     0"),
              },
              totals("   2", "   1", "   1", "  0:02:01", "   240", "     0", "      2")) +
        sessionsFooter();
    EXPECT_TRUE(sameSessionsFile(dir, "ravlog.ses", expected));
}

// ---- Direction rules ------------------------------------------------------------------

// BinkD lines settle every selected session, also one that no entry counts:
// it is listed with its settled direction and without a false abort mark.
// SwapInOut turns the unmatched sessions of its line as well.
TEST(RavlogSessionsFile, BinkdAndSwappedLinesListTheSettledDirection) {
    ScratchDir dir;
    writeHistory(dir, "binkd.his", HistoryType::binkd,
                 "2:5020/1 2024-03-05T10:00:00 dur=60 rcvd=100 sent=200 flags=0x03\n"
                 "2:5020/2 2024-03-05T11:00:00 dur=60 rcvd=600 flags=0x01\n"
                 "1:1/1 2024-03-05T12:00:00 dur=60 flags=0x02\n"
                 "1:1/2 2024-03-05T12:30:00 dur=60 flags=0x03\n");
    writeHistory(dir, "outonly.his", HistoryType::binkd,
                 "2:5020/3 2024-03-05T13:00:00 dur=100 rcvd=1000 flags=0x01\n"
                 "1:1/3 2024-03-05T14:00:00 dur=100 flags=0x01\n"
                 "2:5020/4 2024-03-05T15:00:00 dur=100 flags=0x03\n");
    writeHistory(dir, "swap.his", HistoryType::plain28,
                 "2:5020/7 2024-03-05T16:00:00 dur=10 flags=0x01\n"
                 "1:1/4 2024-03-05T16:30:00 dur=10 flags=0x05\n"
                 "2:5020/8 2024-03-05T17:00:00 dur=10 flags=0x00\n");
    ASSERT_TRUE(dir.write("ravlog.ctl",
                          "[COMMON]\n"
                          "ADDR 2:5020/*\n"
                          "[LINE]\n"
                          "HISTORY binkd.his,1,1\n"
                          "BINKDABORTED Out\n"
                          "[LINE]\n"
                          "HISTORY outonly.his,0,1\n"
                          "[LINE]\n"
                          "HISTORY swap.his\n"
                          "SWAPINOUT Yes\n"));
    const ProgramResult r = ravlog(dir, {"-d5.3.2024"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string expected =
        sessionsBanner() + wholeDay5March + lineHeading(1) +
        table(
            false, true,
            {
                row("10:00:00", "Out", "2:5020/1.0", " A", "  0:01:00", "   100", "   200",
                    "     5"),
                row("11:00:00", "In ", "2:5020/2.0", "  ", "  0:01:00", "   600", "     0",
                    "    10"),
                row("12:00:00", "Out", "1:1/1.0", "  ", "  0:01:00", "     0", "     0", "     0"),
                row("12:30:00", "Out", "1:1/2.0", " A", "  0:01:00", "     0", "     0", "     0"),
            },
            totals("   2", "   1", "   1", "  0:02:00", "   700", "   200", "      7")) +
        lineHeading(2) +
        table(
            false, true,
            {
                row("13:00:00", "Out", "2:5020/3.0", "  ", "  0:01:40", "  1000", "     0",
                    "    10"),
                row("14:00:00", "Out", "1:1/3.0", "  ", "  0:01:40", "     0", "     0", "     0"),
                row("15:00:00", "Out", "2:5020/4.0", " A", "  0:01:40", "     0", "     0",
                    "     0"),
            },
            totals("   2", "   0", "   2", "  0:03:20", "  1000", "     0", "     10")) +
        lineHeading(3) +
        table(
            false, false,
            {
                row("16:00:00", "Out", "2:5020/7.0", "  ", "  0:00:10", "     0", "     0",
                    "     0"),
                row("16:30:00", "Out", "1:1/4.0", "  ", "  0:00:10", "     0", "     0", "     0"),
                row("17:00:00", "In ", "2:5020/8.0", "  ", "  0:00:10", "     0", "     0",
                    "     0"),
            },
            totals("   3", "   1", "   2", "  0:00:20", "     0", "     0", "      0")) +
        sessionsFooter();
    EXPECT_TRUE(sameSessionsFile(dir, "ravlog.ses", expected));
}

// ---- Pairs and The Brake! ------------------------------------------------------------

// A line named x.ohs reads x.ohs as outgoing, then x.ihs as incoming, in one table.
TEST(RavlogSessionsFile, OhsIhsPairInOneTable) {
    ScratchDir dir;
    writeHistory(dir, "x.ohs", HistoryType::pair116,
                 "2:5020/1 2024-03-05T08:00:00 dur=300 rcvd=1500 sent=3000 cost=12\n");
    writeHistory(dir, "x.ihs", HistoryType::pair116,
                 "2:5020/2 2024-03-05T07:00:00 dur=200 rcvd=2000 cost=5\n"
                 "2:5020/3 2024-03-05T09:00:00 dur=100\n");
    ASSERT_TRUE(dir.write("ravlog.ctl", "[COMMON]\nADDR 2:5020/*\n[LINE]\nHISTORY x.ohs\n"));
    const ProgramResult r = ravlog(dir, {"-d5.3.2024"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string expected =
        sessionsBanner() + wholeDay5March +
        table(false, false,
              {
                  row("08:00:00", "Out", "2:5020/1.0", "  ", "  0:05:00", "  1500", "  3000",
                      "    15"),
                  row("07:00:00", "In ", "2:5020/2.0", "  ", "  0:03:20", "  2000", "     0",
                      "    10"),
                  row("09:00:00", "In ", "2:5020/3.0", "  ", "  0:01:40", "     0", "     0",
                      "     0"),
              },
              totals("   3", "   2", "   1", "  0:10:00", "  3500", "  3000", "     13")) +
        sessionsFooter();
    EXPECT_TRUE(sameSessionsFile(dir, "ravlog.ses", expected));
}

// Events are listed when their kind is in BRAKESESSTAT; an Answer entry
// counts its events' time, which are no sessions of either direction.
TEST(RavlogSessionsFile, BrakeEventsWithBrakeSesStat) {
    ScratchDir dir;
    writeHistory(dir, "brake.his", HistoryType::brake,
                 "ANSWER 2024-03-05T10:00:00 dur=30\n"
                 "DIAL 2024-03-05T10:05:00 dur=20\n"
                 "BBS 2024-03-05T10:10:00 dur=600\n"
                 "SKIP 254 2024-03-05T10:30:00\n"
                 "2:5020/1 2024-03-05T11:00:00 dur=100 rcvd=1000 sent=500 flags=1\n"
                 "2:5020/2 2024-03-05T12:00:00 dur=50 flags=2\n"
                 "TERMINAL 2024-03-05T12:30:00 dur=5\n");
    ASSERT_TRUE(dir.write("ravlog.ctl",
                          "[COMMON]\n"
                          "BRAKESESSTAT ab\n"
                          "ADDR ANSWER\n"
                          "ADDR 2:5020/*\n"
                          "[LINE]\n"
                          "HISTORY brake.his\n"));
    const ProgramResult r = ravlog(dir, {"-d5.3.2024"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string expected =
        sessionsBanner() + wholeDay5March +
        table(false, false,
              {
                  row("10:00:00", "   ", "Answer", "  ", "  0:00:30", "     0", "     0", "     0"),
                  row("10:10:00", "   ", "BBS", "  ", "  0:10:00", "     0", "     0", "     0"),
                  row("11:00:00", "In ", "2:5020/1.0", "  ", "  0:01:40", "  1000", "   500",
                      "    15"),
                  row("12:00:00", "Out", "2:5020/2.0", "  ", "  0:00:50", "     0", "     0",
                      "     0"),
              },
              totals("   2", "   1", "   1", "  0:03:00", "  1000", "   500", "     15")) +
        sessionsFooter();
    EXPECT_TRUE(sameSessionsFile(dir, "ravlog.ses", expected));
}

// Per-line settings: the same history read by two lines, one correcting its
// CPS for the handshake time of a session without traffic, the other
// shifting its clock back two hours.
TEST(RavlogSessionsFile, AdvancedCpsAndTimeShiftPerLine) {
    ScratchDir dir;
    writeHistory(dir, "a.his", HistoryType::plain28,
                 "2:5020/1 2024-03-05T10:00:00 dur=100 rcvd=1000 flags=0x05\n"
                 "2:5020/2 2024-03-05T11:00:00 dur=50 flags=0x06\n"
                 "2:5020/3 2024-03-05T12:00:00 dur=100 sent=1000 flags=0x06\n"
                 "2:5020/4 2024-03-06T01:30:00 dur=60 flags=0x06\n");
    ASSERT_TRUE(dir.write("ravlog.ctl",
                          "[COMMON]\n"
                          "ADDR 2:5020/*\n"
                          "[LINE]\n"
                          "HISTORY a.his\n"
                          "ADVANCEDCPS Yes\n"
                          "[LINE]\n"
                          "HISTORY a.his\n"
                          "TIMESHIFT -2\n"));
    const ProgramResult r = ravlog(dir, {"-d5.3.2024"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // Without the correction the CPS is 2000 / 200 = 10. With it the
    // handshake overhead is (250 - 200) * 3 / 1 = 150 seconds: 2000 / 100.
    const std::string expected =
        sessionsBanner() + wholeDay5March + lineHeading(1) +
        table(false, false,
              {
                  row("10:00:00", "In ", "2:5020/1.0", "  ", "  0:01:40", "  1000", "     0",
                      "    10"),
                  row("11:00:00", "Out", "2:5020/2.0", "  ", "  0:00:50", "     0", "     0",
                      "     0"),
                  row("12:00:00", "Out", "2:5020/3.0", "  ", "  0:01:40", "     0", "  1000",
                      "    10"),
              },
              totals("   3", "   1", "   2", "  0:04:10", "  1000", "  1000", "     20")) +
        lineHeading(2) +
        table(false, false,
              {
                  row("08:00:00", "In ", "2:5020/1.0", "  ", "  0:01:40", "  1000", "     0",
                      "    10"),
                  row("09:00:00", "Out", "2:5020/2.0", "  ", "  0:00:50", "     0", "     0",
                      "     0"),
                  row("10:00:00", "Out", "2:5020/3.0", "  ", "  0:01:40", "     0", "  1000",
                      "    10"),
                  row("23:30:00", "Out", "2:5020/4.0", "  ", "  0:01:00", "     0", "     0",
                      "     0"),
              },
              totals("   4", "   1", "   3", "  0:05:10", "  1000", "  1000", "     10")) +
        sessionsFooter();
    EXPECT_TRUE(sameSessionsFile(dir, "ravlog.ses", expected));
}

// ---- Append mode and large counts --------------------------------------------------------

TEST(RavlogSessionsFile, AppendModeAddsAWholeReport) {
    ScratchDir dir;
    writeHistory(dir, "a.his", HistoryType::plain28,
                 "2:5020/1 2024-03-05T10:00:00 dur=10 rcvd=100 flags=0x05\n");
    ASSERT_TRUE(dir.write("ravlog.ctl",
                          "[COMMON]\nADDR 2:5020/*\nSESSIONSTAT config.ses\n[LINE]\nHISTORY "
                          "a.his\n"));
    const std::string report =
        sessionsBanner() + wholeDay5March +
        table(
            false, false,
            {row("10:00:00", "In ", "2:5020/1.0", "  ", "  0:00:10", "   100", "     0", "    10")},
            totals("   1", "   1", "   0", "  0:00:10", "   100", "     0", "     10")) +
        sessionsFooter();
    for (int run = 1; run <= 2; ++run) {
        const ProgramResult r = ravlog(dir, {"-e+stat.txt", "-d5.3.2024"});
        EXPECT_EQ(r.status, 0);
    }
    EXPECT_TRUE(sameSessionsFile(dir, "stat.txt", report + report));
    EXPECT_FALSE(exists(dir, "config.ses"));
    EXPECT_FALSE(exists(dir, "ravlog.ses"));
    // Without '+' a run starts the file anew.
    const ProgramResult r = ravlog(dir, {"-estat.txt", "-d5.3.2024"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sameSessionsFile(dir, "stat.txt", report));
    // The other reports take their names from -o and -l, which end at ','.
    const ProgramResult named = ravlog(dir, {"-ohistory.txt,x", "-llinks.txt;y", "-d5.3.2024"});
    EXPECT_EQ(named.status, 0);
    EXPECT_TRUE(exists(dir, "history.txt"));
    EXPECT_TRUE(exists(dir, "links.txt"));
    EXPECT_TRUE(sameSessionsFile(dir, "config.ses", report));
}

// 70,000 sessions of 64 KiB each: beyond 16-bit session counts and beyond
// 4 GiB of traffic, the totals show the true figures.
TEST(RavlogSessionsFile, TotalsBeyondSixteenAndThirtyTwoBits) {
    ScratchDir dir;
    histgen::HistoryWriter writer(HistoryType::plain28);
    SessionRecord s;
    s.address = {2, 5020, 1, 0};
    s.duration = 1;
    s.bytesReceived = 65536;
    s.flags = 0x05;
    const std::uint32_t midnight = histgen::utcSeconds(2024, 3, 5);
    for (std::uint32_t i = 0; i < 70000; ++i) {
        s.startTime = midnight + i;
        writer.session(s);
    }
    ASSERT_TRUE(dir.write("big.his", writer.bytes()));
    ASSERT_TRUE(dir.write("ravlog.ctl", "[COMMON]\nADDR 2:5020/*\n[LINE]\nHISTORY big.his\n"));
    const ProgramResult r = ravlog(dir, {"-d5.3.2024"});
    EXPECT_EQ(r.status, 0);
    const std::string text = slurp(dir.file("ravlog.ses"));
    const std::string first =
        row("00:00:00", "In ", "2:5020/1.0", "  ", "  0:00:01", " 65536", "     0", " 65536");
    const std::string last =
        row("19:26:39", "In ", "2:5020/1.0", "  ", "  0:00:01", " 65536", "     0", " 65536");
    EXPECT_NE(text.find(tableHeader(false, false) + first), std::string::npos);
    EXPECT_NE(text.find(last + "╟"), std::string::npos);
    std::size_t rows = 0;
    for (std::size_t at = 0; (at = text.find("│ In  │", at)) != std::string::npos; ++at)
        ++rows;
    EXPECT_EQ(rows, 70000u);
    // 70000 × 65536 bytes = 4,587,520,000 = 4375 MiB; 70000 s = 19:26:40.
    EXPECT_NE(text.find(totals(" 70k", " 70k", "   0", " 19:26:40", " 4375M", "     0", "  65536")),
              std::string::npos);
}

// ---- Nothing to report -------------------------------------------------------------------

TEST(RavlogSessionsFile, NoAddressWithDataWritesOnlyTheSessionsFile) {
    ScratchDir dir;
    writeHistory(dir, "a.his", HistoryType::plain28,
                 "2:5020/1 2024-03-05T10:00:00 dur=10 rcvd=100 flags=0x05\n");
    ASSERT_TRUE(dir.write("ravlog.ctl", "[COMMON]\nADDR 3:*\nKEEPALL No\n[LINE]\nHISTORY a.his\n"));
    const ProgramResult r = ravlog(dir, {"-d5.3.2024"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, ravlogBanner);
    EXPECT_EQ(r.err,
              "No information for selected addresses found. Links/Groups history and statistic "
              "were not created.\n");
    const std::string expected =
        sessionsBanner() + wholeDay5March +
        table(
            false, false,
            {row("10:00:00", "In ", "2:5020/1.0", "  ", "  0:00:10", "   100", "     0", "    10")},
            emptyTotals) +
        sessionsFooter();
    EXPECT_TRUE(sameSessionsFile(dir, "ravlog.ses", expected));
    EXPECT_FALSE(exists(dir, "ravlog.lnk"));
    EXPECT_FALSE(exists(dir, "ravlog.out"));

    // KeepAll keeps an entry without sessions: the run then ends normally.
    const ProgramResult kept = ravlog(dir, {"-d5.3.2024", "-k+"});
    EXPECT_EQ(kept.status, 0);
    EXPECT_EQ(kept.err, "");
    EXPECT_TRUE(exists(dir, "ravlog.lnk"));
    EXPECT_TRUE(exists(dir, "ravlog.out"));
}

}  // namespace
}  // namespace rv
