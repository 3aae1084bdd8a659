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
        ASSERT_GT(freeBytes(small), room);
        ASSERT_TRUE(std::ofstream(small + "/filler") << std::string(freeBytes(small) - room, 'x'));
        const std::uint64_t before = freeBytes(small);
        const ProgramResult r = ravlogOn(ctl, endDay + 1);
        written = r.status == 0;
        failures += !written;
        if (!written) {
            EXPECT_EQ(std::vector({r.err.find("Can't write archive " + archive + ": disk full") !=
                                       std::string::npos,
                                   slurp(archive) == recorded, freeBytes(small) == before,
                                   slurp(dir.file("node/binkd.his")) == history}),
                      std::vector(4, true))
                << room << " bytes free: said, archive, free space, history as before\n"
                << r.err;
        }
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
        sqlite3_open(archive.c_str(), &writer);
        if (writing)
            sqlite3_exec(writer, "BEGIN IMMEDIATE; DELETE FROM traffic; DELETE FROM day_sums;",
                         nullptr, nullptr, nullptr);
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
// only the first makes the archive and its lines: together they say what
// one run alone says.
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
    // What one run alone says on a new archive.
    std::filesystem::remove(archive);
    EXPECT_EQ(said, ravlogOn(ctl, endDay + 1).out);
    EXPECT_NE(said, "");
}

// The archive's lines and their days, for the transcript below, after
// the SQL given is run on it.
std::string linesOf(const std::string& archive, const std::string& sql) {
    sqlite3* db = nullptr;
    std::string text;
    sqlite3_open(archive.c_str(), &db);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_exec(
        db, "SELECT history, (SELECT count(*) FROM days WHERE line = id) FROM lines ORDER BY id",
        [](void* out, int, char** values, char**) {
            *static_cast<std::string*>(out) +=
                std::string("  line ") + values[0] + ", " + values[1] + " days\n";
            return 0;
        },
        &text, nullptr);
    sqlite3_close(db);
    return text;
}

// Runs one after another over a BinkD line (and one whose history is
// gone), the history written as the row says, the archive as named, an
// older run's rows made first where the row says (D is the scratch
// directory): what ravlog says of new archives and lines, the lines the
// archive then holds, and what pondrel's JSON report and page say of the
// days it took from the last archive, against
// tests/data/archive/creations.txt. The same file spelt another way is
// one line, also where an older run kept another spelling, with days.
TEST(ArchiveWrites, NewArchivesAndLinesAreSaidAndSpellingsOfAHistoryAreOneLine) {
    testing::TimeZoneScope utc("UTC");
    ScratchDir dir;
    writeNode(dir, "node", "");
    std::filesystem::create_directory(dir.file("node/sub"));
    const std::string moveDays = " SET line = 2 WHERE day > '2024-06-01';";
    const std::string cases[][3] = {
        {"D/node/binkd.his", "archive.db", ""},
        {"D/node/./binkd.his", "archive.db", ""},
        {"D//node//binkd.his", "archive.db", ""},
        {"D/node/binkd.his", "archive.db", "UPDATE lines SET history = 'D/./node/binkd.his';"},
        {"D/node/binkd.his", "archive.db",
         "INSERT INTO lines(history) VALUES('D//node/binkd.his'); UPDATE traffic" + moveDays +
             " UPDATE day_sums" + moveDays + " UPDATE days" + moveDays},
        {"D/node/sub/../binkd.his", "archive.db", ""},
        {"D/node/binkd.his", "typo.db", ""},
    };
    const auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
            text.replace(at, from.size(), to);
        return text;
    };
    const std::string ctl = dir.file("ravlog.ctl");
    std::string transcript;
    for (const auto& [history, archive, sql] : cases) {
        ASSERT_TRUE(
            dir.write("ravlog.ctl", replaced("[COMMON]\nArchive D/" + archive +
                                                 "\nAddr 2:*\nOutput D/r.out\nPondrel "
                                                 "D/r.lnk\nSessionStat D/r.ses\n[LINE]\n"
                                                 "History " +
                                                 history + ",2,1\n[LINE]\nHistory D/gone.his\n",
                                             "D/", dir.path() + "/")));
        if (!sql.empty()) linesOf(dir.file(archive), replaced(sql, "D/", dir.path() + "/"));
        const ProgramResult r = ravlogOn(ctl, endDay + 1);
        EXPECT_EQ(r.err.find("archive"), std::string::npos) << r.err;
        transcript += "History " + history + ", Archive D/" + archive +
                      (sql.empty() ? "" : ", after ") + sql + "\n" + r.out +
                      linesOf(dir.file(archive), "");
    }
    const auto part = [](const std::string& text, const std::string& from, const std::string& to) {
        const std::size_t at = text.find(from);
        return at == std::string::npos ? "" : text.substr(at, text.find(to, at) + to.size() - at);
    };
    const std::vector<std::string> json = {"-b1.4.2024", "-e30.6.2024", "-fjson"};
    const std::vector<std::string> html = {"-b1.4.2024", "-e30.6.2024", "-fhtml"};
    transcript += part(testing::pondrelReport(ctl, json), "\"archive\"", "\n]}") + "\n" +
                  part(testing::pondrelReport(ctl, html), "<h2>Day archive", "</table></div>\n");
    EXPECT_EQ(replaced(transcript, dir.path(), "D"),
              slurp(std::string(RV_SOURCE_DIR) + "/tests/data/archive/creations.txt"));
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
