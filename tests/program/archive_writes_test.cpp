// The day archive's writes against what a node meets: a full disk, readers
// of another user, runs that start together on a new archive, an archive
// or line made anew where days were expected, and a line's TimeShift
// changed between runs. Each through whole runs over the generated node.
#include <grp.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <fstream>

#include "generated_node.h"
#include "small_file_system.h"
#include "time_zone_scope.h"

namespace rv {
namespace {

using testing::finishChild;
using testing::pondrelOn;
using testing::ProgramResult;
using testing::ravlogOn;
using testing::ScratchDir;
using testing::slurp;
using testing::startInChild;
using testing::writeNode;

const std::int64_t endDay = testing::nodeEndDay;
const std::vector<std::string> wholeYear = {"-b1.1.2024", "-e31.12.2024", "-fjson"};

void runSql(const std::string& archive, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(archive.c_str(), &db);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

// A report's rows and totals, without From, To and the days: what a
// period's sessions add up to, however a clock spreads them over days.
std::string periodTotals(const std::string& json) {
    const std::size_t from = json.find("\"links\"");
    const std::size_t to = json.find("\"unread_lines\"");
    if (from == std::string::npos || to == std::string::npos) return "no report: " + json;
    return json.substr(from, to - from);
}

std::uint64_t freeBytes(const std::string& path) {
    struct statvfs fs {};
    return ::statvfs(path.c_str(), &fs) == 0 ? std::uint64_t{fs.f_bavail} * fs.f_frsize : 0;
}

// The archive on a small file system that the run fills: from nearly no
// room up to enough, each failed run says so, cuts nothing, and leaves
// the archive and the free space as they were; no run leaves a journal
// beside it.
// Needs a tmpfs of its own (as root).
TEST(ArchiveWrites, AFailedWriteLeavesTheFileSystemAsItFoundIt) {
    testing::TimeZoneScope utc("UTC");
    ScratchDir dir;
    const std::string small = dir.file("small");
    if (!testing::mountSmallFileSystem(small, "2m"))
        GTEST_SKIP() << "no tmpfs can be mounted here (root only)";
    const std::string archive = small + "/archive.db";
    const std::string ctl = writeNode(dir, "node", "Archive " + archive + "\nCutHistory 30\n");
    ASSERT_EQ(ravlogOn(ctl, endDay - 60).status, 0);
    const std::string recorded = slurp(archive);
    const std::string history = slurp(dir.file("node/binkd.his"));
    int failures = 0;
    bool written = false;
    for (std::uint64_t room = 4096; !written && room < 2048 * 1024; room *= 2) {
        ASSERT_TRUE(std::ofstream(archive, std::ios::binary) << recorded);
        const std::uint64_t space = freeBytes(small);
        ASSERT_GT(space, room);
        ASSERT_TRUE(std::ofstream(small + "/filler") << std::string(space - room, 'x'));
        const std::uint64_t before = freeBytes(small);
        const ProgramResult r = ravlogOn(ctl, endDay + 1);
        written = r.status == 0;
        if (!written) {
            ++failures;
            EXPECT_EQ(r.status, 255) << room;
            EXPECT_NE(r.err.find("Can't write archive " + archive + ": disk full"),
                      std::string::npos)
                << r.err;
            EXPECT_EQ(slurp(archive), recorded) << room;
            EXPECT_EQ(freeBytes(small), before) << room;
            EXPECT_EQ(slurp(dir.file("node/binkd.his")), history) << room;
        }
        // Nor after a run that wrote it.
        for (const char* beside : {"-journal", "-wal", "-shm"})
            EXPECT_FALSE(std::filesystem::exists(archive + beside)) << beside << " " << room;
        std::filesystem::remove(small + "/filler");
    }
    ::umount2(small.c_str(), MNT_DETACH);
    EXPECT_TRUE(written);
    EXPECT_GE(failures, 3);
}

// A reader of another user, who may read the archive but not write beside
// it, reads it as its writer does: alone, and while a writer holds a
// transaction open. Root runs it as nobody.
TEST(ArchiveWrites, AReaderWithoutWriteAccessReadsWhileRavlogWrites) {
    if (::geteuid() != 0) GTEST_SKIP() << "reading as another user needs root";
    testing::TimeZoneScope utc("UTC");
    ScratchDir dir;
    const std::string archive = dir.file("archive.db");
    const std::string full = pondrelOn(writeNode(dir, "full", ""), wholeYear);
    const std::string ctl = writeNode(dir, "node", "Archive " + archive + "\nCutHistory 30\n");
    ASSERT_EQ(ravlogOn(ctl, endDay + 1).status, 0);
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
        ASSERT_EQ(::chmod(e.path().c_str(), e.is_directory() ? 0755 : 0644), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const auto asNobody = [] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(127);
    };
    for (const bool writing : {false, true}) {
        sqlite3* writer = nullptr;
        if (writing) {
            sqlite3_open(archive.c_str(), &writer);
            ASSERT_EQ(sqlite3_exec(writer,
                                   "BEGIN IMMEDIATE; DELETE FROM traffic; DELETE FROM day_sums;"
                                   " DELETE FROM days;",
                                   nullptr, nullptr, nullptr),
                      SQLITE_OK);
        }
        const ProgramResult r = finishChild(startInChild(
            [&] {
                return ProgramResult{pondrelOn(ctl, wholeYear), "", 0};
            },
            asNobody));
        EXPECT_EQ(r.out, full) << (writing ? "while written" : "alone");
        sqlite3_close_v2(writer);  // rolled back
    }
}

// The first night: ravlog started six times at once on an archive that is
// not there yet. The runs take the archive in turns, each succeeds, and
// only the first makes the archive and its lines.
TEST(ArchiveWrites, RunsStartedTogetherOnANewArchiveAllSucceed) {
    testing::TimeZoneScope utc("UTC");
    ScratchDir dir;
    const std::string archive = dir.file("archive.db");
    const std::string ctl = writeNode(dir, "node", "Archive " + archive + "\n");
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<testing::ChildRun> runs;
    for (int i = 0; i < 6; ++i)
        runs.push_back(startInChild([&] { return ravlogOn(ctl, endDay + 1); },
                                    [&] {
                                        ::close(go[1]);
                                        char c;
                                        while (::read(go[0], &c, 1) > 0) {
                                        }
                                    }));
    ::close(go[1]);  // all go
    ::close(go[0]);
    std::string said;
    for (const testing::ChildRun& run : runs) {
        const ProgramResult r = finishChild(run);
        EXPECT_EQ(r.status, 0) << r.err;
        said += r.out;
    }
    std::string once = "Created archive " + archive + "\n";
    for (const char* history : {"binkd.his", "plain28.his", "long100.his", "brake.his",
                                "pair116.ohs", "status64.his", "wide316.his", "dated104.ohs"})
        once += "Archive " + archive + ": new line " + dir.file("node/") + history + "\n";
    EXPECT_EQ(said, once);
}

// The archive's lines and days as the transcript shows them.
std::string linesOf(const std::string& archive) {
    sqlite3* db = nullptr;
    std::string text;
    if (sqlite3_open_v2(archive.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_exec(
            db,
            "SELECT history, (SELECT count(*) FROM days WHERE line = id) FROM lines ORDER BY id",
            [](void* out, int, char** values, char**) {
                *static_cast<std::string*>(out) +=
                    std::string("  line ") + values[0] + ", " + values[1] + " days\n";
                return 0;
            },
            &text, nullptr);
    }
    sqlite3_close(db);
    return text;
}

// One run after another over one BinkD line, the history written as the
// row says, the archive as named: what ravlog says of new archives and
// lines, and the lines the archive then holds, against
// tests/data/archive/creations.txt (D the scratch directory). The same
// file spelt another way is the same line, also where an older run kept
// another spelling, with days or without.
TEST(ArchiveWrites, NewArchivesAndLinesAreSaidAndSpellingsOfAHistoryAreOneLine) {
    testing::TimeZoneScope utc("UTC");
    ScratchDir dir;
    writeNode(dir, "node", "");
    std::filesystem::create_directory(dir.file("node/sub"));
    struct Case {
        std::string history;
        std::string archive;
        std::string sqlBefore;  // D stands for the scratch directory
    };
    const Case cases[] = {
        {"D/node/binkd.his", "archive.db", ""},
        {"D/node/./binkd.his", "archive.db", ""},
        {"D//node//binkd.his", "archive.db", ""},
        {"D/node/binkd.his", "archive.db", "UPDATE lines SET history = 'D/./node/binkd.his'"},
        {"D/node/binkd.his", "archive.db",
         "INSERT INTO lines(history) VALUES('D//node/binkd.his');"
         " UPDATE traffic SET line = 2 WHERE day > '2024-06-01';"
         " UPDATE day_sums SET line = 2 WHERE day > '2024-06-01';"
         " UPDATE days SET line = 2 WHERE day > '2024-06-01';"},
        {"D/node/sub/../binkd.his", "archive.db", ""},
        {"D/node/binkd.his", "typo.db", ""},
    };
    // D for the directory, and back.
    const auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
            text.replace(at, from.size(), to);
        return text;
    };
    const auto inDir = [&](const std::string& text) {
        return replaced(text, "D/", dir.path() + "/");
    };
    std::string transcript;
    for (const Case& c : cases) {
        const std::string archive = dir.file(c.archive);
        if (!c.sqlBefore.empty()) runSql(archive, inDir(c.sqlBefore));
        ASSERT_TRUE(dir.write("ravlog.ctl", "[COMMON]\nArchive " + archive + "\nAddr 2:*\nOutput " +
                                                dir.file("r.out") + "\nPondrel " +
                                                dir.file("r.lnk") + "\nSessionStat " +
                                                dir.file("r.ses") + "\n[LINE]\nHistory " +
                                                inDir(c.history) + ",2,1\n"));
        const ProgramResult r = ravlogOn(dir.file("ravlog.ctl"), endDay + 1);
        EXPECT_EQ(r.err.find("archive"), std::string::npos) << r.err;
        transcript += "History " + c.history + ", Archive D/" + c.archive +
                      (c.sqlBefore.empty() ? "" : ", after " + c.sqlBefore) + "\n" + r.out +
                      linesOf(archive);
    }
    EXPECT_EQ(replaced(transcript, dir.path(), "D"),
              slurp(std::string(RV_SOURCE_DIR) + "/tests/data/archive/creations.txt"));
}

// The gap the issue met: the archive removed after a month of runs, and a
// line whose history is gone. The next run says it made a new archive, and
// pondrel's JSON report and page name the days of the period each line
// took from it (tests/data/archive/gap.txt, D the scratch directory).
TEST(ArchiveWrites, PondrelSaysWhichDaysOfThePeriodCameFromTheArchive) {
    testing::TimeZoneScope utc("UTC");
    ScratchDir dir;
    const std::string archive = dir.file("archive.db");
    const std::string ctl = writeNode(dir, "node", "Archive " + archive + "\nCutHistory 30\n");
    ASSERT_TRUE(std::ofstream(ctl, std::ios::app)
                << "[LINE]\nHistory " << dir.file("gone.his") << "\n");
    ravlogOn(ctl, endDay - 40);
    std::filesystem::remove(archive);
    EXPECT_EQ(ravlogOn(ctl, endDay + 1).out.rfind("Created archive " + archive + "\n", 0), 0u);
    const std::vector<std::string> period = {"-b1.4.2024", "-e30.6.2024"};
    const auto part = [](const std::string& text, const std::string& from, const std::string& to) {
        const std::size_t at = text.find(from);
        return at == std::string::npos ? "no " + from + "\n"
                                       : text.substr(at, text.find(to, at) + to.size() - at);
    };
    std::vector<std::string> json = period, html = period;
    json.push_back("-fjson");
    html.push_back("-fhtml");
    std::string said =
        part(testing::pondrelReport(ctl, json), "\"archive\"", "\n]}") + "\n" +
        part(testing::pondrelReport(ctl, html), "<h2>Day archive", "</table></div>\n");
    for (std::size_t at = 0; (at = said.find(dir.path(), at)) != std::string::npos; ++at)
        said.replace(at, dir.path().size(), "D");
    EXPECT_EQ(said, slurp(std::string(RV_SOURCE_DIR) + "/tests/data/archive/gap.txt"));
}

// Nightly runs over two weeks with the archive, every line's TimeShift
// changed twice on the way: up by 3 hours on a day run twice, between its
// runs, and down by 5 hours five days later. The period counts each
// session once: the archive's days, and the history's records after
// them, add up to the sums of the histories read alone.
TEST(ArchiveWrites, ATimeShiftChangedBetweenRunsCountsEverySessionOnce) {
    testing::TimeZoneScope utc("UTC");
    ScratchDir dir;
    const std::string full = periodTotals(pondrelOn(writeNode(dir, "full", ""), wholeYear));
    const std::string archive = dir.file("archive.db");
    const std::string ctl = writeNode(dir, "node", "Archive " + archive + "\nTimeShift 0\n");
    const std::string config = slurp(ctl);
    const auto shift = [&](const char* hours) {
        std::string text = config;
        text.replace(text.find("TimeShift 0"), 11, std::string("TimeShift ") + hours);
        ASSERT_TRUE(std::ofstream(ctl) << text);
    };
    for (std::int64_t d = endDay - 14; d <= endDay + 1; ++d) {
        if (d == endDay - 10) {
            EXPECT_EQ(ravlogOn(ctl, d).err.find("archive"), std::string::npos);
            shift("3");
        }
        if (d == endDay - 5) shift("-2");
        const ProgramResult r = ravlogOn(ctl, d);
        EXPECT_EQ(r.err.find("archive"), std::string::npos) << dayText(d) << r.err;
        // Whatever clock the days were recorded in.
        EXPECT_EQ(periodTotals(pondrelOn(ctl, wholeYear)), full) << dayText(d);
    }
}

}  // namespace
}  // namespace rv
