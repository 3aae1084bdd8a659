// The day archive through whole runs: a generated node cut day after day
// with an archive reports as its uncut copy, and an archive that cannot
// be written stops every cut and is left as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "archive/day_archive.h"
#include "captured_stream.h"
#include "core/byte_source.h"
#include "pondrel/pondrel_run.h"
#include "ravlog/ravlog_run.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "time_zone_scope.h"
#include "tools/node_history.h"

namespace rv {
namespace {

using testing::CapturedStream;
using testing::ScratchDir;
using testing::slurp;

constexpr std::int64_t day = 86400;
const std::int64_t endDay = dayOfDate(2024, 6, 30);

// A generated node of 90 days in DIR/SUB; returns its configuration, which
// has EXTRA among the common keywords.
std::string writeNode(const ScratchDir& dir, const std::string& sub, const std::string& extra) {
    const std::string home = dir.file(sub);
    std::filesystem::create_directory(home);
    histgen::NodeOptions options;
    options.days = 90;
    options.seed = 24;
    options.endDay = endDay;
    for (const histgen::GeneratedFile& f : histgen::generateNode(options))
        EXPECT_TRUE(dir.write(sub + "/" + f.name, f.bytes));
    std::string ctl = "[COMMON]\n" + extra + "Output " + home + "/r.out\nPondrel " + home +
                      "/r.lnk\nSessionStat " + home +
                      "/r.ses\nGroup Yes\nBrakeSesStat AB\nAddr !2:5020/9999\n"
                      "Addr 2:5020/# \"Moscow\"\nAddr 2:*\nAddr ANSWER\n";
    for (const char* history : {"binkd.his,2,1", "plain28.his", "long100.his", "brake.his",
                                "pair116.ohs", "status64.his", "wide316.his", "dated104.ohs"})
        ctl += "[LINE]\nHistory " + home + "/" + history + "\n";
    EXPECT_TRUE(dir.write(sub + "/ravlog.ctl", ctl));
    return home + "/ravlog.ctl";
}

// ravlog run at noon of RUNDAY.
testing::ProgramResult ravlogOn(const std::string& ctl, std::int64_t runDay) {
    CapturedStream out, err;
    int status = 0;
    {
        RavlogRun run(static_cast<std::time_t>(runDay * day + 43200), out.get(), err.get());
        FileOpener opener;
        if (Stop stop = runRavlog(run, {"-c" + ctl}, opener)) status = stop->status;
    }
    return {out.text(), err.text(), status};
}

// pondrel's report without the line that tells when it was made.
std::string pondrelOn(const std::string& ctl, std::vector<std::string> args) {
    CapturedStream out, err;
    {
        pondrel::Run run(static_cast<std::time_t>((endDay + 10) * day), err.get());
        FileOpener opener;
        args.push_back("-c" + ctl);
        const std::vector<std::string_view> views(args.begin(), args.end());
        if (Stop stop = pondrel::runPondrel(run, views, opener, out.get()); stop && stop->status)
            return "status " + std::to_string(stop->status);
    }
    std::istringstream report(out.text());
    std::string text;
    for (std::string line; std::getline(report, line);)
        if (line.find("reat") == std::string::npos) text += line + "\n";
    return text;
}

TEST(DayArchiveRuns, ACutNodeWithAnArchiveReportsAsItsUncutCopy) {
    testing::TimeZoneScope utc("UTC");
    ScratchDir dir;
    const std::string fullCtl = writeNode(dir, "full", "");
    const std::string cutCtl =
        writeNode(dir, "cut", "Archive " + dir.file("archive.db") + "\nCutHistory 30\n");
    // Day after day over the last month, every fourth day run twice.
    for (std::int64_t d = endDay - 30; d <= endDay + 1; ++d)
        for (int run = d % 4 == 0 ? 2 : 1; run > 0; --run)
            ASSERT_EQ(ravlogOn(cutCtl, d).status, 0) << dayText(d) << " run " << run;
    EXPECT_LT(slurp(dir.file("cut/binkd.his")).size(), slurp(dir.file("full/binkd.his")).size());
    // Wholly archived, across the cut, the whole node, the last two days.
    for (const auto& [begin, end] : {std::pair{"-b1.4.2024", "-e20.4.2024"},
                                     {"-b15.5.2024", "-e30.6.2024"},
                                     {"-b1.4.2024", "-e30.6.2024"},
                                     {"-b29.6.2024", "-e30.6.2024"}})
        for (const std::string format : {"-ftext", "-fjson", "-fcsv"}) {
            const std::string full = pondrelOn(fullCtl, {begin, end, format});
            EXPECT_GT(full.size(), 200u);
            EXPECT_EQ(pondrelOn(cutCtl, {begin, end, format}), full) << begin << " " << format;
        }
}

// Each case spoils the archive its way: text, SQL over an empty file, or a
// writer holding a real archive. The run must cut nothing and leave the
// file as it found it.
TEST(DayArchiveRuns, AnArchiveThatCannotBeWrittenStopsEveryCut) {
    testing::TimeZoneScope utc("UTC");
    const std::pair<const char*, std::string> cases[] = {
        {"", "not an archive"},
        {"CREATE TABLE t(x); PRAGMA user_version=7;", "archive version 7"},
        {"CREATE TABLE t(x);", "not an archive"},
        {"PRAGMA journal_mode=WAL; BEGIN IMMEDIATE;", "locked"},
    };
    for (const auto& [sql, reason] : cases) {
        ScratchDir dir;
        const std::string archive = dir.file("archive.db");
        const std::string ctl = writeNode(dir, "node", "Archive " + archive + "\nCutHistory 30\n");
        if (!*sql) std::ofstream(archive) << "Not an archive at all\n";
        if (reason == "locked") {  // a real archive, held below by a writer
            ASSERT_EQ(DayArchive().open(archive, DayArchive::Access::write), "");
        }
        sqlite3* db = nullptr;  // open through the run
        sqlite3_open(archive.c_str(), &db);
        sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        const std::string before = slurp(archive);
        const std::string history = slurp(dir.file("node/binkd.his"));
        const testing::ProgramResult r = ravlogOn(ctl, endDay + 1);
        EXPECT_EQ(r.status, 255) << sql;
        EXPECT_NE(r.err.find("Can't write archive " + archive + ": " + reason), std::string::npos)
            << r.err;
        EXPECT_EQ(slurp(dir.file("node/binkd.his")), history) << sql;
        EXPECT_EQ(slurp(archive), before) << sql;
        sqlite3_close(db);
    }
}

}  // namespace
}  // namespace rv
