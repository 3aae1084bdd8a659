// binkd's text log as a line's history, through the programs: the real
// log against the binary log binkd wrote beside it, and generated logs,
// rotated over a New Year, against the same sessions written as a binary
// history that carries their directions.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "brimsel_csv.h"
#include "dir_snapshot.h"
#include "run_program.h"
#include "same_text.h"
#include "scratch_dir.h"

namespace rv {
namespace {

using testing::brimselCsvRows;
using enum testing::BrimselColumn;
using testing::builtFile;
using testing::builtProgram;
using testing::ChildSetup;
using testing::ProgramResult;
using testing::runProgram;
using testing::ScratchDir;

const std::string binkdLogData = std::string(RV_SOURCE_DIR) + "/tests/data/binkd_log/";

// A text log binkd wrote and the binary log it wrote beside it, named
// stem.log and stem.his, with the whole dump of the text log in stem.csv.
struct RealLog {
    const char* stem;
    const char* day;  // of its sessions, as ravlog's -d takes it
};

class TextLogLineRealPair : public ::testing::TestWithParam<RealLog> {};

TEST_P(TextLogLineRealPair, ReadsAsItsBinaryLogWithTheTrueDirections) {
    ScratchDir dir;
    const std::string stem = GetParam().stem;
    const std::string log = stem + ".log", his = stem + ".his";
    for (const std::string& name : {log, his})
        std::filesystem::copy_file(binkdLogData + name, dir.file(name));
    // The year of the log's lines follows from its time: the day after its
    // sessions, whenever the test runs.
    const std::string day = GetParam().day;
    std::tm next{};
    ASSERT_EQ(std::sscanf(day.c_str(), "%d.%d.%d", &next.tm_mday, &next.tm_mon, &next.tm_year), 3);
    next.tm_mon -= 1;
    next.tm_year -= 1900;
    next.tm_mday += 1;
    next.tm_hour = 12;
    std::filesystem::last_write_time(
        dir.file(log),
        std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(::timegm(&next))));
    ASSERT_TRUE(dir.write("ravlog.ctl", "[LINE]\nHistory " + log + "\n[LINE]\nHistory " + his +
                                            ",1,1\nSwapInOut Yes\nTimeShift 0\n"));
    const ProgramResult dump =
        runProgram(builtProgram("brimsel"), {"-fcsv"}, dir.path(), ChildSetup{});
    ASSERT_EQ(dump.status, 0) << dump.err;
    const auto text = brimselCsvRows(dump.out, log);
    const auto binary = brimselCsvRows(dump.out, his);
    ASSERT_EQ(text.size(), binary.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        SCOPED_TRACE("session " + std::to_string(i + 1));
        testing::expectTextRowIsBinlogRow(text[i], binary[i]);
    }
    // The whole dump of the text log: protection, failures and directions.
    std::string expected = testing::slurp(binkdLogData + stem + ".csv");
    std::string got;
    for (const auto& row : text) {
        for (std::size_t c = 0; c < row.size(); ++c)
            got += (c ? "," : "") + row[c];
        got += "\r\n";  // as brimsel ends a record
    }
    EXPECT_TRUE(testing::sameText(got, expected));

    // Its directions are the true ones: SwapInOut and the BinkD settling
    // of a ",n,m" leave them, and the channel counts of 1 change no chart.
    const std::string report =
        "[COMMON]\nOutput o.out\nPondrel o.lnk\nSessionStat o.ses\n"
        "Addr 2:*\n[LINE]\nHistory " +
        log;
    ASSERT_TRUE(dir.write("plain.ctl", report + "\n"));
    ASSERT_TRUE(dir.write("binkd.ctl", report + ",1,1\nSwapInOut Yes\n"));
    std::string json[2];
    for (int i = 0; i < 2; ++i) {
        const ProgramResult run = runProgram(
            builtProgram("ravlog"), {i ? "-cbinkd.ctl" : "-cplain.ctl", "-d" + day, "-jday.json"},
            dir.path(), ChildSetup{});
        ASSERT_EQ(run.status, 0) << run.err;
        json[i] = testing::slurp(dir.file("day.json"));
    }
    EXPECT_NE(json[0].find("\"direction\":\"out\",\"address\":\"2:5020/2.0\""), std::string::npos);
    EXPECT_TRUE(testing::sameText(json[1], json[0]));
}

// real-loglevel4: a hand run of two to four nodes; peer-overlap: node A of
// the peer test (tests/interop/binkd_peer_test.cpp), calls made and
// answered at once (docs/binkd.md tells how each was made).
INSTANTIATE_TEST_SUITE_P(Binkd, TextLogLineRealPair,
                         ::testing::Values(RealLog{"real-loglevel4", "9.12.2026"},
                                           RealLog{"peer-overlap", "9.12.2026"}),
                         [](const ::testing::TestParamInfo<RealLog>& info) {
                             std::string name = info.param.stem;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// A run's output with the text log's name and type number read as the
// binary history's, which is all two runs over the same sessions differ in.
std::string asBinary(std::string text) {
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"b.log", "b.his"},
                                   {"\"type\":9", "\"type\":1"},
                                   {"\"type\": 9", "\"type\": 1"}})
        for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
            text.replace(at, from.size(), to);
    return text;
}

