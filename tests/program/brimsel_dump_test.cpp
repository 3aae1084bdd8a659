// brimsel as its users meet it: the built program run in a scratch
// directory over histories that histgen writes, its whole standard output
// compared with tables written out by hand, and its messages and exit
// status for every way a run can end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

const std::string brimselPath = testing::builtProgram("brimsel");

const std::string& banner = testing::brimselBanner;
const std::string usage = testing::usageText("brimsel");

const std::string utf8Head =
    "┌─────────────────┬──────────────────────────┬───────┬────────┬────────┬──────┐\n"
    "│     Address     │      Date of Session     │Time(s)│Received│  Sent  │ PNOI │\n"
    "├─────────────────┼──────────────────────────┼───────┼────────┼────────┼──────┤\n";
const std::string utf8Foot =
    "└─────────────────┴──────────────────────────┴───────┴────────┴────────┴──────┘\n"
    "           Protected session; not used in BinkD and some other mailers ──┘│││\n"
    "           Normal (non-aborted) session; not used in BinkD ───────────────┘││\n"
    "                                          Outgoing session ────────────────┘│\n"
    "                                          Incoming session ─────────────────┘\n";
const std::string asciiHead =
    "+-----------------------------------------------------------------------------+\n"
    "|     Address     |      Date of Session     |Time(s)|Received|  Sent  | PNOI |\n"
    "|-----------------+--------------------------+-------+--------+--------+------|\n";
const std::string asciiFoot =
    "+-----------------------------------------------------------------------------+\n"
    "           Protected session; not used in BinkD and some other mailers __||||\n"
    "           Normal (non-aborted) session; not used in BinkD _______________|||\n"
    "                                          Outgoing session ________________||\n"
    "                                          Incoming session _________________|\n";

ProgramResult brimsel(const ScratchDir& dir, const std::vector<std::string>& args) {
    return testing::runProgram(brimselPath, args, dir.path());
}

// Rows of a table with the bars of the style.
std::string table(const std::string& file, const std::vector<std::string>& rows, bool ascii) {
    std::string text = "\nFile: " + file + "\n" + (ascii ? asciiHead : utf8Head);
    for (std::string row : rows) {
        if (ascii) {
            for (std::size_t at; (at = row.find("│")) != std::string::npos;)
                row.replace(at, 3, "|");
        }
        text += row + "\n";
    }
    return text + (ascii ? asciiFoot : utf8Foot);
}

// The histories and configuration of the main dump test.
void writeDumpFixture(const ScratchDir& dir) {
    writeHistory(dir, "first.his", HistoryType::brake,
                 "ANSWER 2024-03-05T10:00:00 dur=30\n"
                 "BBS 2024-03-05T10:05:00 dur=600\n"
                 "SKIP 254 2024-03-05T10:06:00\n"
                 "SKIP 7 2024-03-05T10:07:00\n"
                 "SKIP 12 2024-03-05T10:08:00\n"
                 "2:5020/545.1 2024-03-05T10:20:00 dur=120 rcvd=100+200+300 sent=1+2+3 flags=1\n"
                 "1:123/500 2024-03-05T10:30:00 dur=7 rcvd=5000 sent=0\n"
                 "EXTERNAL 2024-03-05T11:00:00 dur=1\n"
                 "TERMINAL 2024-03-05T11:01:00 dur=2\n"
                 "DIAL 2024-03-05T11:02:00 dur=3\n");
    writeHistory(dir, "plain.his", HistoryType::plain28,
                 "2:5020/100.0 2024-03-05T10:15:00 dur=60 rcvd=1000 sent=2048 flags=0x0d\n"
                 "21:12345/12345.123 2024-02-29T23:59:59 dur=0 rcvd=1023 sent=1024 flags=2\n"
                 "-1:-2/5 1999-12-31T23:00:00 dur=86400 rcvd=1500000 sent=209715200 flags=0xf\n"
                 "2:5020/1 2024-03-05T00:00:00 dur=100000 rcvd=0 sent=999999 flags=0x1f00\n");
    writeHistory(dir, "binkd.his", HistoryType::binkd,
                 "2:5020/52 2024-03-05T00:30:00 dur=5 rcvd=104857599 sent=104857600 flags=3\n"
                 "2:5020/53 1800 dur=1 rcvd=1 sent=0 flags=1\n");
    ASSERT_TRUE(dir.write("ravlog.ctl",
                          "; brimsel acts on History, TimeShift and SupportNewFormat only\n"
                          "[COMMON]\n"
                          "TimeShift 2\n"
                          "Output ignored.out\n"
                          "Addr 2:5020/*\n"
                          "\n"
                          "[LINE]\n"
                          "History plain.his\n"
                          "Name Modem\n"
                          "[LINE]\n"
                          "  History binkd.his,1,1 ; BinkD\n"
                          "  TimeShift -1\n"));
}

