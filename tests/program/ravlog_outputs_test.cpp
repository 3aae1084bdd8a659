// Whole ravlog runs that must not lose anything: an output that cannot be
// opened ends the run before any report is emptied and before any history
// is cut, leaving every file as it was and nothing new beside them; and
// the cut's line names the first day it kept, across a clock change too.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "dir_snapshot.h"
#include "ravlog_runs.h"
#include "time_zone_scope.h"

namespace rv {
namespace {

using namespace rv::testing;
namespace fs = std::filesystem;

constexpr std::int64_t day = 86400;

// hist.his, outgoing sessions of 2:5020/1 at these times, cut to days.
void cutScene(const ScratchDir& dir, const std::vector<std::int64_t>& starts, int days) {
    std::string list;
    for (const std::int64_t start : starts)
        list += "2:5020/1 " + std::to_string(start) + " dur=120 rcvd=5000 flags=0x6\n";
    writeHistory(dir, "hist.his", HistoryType::plain28, list);
    ASSERT_TRUE(dir.write("ravlog.ctl", "[COMMON]\nAddr 2:5020/*\nCutHistory " +
                                            std::to_string(days) + "\n[LINE]\nHistory hist.his\n"));
}

TEST(RavlogOutputs, AnOutputThatCannotBeOpenedChangesNoFile) {
    // Yesterday's day is reported and cut away by CutHistory 1, while the
    // old reports of the day before stand in the directory; ro is a
    // directory the user may not write, holding a report the user may.
    std::time_t now = std::time(nullptr);
    if (now % day > day - 30) {  // the runs must share the day
        ::sleep(static_cast<unsigned>(day - now % day + 1));
        now = std::time(nullptr);
    }
    const std::int64_t midnight = now - now % day;
    ScratchDir dir;
    cutScene(dir, {midnight - day + 3600, midnight - 2 * day + 60, midnight + 60}, 1);
    ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0777), 0);
    ASSERT_EQ(::mkdir(dir.file("ro").c_str(), 0777), 0);
    for (const char* name : {"ravlog.ses", "ravlog.lnk", "ravlog.out", "day.json", "ro/day.json"})
        ASSERT_TRUE(dir.write(name, std::string("old ") + name + "\n"));
    // A run as root drops to nobody, who must reach and write the files.
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
        ASSERT_EQ(::chmod(e.path().c_str(), e.is_directory() ? 0777 : 0666), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(dir.file("ro").c_str(), 0555), 0);
    // The replaced JSON report keeps its mode, and the group nobody may give.
    ASSERT_EQ(::chmod(dir.file("day.json").c_str(), 0640), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(dir.file("day.json").c_str(), 0, 65534), 0);
        // The history is nobody's own, as a node's is its mailer user's:
        // only then may the cut hold it under a lease.
        ASSERT_EQ(::chown(dir.file("hist.his").c_str(), 65534, 65534), 0);
    }
    // nobody runs a copy of ravlog beside the files: the build tree may lie
    // where only root may go (a fresh machine builds under /root).
    const std::string program = dir.file("ravlog");
    fs::copy_file(ravlogPath, program);
    ASSERT_EQ(::chmod(program.c_str(), 0755), 0);
    ChildSetup nobody;
    nobody.unprivileged = true;

    const std::string missing = ": No such file or directory\n", denied = ": Permission denied\n";
    const std::string temporary = ": can't create its temporary file ";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-jnodir/day.json"}, "nodir/day.json" + missing},
        {{"-wnodir/x.html"}, "nodir/x.html" + missing},
        {{"-onodir/x.out"}, "nodir/x.out" + missing},
        {{"-enodir/x.ses"}, "nodir/x.ses" + missing},
        {{"-l+nodir/x.lnk"}, "nodir/x.lnk" + missing},
        {{"-osub"}, "sub: Is a directory\n"},
        // New text reports are not left behind, empty, by the failed run.
        {{"-enew.ses", "-lnew.lnk", "-onew.out", "-wnodir/x.html"}, "nodir/x.html" + missing},
        {{"-e+new.ses", "-jday.json", "-wro/x.html"},
         "ro/x.html" + temporary + "ro/x.html.XXXXXX" + denied},
        {{"-jro/day.json"}, "ro/day.json" + temporary + "ro/day.json.XXXXXX" + denied},
        {{"-oro/x.out"}, "ro/x.out" + denied},
        {{"-e+ro/x.ses"}, "ro/x.ses" + denied},
        {{"-lro/x.lnk"}, "ro/x.lnk" + denied},
    };
    const std::map<std::string, std::string> before = snapshot(dir.path());
    for (const auto& [outputs, err] : cases) {
        std::vector<std::string> args = {"-d-1"};
        args.insert(args.end(), outputs.begin(), outputs.end());
        SCOPED_TRACE(args.back());
        const ProgramResult r = runProgram(program, args, dir.path(), nobody);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, "Can't open " + err);
        EXPECT_EQ(r.out, ravlogBanner);
        EXPECT_EQ(snapshot(dir.path()), before);
    }

    // With outputs it may write the run cuts the history and writes every
    // report, and nothing beside them but the page.
    const ProgramResult ok =
        runProgram(program, {"-d-1", "-jday.json", "-wday.html"}, dir.path(), nobody);
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.err, "");
    EXPECT_NE(ok.out.find("Cut hist.his: 2 records dropped, 1 kept"), std::string::npos) << ok.out;
    std::map<std::string, std::string> after = snapshot(dir.path());
    for (const char* name : {"hist.his", "ravlog.ses", "ravlog.lnk", "ravlog.out", "day.json"})
        EXPECT_NE(after.at(name), before.at(name)) << name;
    const auto modeAndGroup = [](const std::string& e) {
        return e.substr(0, e.find(' ', e.find(' ') + 1));
    };
    EXPECT_EQ(modeAndGroup(after.at("day.json")), modeAndGroup(before.at("day.json")));
    EXPECT_EQ(after.erase("day.html"), 1u);
    EXPECT_EQ(after.size(), before.size());
}

