// The day archive through whole runs: a generated node cut day after day
// with an archive reports as its uncut copy, and an archive that cannot
// be written stops every cut and is left as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "generated_node.h"
#include "time_zone_scope.h"

namespace rv {
namespace {

using testing::pondrelOn;
using testing::ravlogOn;
using testing::ScratchDir;
using testing::slurp;
using testing::writeNode;

const std::int64_t endDay = testing::nodeEndDay;

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