// Start times are shifted by the line's hours (+2 from [COMMON], -1 for
// the BinkD line) and printed as UTC; every value is written by hand.
const std::vector<std::string> brakeRows{
    "│ Answer          │ Tue Mar 05 12:00:00 2024 │    30 │      0 │      0 │ 0000 │",
    "│ BBS             │ Tue Mar 05 12:05:00 2024 │   600 │      0 │      0 │ 0100 │",
    "│ 2:5020/545.1    │ Tue Mar 05 12:20:00 2024 │   120 │    600 │      6 │ 0101 │",
    "│ 1:123/500.0     │ Tue Mar 05 12:30:00 2024 │     7 │     4k │      0 │ 0110 │",
    "│ External        │ Tue Mar 05 13:00:00 2024 │     1 │      0 │      0 │ 0100 │",
    "│ Terminal        │ Tue Mar 05 13:01:00 2024 │     2 │      0 │      0 │ 0000 │",
    "│ Dial            │ Tue Mar 05 13:02:00 2024 │     3 │      0 │      0 │ 0000 │",
};
const std::vector<std::string> plainRows{
    "│ 2:5020/100.0    │ Tue Mar 05 12:15:00 2024 │    60 │   1000 │     2k │ 1101 │",
    "│ 12345/12345.123 │ Fri Mar 01 01:59:59 2024 │     0 │   1023 │     1k │ 0010 │",
    "│ *:#/5.0         │ Sat Jan 01 01:00:00 2000 │ 86400 │   1.4M │   200M │ 1111 │",
    "│ 2:5020/1.0      │ Tue Mar 05 02:00:00 2024 │  100k │      0 │   976k │ 0000 │",
};
const std::vector<std::string> binkdRows{
    "│ 2:5020/52.0     │ Mon Mar 04 23:30:00 2024 │     5 │  99.9M │   100M │ 0011 │",
    "│ 2:5020/53.0     │ ??? ??? ?? ??:??:?? ???? │     1 │      1 │      0 │ 0001 │",
};