struct GeneratedCase {
    const char* form;
    bool liveRemoved;  // a rotation with nocreate: no live file until binkd writes again
};

class TextLogLineGenerated : public ::testing::TestWithParam<GeneratedCase> {};

TEST_P(TextLogLineGenerated, ReportsAsTheSameSessionsInABinaryHistory) {
    ScratchDir dir;
    const std::string histgen = builtFile("tools/histgen");
    const std::vector<std::string> common = {"--records",   "3000", "--start", "2025-12-01",
                                             "--span-days", "60",   "--seed",  "5",
                                             "--links",     "20"};
    std::vector<std::string> log = {"bulk", "--type", "log", "--out", "b.log"};
    log.insert(log.end(), common.begin(), common.end());
    log.insert(log.end(),
               {"--rotate", "6", "--rotate-days", "7", "--rotate-form", GetParam().form});
    std::vector<std::string> his = {"bulk", "--type", "1", "--out", "b.his"};
    his.insert(his.end(), common.begin(), common.end());
    for (const auto& args : {log, his})
        ASSERT_EQ(runProgram(histgen, args, dir.path(), ChildSetup{}).status, 0);
    if (GetParam().liveRemoved) std::filesystem::remove(dir.file("b.log"));
    const std::string report =
        "[COMMON]\nOutput o.out\nPondrel o.lnk\nSessionStat o.ses\n"
        "Addr 2:*\nAddr #:#/#.#\n[LINE]\nName Line\n";
    ASSERT_TRUE(dir.write("t.ctl", report + "History b.log\nCutHistory 30\n"));
    ASSERT_TRUE(dir.write("h.ctl", report + "History b.his\n"));

    // A day inside a rotated copy, the last day of the year (its lines in
    // the copy that crosses into the next), and pondrel over New Year.
    const std::vector<std::vector<std::string>> runs = {
        {"ravlog", "-d8.1.2026", "-jday.json"},
        {"ravlog", "-d31.12.2025", "-jday.json"},
        {"pondrel", "-fjson", "-b20.12.2025", "-e15.1.2026"},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run[1]);
        std::vector<std::string> args(run.begin() + 1, run.end());
        std::vector<std::string> textArgs = args, binaryArgs = args;
        textArgs.push_back("-ct.ctl");
        binaryArgs.push_back("-ch.ctl");
        const auto histories = [&] {
            auto files = testing::snapshot(dir.path());
            for (const char* report : {"day.json", "o.out", "o.lnk", "o.ses", ".stdout", ".stderr"})
                files.erase(report);
            return files;
        };
        const auto before = histories();
        const ProgramResult t =
            runProgram(builtProgram(run[0]), textArgs, dir.path(), ChildSetup{});
        const std::string textJson = testing::slurp(dir.file("day.json"));
        if (run[0] == "ravlog") {
            // Told once that the text log is not cut, and nothing of it written.
            EXPECT_EQ(t.err, "Can't cut b.log: a text log is rotated by logrotate, not cut\n");
            EXPECT_EQ(histories(), before);
        }
        const ProgramResult b =
            runProgram(builtProgram(run[0]), binaryArgs, dir.path(), ChildSetup{});
        EXPECT_EQ(t.status, b.status);
        EXPECT_EQ(b.status, 0) << b.err;
        if (run[0] == "ravlog")
            EXPECT_TRUE(
                testing::sameText(asBinary(textJson), testing::slurp(dir.file("day.json"))));
        else
            EXPECT_TRUE(testing::sameText(asBinary(t.out), b.out));
    }
}

INSTANTIATE_TEST_SUITE_P(Rotations, TextLogLineGenerated,
                         ::testing::Values(GeneratedCase{"gzip", false},
                                           GeneratedCase{"dateext", false},
                                           GeneratedCase{"gzip", true}),
                         [](const ::testing::TestParamInfo<GeneratedCase>& info) {
                             return std::string(info.param.form) +
                                    (info.param.liveRemoved ? "_LiveRemoved" : "");
                         });

}  // namespace
}  // namespace rv
