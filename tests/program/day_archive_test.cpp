// The day archive through whole runs: a generated node cut day after day
// with an archive, its runs killed at random moments and run again,
// reports as its uncut copy, as does an older or hand-edited archive, and
// an archive that cannot be written stops every cut and is left as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>

#include "generated_node.h"
#include "time_zone_scope.h"

namespace rv {
namespace {

using testing::pondrelOn;
using testing::ravlogInChild;
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
    // Day after day over the last month, every fourth day run twice. On
    // about a third of the days runs are first killed at a moment drawn
    // over the time the day before took (recording, cutting, reports), and
    // the day is run again. RAVLOG_KILL_SEED draws other moments.
    const char* seedText = std::getenv("RAVLOG_KILL_SEED");
    const unsigned seed = seedText ? static_cast<unsigned>(std::atol(seedText)) : 24;
    std::mt19937 random(seed);
    std::string kills = "RAVLOG_KILL_SEED=" + std::to_string(seed) + ", killed:";
    std::chrono::microseconds lastRun{0};
    for (std::int64_t d = endDay - 30; d <= endDay + 1; ++d) {
        while (lastRun.count() > 0 && random() % 3 == 0) {
            const auto moment = static_cast<useconds_t>(
                lastRun.count() * static_cast<std::int64_t>(random() % 1000) / 900);
            const int status = ravlogInChild(cutCtl, d, {}, moment).status;
            kills += " " + dayText(d) + " at " + std::to_string(moment) + " us" +
                     (status == -1 ? "" : " (ended " + std::to_string(status) + ")");
        }
        for (int run = d % 4 == 0 ? 2 : 1; run > 0; --run) {
            const auto start = std::chrono::steady_clock::now();
            ASSERT_EQ(ravlogOn(cutCtl, d).status, 0) << dayText(d) << " run " << run << kills;
            if (run == (d % 4 == 0 ? 2 : 1))
                lastRun = std::chrono::duration_cast<std::chrono::microseconds>(
                    std::chrono::steady_clock::now() - start);
        }
    }
    EXPECT_NE(kills.find(" us"), std::string::npos);
    EXPECT_LT(slurp(dir.file("cut/binkd.his")).size(), slurp(dir.file("full/binkd.his")).size());
    // Wholly archived, across the cut, the whole node, the last two days.
    for (const auto& [begin, end] : {std::pair{"-b1.4.2024", "-e20.4.2024"},
                                     {"-b15.5.2024", "-e30.6.2024"},
                                     {"-b1.4.2024", "-e30.6.2024"},
                                     {"-b29.6.2024", "-e30.6.2024"}})
        for (const std::string format : {"-ftext", "-fjson", "-fcsv"}) {
            const std::string full = pondrelOn(fullCtl, {begin, end, format});
            EXPECT_GT(full.size(), 200u);
            EXPECT_EQ(pondrelOn(cutCtl, {begin, end, format}), full)
                << begin << " " << format << "\n"
                << kills;
        }
}

// Archives of the older versions (no packed sums, no day ends), ones ravlog
// has since brought up to date, and days whose packed sums were deleted by hand read
// from their rows; a day whose packed sums are damaged is refused.
TEST(DayArchiveRuns, OlderAndHandEditedArchivesReadAsRecorded) {
    testing::TimeZoneScope utc("UTC");
    ScratchDir dir;
    const std::string fullCtl = writeNode(dir, "full", "");
    const std::string archive = dir.file("archive.db");
    const std::string cutCtl = writeNode(dir, "cut", "Archive " + archive + "\nCutHistory 30\n");
    ASSERT_EQ(ravlogOn(cutCtl, endDay + 1).status, 0);
    const std::string recorded = slurp(archive);
    const std::vector<std::string> period = {"-b1.4.2024", "-e30.6.2024", "-fjson"};
    const std::string full = pondrelOn(fullCtl, period);
    const std::string version2 = "ALTER TABLE days DROP COLUMN history_end;";
    const std::string older = version2 + "DROP TABLE day_sums; PRAGMA user_version = 1;";
    struct Case {
        std::string sql;
        bool ravlogAgain;
        int version;
        std::string report;  // "" for the uncut node's
    };
    const Case cases[] = {
        {"DELETE FROM day_sums WHERE day = '2024-04-10';", false, 3, ""},
        {"DELETE FROM day_sums WHERE day > '2024-05-20';", false, 3, ""},
        {older, false, 1, ""},
        {older, true, 3, ""},
        {version2 + "PRAGMA user_version = 2;", false, 2, ""},
        {version2 + "PRAGMA user_version = 2;", true, 3, ""},
        {"UPDATE day_sums SET sums = x'02' WHERE day = '2024-04-10';", false, 3,
         "status 255: Can't read archive " + archive + ": damaged sums of 2024-04-10\n"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(dir.write("archive.db", recorded));
        sqlite3* db = nullptr;
        sqlite3_open(archive.c_str(), &db);
        ASSERT_EQ(sqlite3_exec(db, c.sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << c.sql;
        sqlite3_close(db);
        if (c.ravlogAgain) {
            ASSERT_EQ(ravlogOn(cutCtl, endDay + 1).status, 0) << c.sql;
        }
        // The version (PRAGMA user_version) is bytes 60 to 63 of the header.
        EXPECT_EQ(slurp(archive).substr(60, 4), std::string(3, '\0') + char(c.version)) << c.sql;
        EXPECT_EQ(pondrelOn(cutCtl, period), c.report.empty() ? full : c.report) << c.sql;
    }
}

// Each case spoils the archive its way: text, SQL over an empty file, a
// writer holding a real archive, a real archive that the run may not
// write (root runs it as nobody, whom the mode binds), or a limit on the
// size of the files the run writes, as a full disk. The run must cut
// nothing and leave the file as it found it.
TEST(DayArchiveRuns, AnArchiveThatCannotBeWrittenStopsEveryCut) {
    testing::TimeZoneScope utc("UTC");
    struct Case {
        const char* sql;  // run on the file; "" over a text file, unless real
        std::string reason;
        bool real = false;  // a real archive
        mode_t mode = 0644;
        rlim_t fileSizeLimit = RLIM_INFINITY;
    };
    const Case cases[] = {
        {"", "not an archive"},
        {"CREATE TABLE t(x); PRAGMA user_version=7;", "archive version 7"},
        {"CREATE TABLE t(x);", "not an archive"},
        {"PRAGMA journal_mode=WAL; BEGIN IMMEDIATE;", "locked", true},
        {"", "read-only", true, 0444},
        // A limit on the size of files fails a write with EFBIG, which SQLite
        // takes for an I/O error rather than a full disk (ENOSPC).
        {"", "can't commit", true, 0644, 64 * 1024},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        const std::string archive = dir.file("archive.db");
        const std::string ctl = writeNode(dir, "node", "Archive " + archive + "\nCutHistory 30\n");
        if (c.real) {
            DayArchive made;
            ASSERT_TRUE(made.open(archive, DayArchive::Access::write)) << made.failure();
            ASSERT_TRUE(made.begin()) << made.failure();
            ASSERT_TRUE(made.commit()) << made.failure();
        } else if (!*c.sql) {
            std::ofstream(archive) << "Not an archive at all\n";
        }
        sqlite3* db = nullptr;  // open through the run
        if (*c.sql) {
            sqlite3_open(archive.c_str(), &db);
            sqlite3_exec(db, c.sql, nullptr, nullptr, nullptr);
        }
        // nobody must reach and write everything but the archive.
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
            ASSERT_EQ(::chmod(e.path().c_str(), e.is_directory() ? 0777 : 0666), 0);
        ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
        ASSERT_EQ(::chmod(archive.c_str(), c.mode), 0);
        const std::string before = slurp(archive);
        const std::string history = slurp(dir.file("node/binkd.his"));
        // A connection open here must not cross into a child: only the
        // runs under a limit or another user go to one.
        const testing::ProgramResult r =
            db ? ravlogOn(ctl, endDay + 1) : ravlogInChild(ctl, endDay + 1, [&c] {
                const rlimit limit{c.fileSizeLimit, c.fileSizeLimit};
                const bool root = ::geteuid() == 0;
                if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 ||
                    (c.mode != 0644 && root &&
                     (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 ||
                      ::setuid(65534) != 0)))
                    ::_exit(127);
            });
        EXPECT_EQ(r.status, 255) << c.reason;
        EXPECT_NE(r.err.find("Can't write archive " + archive + ": " + c.reason), std::string::npos)
            << r.err;
        EXPECT_EQ(slurp(dir.file("node/binkd.his")), history) << c.reason;
        EXPECT_EQ(slurp(archive), before) << c.reason;
        sqlite3_close(db);
    }
}

}  // namespace
}  // namespace rv