TEST(BrimselDump, WholeOutputInUtf8) {
    ScratchDir dir;
    writeDumpFixture(dir);
    ProgramResult r = brimsel(dir, {"-hfirst.his"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(sameText(r.out, banner + table("first.his", brakeRows, false) +
                                    table("plain.his", plainRows, false) +
                                    table("binkd.his", binkdRows, false)));
}

TEST(BrimselDump, WholeOutputInAscii) {
    ScratchDir dir;
    writeDumpFixture(dir);
    const std::string expected = banner + table("first.his", brakeRows, true) +
                                 table("plain.his", plainRows, true) +
                                 table("binkd.his", binkdRows, true);
    // -u+ after -u- leaves the style as it was.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"-u-", "-hfirst.his"}, {"/hfirst.his", "-u-", "-u+"}, {"-u-", "-u", "-hfirst.his"}}) {
        ProgramResult r = brimsel(dir, args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(sameText(r.out, expected)) << args[0] << " " << args[1];
    }
    ProgramResult utf8 = brimsel(dir, {"-u+", "-u", "-hfirst.his"});
    EXPECT_TRUE(sameText(utf8.out, banner + table("first.his", brakeRows, false) +
                                       table("plain.his", plainRows, false) +
                                       table("binkd.his", binkdRows, false)));
}

TEST(BrimselDump, PairsPrintTheNamedFileThenItsTwin) {
    ScratchDir dir;
    writeHistory(dir, "p.OHS", HistoryType::pair116,
                 "2:5020/100 2024-03-05T10:15:00 dur=60 rcvd=10 sent=20 cost=5\n");
    writeHistory(dir, "p.IHS", HistoryType::pair116,
                 "2:463/68.10 2024-03-05T11:00:00 dur=61 rcvd=30 sent=40\n"
                 "2:463/68.10 2024-03-05T12:00:00 dur=62 rcvd=50 sent=60\n");
    // Type 8: the dummy of the first file is dropped, the twin's shows.
    writeHistory(dir, "d.ihs", HistoryType::dated104,
                 "DUMMY 2024-03-01T00:00:00\n"
                 "2:5020/1 2024-03-05T10:00:00 dur=9 rcvd=1 sent=2 flags=4\n");
    writeHistory(dir, "d.ohs", HistoryType::dated104,
                 "DUMMY 2024-03-02T00:00:00\n"
                 "2:5020/2 2024-03-05T10:01:00 dur=8 rcvd=3 sent=4 status=2\n");
    ASSERT_TRUE(dir.write("ravlog.ctl", "[LINE]\nHistory p.OHS\n[LINE]\nHistory d.ihs\n"));
    ProgramResult r = brimsel(dir, {});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(
        r.out,
        banner +
            table(
                "p.OHS",
                {"│ 2:5020/100.0    │ Tue Mar 05 10:15:00 2024 │    60 │     10 │     20 │ 0110 │"},
                false) +
            table(
                "p.IHS",
                {"│ 2:463/68.10     │ Tue Mar 05 11:00:00 2024 │    61 │     30 │     40 │ 0101 │",
                 "│ 2:463/68.10     │ Tue Mar 05 12:00:00 2024 │    62 │     50 │     60 │ 0101 │"},
                false) +
            table(
                "d.ihs",
                {"│ 2:5020/1.0      │ Tue Mar 05 10:00:00 2024 │     9 │      1 │      2 │ 0101 │"},
                false) +
            table(
                "d.ohs",
                {"│ 0:0/0.0         │ Sat Mar 02 00:00:00 2024 │     0 │      0 │      0 │ 0010 │",
                 "│ 2:5020/2.0      │ Tue Mar 05 10:01:00 2024 │     8 │      3 │      4 │ 0010 │"},
                false));
}

TEST(BrimselDump, SupportNewFormatNoReadsThePlainLayout) {
    ScratchDir dir;
    writeHistory(dir, "x.ohs", HistoryType::plain28,
                 "2:5020/7 2024-03-05T10:15:00 dur=3 rcvd=4 sent=5 flags=0x0c\n");
    ASSERT_TRUE(
        dir.write("ravlog.ctl",
                  "[COMMON]\nSupportNewFormat No\nSupportNewFormat Yes\n[LINE]\nHistory x.ohs\n"));
    ProgramResult r = brimsel(dir, {});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        r.out,
        banner +
            table(
                "x.ohs",
                {"│ 2:5020/7.0      │ Tue Mar 05 10:15:00 2024 │     3 │      4 │      5 │ 1100 │"},
                false));
}

TEST(BrimselDumpHistoryFiles, UnreadableHistoriesAreSkipped) {
    ScratchDir dir;
    writeHistory(dir, "ok.his", HistoryType::plain28,
                 "2:5020/7 2024-03-05T10:15:00 dur=3 flags=4\n");
    writeHistory(dir, "lone.ohs", HistoryType::pair116, "2:5020/8 2024-03-05T10:15:00 dur=4\n");
    ASSERT_TRUE(dir.write("ravlog.ctl",
                          "[LINE]\nHistory missing.his\n[LINE]\nHistory lone.ohs\n"
                          "[LINE]\nHistory ok.his\n"));
    ProgramResult r = brimsel(dir, {"-hgone.his,1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "Can't open gone.his: No such file or directory\n"
              "Can't open missing.his: No such file or directory\n"
              "Can't open lone.ihs: No such file or directory\n");
    EXPECT_EQ(
        r.out,
        banner +
            table(
                "lone.ohs",
                {"│ 2:5020/8.0      │ Tue Mar 05 10:15:00 2024 │     4 │      0 │      0 │ 0110 │"},
                false) +
            table(
                "ok.his",
                {"│ 2:5020/7.0      │ Tue Mar 05 10:15:00 2024 │     3 │      0 │      0 │ 0100 │"},
                false));
}

TEST(BrimselDumpOptions, UsageEndsWithStatusZero) {
    ScratchDir dir;  // no configuration: usage comes before it is read
    for (std::string arg : {"-?", "-?whatever", "/?", "--help", "--HeLp", "-h", "-h,1,2"}) {
        ProgramResult r = brimsel(dir, {"-u-", arg, "-bogus"});
        EXPECT_EQ(r.status, 0) << arg;
        EXPECT_TRUE(sameText(r.out, banner + usage)) << arg;
        EXPECT_EQ(r.err, "") << arg;
    }
}

TEST(BrimselDumpOptions, UnknownOptionsEndWithStatus255) {
    ScratchDir dir;
    ASSERT_TRUE(dir.write("ravlog.ctl", "[LINE]\nHistory a.his\n"));
    for (std::string arg :
         {"-ux", "-u+-", "--helpx", "--hel", "--", "word", "-", "/", "-x", "-U-", "+u"}) {
        ProgramResult r = brimsel(dir, {arg, "-?"});
        EXPECT_EQ(r.status, 255) << arg;
        EXPECT_TRUE(sameText(r.out, banner)) << arg;
        EXPECT_EQ(r.err, "Unknown option or invalid value: " + arg + "\nUse -? or --help to help\n")
            << arg;
    }
}

TEST(BrimselDumpConfig, MissingConfigurationFile) {
    ScratchDir dir;
    ProgramResult r = brimsel(dir, {"-ha.his"});
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(sameText(r.out, banner));
    EXPECT_EQ(r.err, "Can't open ravlog.ctl: No such file or directory\n");
    ProgramResult other = brimsel(dir, {"-cother.ctl"});
    EXPECT_EQ(other.status, 255);
    EXPECT_EQ(other.err, "Can't open other.ctl: No such file or directory\n");
    // A directory is no configuration file either.
    ASSERT_EQ(::mkdir(dir.file("conf.d").c_str(), 0755), 0);
    ProgramResult directory = brimsel(dir, {"-cconf.d"});
    EXPECT_EQ(directory.status, 255);
    EXPECT_EQ(directory.err, "Can't open conf.d: Is a directory\n");
}

TEST(BrimselDumpConfig, ConfigurationErrors) {
    struct Case {
        std::string text;
        std::string err;
    };
    const std::string dos2unix =
        "invalid keyword or parameter, or config file not in unix-like format (use dos2unix to "
        "convert it)";
    const Case cases[] = {
        {"[LINE]\nHistory a.his\nHistory b.his\n",
         "Config error, line 3: parameter 'History' already defined in current [LINE] section\n"},
        {"[LINE]\n\n[LINE]\nHistory a.his\n",
         "Config error, line 3: no history file defined in previous [LINE] section\n"},
        {"[LINE]\nName x\n[COMMON]\n",
         "Config error, line 3: no history file defined in previous [LINE] section\n"},
        {"[LINE]\nHistory a.his,0,0\n",
         "Config error, line 2: invalid parameters value for BinkD line\n"},
        {"[LINE]\nHistory a.his,0\n",
         "Config error, line 2: invalid parameters value for BinkD line\n"},
        {"[COMMON]\nOutput x\n[LINE]\nHistory a.his\nOutput y\n",
         "Config error, line 5: keyword not allowed in [LINE] section\n"},
        {"[COMMON]\r\nTimeShift 1\r\n\r\n[LINE]\r\nHistory a.his\r\n",
         "Config error, line 3: " + dos2unix + "\n"},
        {"History a.his\n", "Config error, line 1: no section defined\n"},
        {"[LINE]\nHistory\n", "Config error, line 2: " + dos2unix + "\n"},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        ASSERT_TRUE(dir.write("ravlog.ctl", c.text));
        ProgramResult r = brimsel(dir, {"-ha.his"});
        EXPECT_EQ(r.status, 255) << c.text;
        EXPECT_TRUE(sameText(r.out, banner)) << c.text;
        EXPECT_EQ(r.err, c.err) << c.text;
    }
}

TEST(BrimselDumpConfig, NoHistoryDefined) {
    ScratchDir dir;
    ASSERT_TRUE(dir.write("none.ctl", "[COMMON]\nTimeShift 1\n"));
    ProgramResult none = brimsel(dir, {"-cnone.ctl"});
    EXPECT_EQ(none.status, 255);
    EXPECT_TRUE(sameText(none.out, banner));
    EXPECT_EQ(none.err, "No history file defined.\n");
    // A History value without a file name is refused where it stands.
    ASSERT_TRUE(dir.write("empty.ctl", "[LINE]\nHistory ,1\n"));
    EXPECT_EQ(brimsel(dir, {"-cempty.ctl"}).err,
              "Config error, line 2: invalid keyword or parameter, or config file not in unix-like "
              "format (use dos2unix to convert it)\n");
    ASSERT_TRUE(dir.write("last.ctl", "[LINE]\nHistory a.his\n[LINE]\n"));
    ProgramResult last = brimsel(dir, {"-clast.ctl"});
    EXPECT_EQ(last.status, 255);
    EXPECT_EQ(last.err, "No history file defined in last [LINE] section\n");
    // An -h source counts, but the last [LINE] still needs its own.
    ASSERT_TRUE(dir.write("only.ctl", "[LINE]\n"));
    EXPECT_EQ(brimsel(dir, {"-conly.ctl", "-ha.his"}).err,
              "No history file defined in last [LINE] section\n");
}

}  // namespace
}  // namespace rv
