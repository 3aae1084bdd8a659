// Whole runs in a node directory that others may write: no output, archive
// or history to cut is written through a symbolic link of another user,
// no output over a history the run reads, however it is named, and no
// archive that is no file of its own. A refused run changes nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dir_snapshot.h"
#include "ravlog_runs.h"

namespace rv {
namespace {

using namespace rv::testing;
namespace fs = std::filesystem;

// node/ holds a history of two sessions of 31 May and 1 June 2024, the
// report day, which CutHistory 30 cuts away; outside/ stands for the rest
// of the system.
std::string nodeScene(const ScratchDir& dir) {
    fs::create_directories(dir.file("node"));
    fs::create_directories(dir.file("outside"));
    writeHistory(dir, "node/hist.his", HistoryType::plain28,
                 "2:5020/1 1717156800 dur=120 rcvd=5000 flags=0x6\n"
                 "2:5020/1 1717243200 dur=120 rcvd=5000 flags=0x6\n");
    EXPECT_TRUE(dir.write(
        "node/ravlog.ctl",
        "[COMMON]\nDate 1.6.2024\nAddr 2:5020/*\nCutHistory 30\n[LINE]\nHistory hist.his\n"));
    return dir.file("node");
}

ProgramResult run(const std::vector<std::string>& programAndArgs, const std::string& dir) {
    return runProgram(builtProgram(programAndArgs[0]),
                      {programAndArgs.begin() + 1, programAndArgs.end()}, dir);
}

TEST(PlantedLinks, NoFileOutsideTheDirectoryChangesThroughAnotherUsersLink) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root gives a link to another user";
    // The link node/<name> leads to outside/<target> ("": outside itself),
    // a file holding content (none: a dangling link); the history to cut
    // is moved there.
    struct Case {
        std::vector<std::string> run;
        std::string name, target;
        const char* content;
        std::string err;
    };
    const Case cases[] = {
        {{"ravlog"}, "ravlog.ses", "nologin", nullptr, "Can't open ravlog.ses:"},
        {{"ravlog"}, "ravlog.lnk", "lnk", "old\n", "Can't open ravlog.lnk:"},
        {{"ravlog"}, "ravlog.out", "out", "old\n", "Can't open ravlog.out:"},
        {{"ravlog", "-jday.json"}, "day.json", "json", "old\n", "Can't open day.json:"},
        {{"ravlog", "-wday.html"}, "day.html", "html", nullptr, "Can't open day.html:"},
        {{"ravlog", "-osub/x.out"}, "sub", "", nullptr, "Can't open sub/x.out: sub is"},
        {{"ravlog", "-rarchive.db"}, "archive.db", "db", "", "Can't write archive archive.db:"},
        {{"ravlog"}, "hist.his", "his", nullptr, "Can't open hist.his:"},
        {{"pondrel", "-oweek.txt"}, "week.txt", "week", "old\n", "Can't open week.txt:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const std::string node = nodeScene(dir), link = node + "/" + c.name;
        const std::string target = dir.file("outside/" + c.target);
        if (fs::exists(link)) {
            fs::rename(link, target);
        } else if (c.content) {
            ASSERT_TRUE(dir.write("outside/" + c.target, std::string(c.content)));
        }
        ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
        for (const uid_t owner : {65534u, 0u}) {
            ASSERT_EQ(::lchown(link.c_str(), owner, owner), 0);
            const auto outside = snapshot(dir.file("outside")), inside = snapshot(node);
            const ProgramResult r = run(c.run, node);
            if (owner == 0) {
                EXPECT_EQ(r.status, 0) << r.err;  // the run's own link is followed
                EXPECT_NE(snapshot(dir.file("outside")), outside);
                continue;
            }
            EXPECT_EQ(r.status, 255);
            EXPECT_TRUE(r.err.ends_with(c.err + " a link owned by another user\n")) << r.err;
            EXPECT_EQ(snapshot(dir.file("outside")), outside);
            EXPECT_EQ(snapshot(node), inside);
        }
    }
}

// binkd's text log is never written: another user's link to it (as a
// log directory of the mailer's user may hold) is read, CutHistory or not.
TEST(PlantedLinks, ATextLogThroughAnotherUsersLinkIsReadAndLeft) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root gives a link to another user";
    ScratchDir dir;
    const std::string node = nodeScene(dir);
    fs::copy_file(std::string(RV_SOURCE_DIR) + "/tests/data/binkd_log/real-loglevel4.log",
                  dir.file("outside/binkd"));
    ASSERT_EQ(::symlink(dir.file("outside/binkd").c_str(), (node + "/binkd").c_str()), 0);
    ASSERT_EQ(::lchown((node + "/binkd").c_str(), 65534u, 65534u), 0);
    ASSERT_TRUE(dir.write("node/ravlog.ctl",
                          "[COMMON]\nDate 9.12.2026\nAddr 2:5020/*\nCutHistory 30\n"
                          "[LINE]\nHistory binkd\n"));
    const auto outside = snapshot(dir.file("outside"));
    const ProgramResult r = run({"ravlog"}, node);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Can't cut binkd: a text log is rotated by logrotate, not cut\n");
    EXPECT_NE(slurp(node + "/ravlog.ses").find("2:5020/3.0"), std::string::npos);
    EXPECT_EQ(snapshot(dir.file("outside")), outside);
}

TEST(PlantedLinks, NoOutputOverAHistoryAndNoArchiveThatIsNoFileOfItsOwn) {
    ScratchDir dir;
    const std::string node = nodeScene(dir);
    ASSERT_EQ(::link((node + "/hist.his").c_str(), (node + "/hard.his").c_str()), 0);
    ASSERT_EQ(::symlink("hist.his", (node + "/own.json").c_str()), 0);
    ASSERT_EQ(::mkfifo((node + "/fifo").c_str(), 0644), 0);
    ASSERT_TRUE(dir.write("node/archive.db", std::string()));
    ASSERT_EQ(::symlink("elsewhere", (node + "/archive.db-wal").c_str()), 0);
    const std::string history = ": a history the run reads\n";
    const std::string fifo = ": a FIFO, not a regular file\n";
    const std::string device = ": a device, not a regular file\n";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"ravlog", "-ohist.his"}, "Can't open hist.his" + history},
        {{"ravlog", "-e./hist.his"}, "Can't open ./hist.his" + history},
        {{"ravlog", "-lhard.his"}, "Can't open hard.his" + history},
        {{"ravlog", "-jown.json"}, "Can't open own.json" + history},
        {{"pondrel", "-ohard.his"}, "Can't open hard.his" + history},
        {{"ravlog", "-rhist.his"}, "Can't write archive hist.his" + history},
        {{"ravlog", "-rfifo"}, "Can't write archive fifo" + fifo},
        {{"pondrel", "-rfifo"}, "Can't read archive fifo" + fifo},
        {{"ravlog", "-r/dev/null"}, "Can't write archive /dev/null" + device},
        {{"pondrel", "-r/dev/null"}, "Can't read archive /dev/null" + device},
        {{"ravlog", "-rarchive.db"},
         "Can't write archive archive.db: archive.db-wal is a symbolic link\n"},
    };
    const auto before = snapshot(node);
    for (const auto& [args, err] : cases) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const ProgramResult r = run(args, node);
        EXPECT_EQ(r.status, 255);
        EXPECT_TRUE(r.err.ends_with(err)) << r.err;
        EXPECT_EQ(snapshot(node), before);
    }
    EXPECT_FALSE(fs::exists("/dev/null-journal"));
}

}  // namespace
}  // namespace rv