// CutHistory across the end of summer time: the records are read in the
// run's daylight-saving frame, so the cut falls at the first kept day's
// midnight, and the line says that midnight.
TEST(RavlogOutputs, TheCutLimitIsTheFirstKeptDaysMidnightAcrossAClockChange) {
    const char* zone = "Europe/Berlin";
    if (!hasZoneData(zone)) GTEST_SKIP() << "no rules for " << zone;
    const TimeZoneScope berlin(zone);
    const std::time_t now = std::time(nullptr);
    std::tm today{}, first{};
    ::localtime_r(&now, &today);
    // A history time is the local clock's fields written as UTC.
    const std::int64_t todayFields =
        histgen::utcSeconds(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday);
    // The first day back whose daylight saving differs from today's.
    int days = 1;
    for (; days < 400; ++days) {
        const auto noon = static_cast<std::time_t>(todayFields - days * day + 12 * 3600);
        ::gmtime_r(&noon, &first);
        first.tm_isdst = -1;
        std::mktime(&first);
        if (first.tm_isdst != today.tm_isdst) break;
    }
    ASSERT_LT(days, 400);
    const std::int64_t firstMidnight = todayFields - days * day;
    ScratchDir dir;
    cutScene(dir, {firstMidnight - 1800, firstMidnight + 1800, todayFields + 60}, days + 1);
    const ProgramResult r = ravlog(dir, {}, zone);
    EXPECT_EQ(r.status, 0) << r.err;
    char limit[40];
    std::strftime(limit, sizeof limit, "limit %Y-%m-%d 00:00:00\n", &first);
    EXPECT_NE(r.out.find(std::string("Cut hist.his: 1 records dropped, 2 kept, ") + limit),
              std::string::npos)
        << r.out;
}

}  // namespace
}  // namespace rv
