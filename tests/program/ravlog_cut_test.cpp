// History cutting as the operator meets it: ravlog run from cron on the
// configured histories (TZ=UTC, so that the run day's midnight is known
// here), with the files checked byte for byte afterwards. Expected files
// are built from the records that the rules keep.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_group.h"
#include "run_program.h"
#include "same_text.h"
#include "scratch_dir.h"
#include "tools/history_writer.h"

namespace rv {
namespace {

using histgen::Bytes;
using histgen::HistoryWriter;
using testing::ProgramResult;
using testing::ScratchDir;
using testing::slurp;
using T = HistoryType;

const std::string ravlogPath = testing::builtProgram("ravlog");
constexpr std::int64_t day = 86400;

// Today's midnight in UTC, away from the turn of the day so that ravlog,
// started a moment later, has the same one.
std::int64_t runMidnight() {
    std::time_t now = std::time(nullptr);
    if (now % day > day - 30) {
        std::this_thread::sleep_for(std::chrono::seconds(day - now % day + 1));
        now = std::time(nullptr);
    }
    return now - now % day;
}

SessionRecord session(std::int16_t node, std::int64_t start) {
    SessionRecord r;
    r.address = {2, 5020, node, 0};
    r.startTime = static_cast<std::uint32_t>(start);
    r.duration = 120;
    r.bytesReceived = 5000;
    r.bytesSent = 300;
    r.spare = static_cast<std::uint16_t>(0x5A00 + node);
    r.flags = SessionFlags::outgoing | SessionFlags::normal;
    r.cost = 0xABCD0000u + static_cast<std::uint32_t>(node);
    for (std::size_t i = 0; i < r.extension.size(); ++i)
        r.extension[i] = static_cast<std::uint8_t>(0x80 + node + i);
    return r;
}

Bytes historyOf(HistoryType type, const std::vector<SessionRecord>& records) {
    HistoryWriter w(type);
    for (const SessionRecord& r : records)
        w.session(r);
    return w.bytes();
}

Bytes fileBytes(const std::string& path) {
    std::string s = slurp(path);
    return Bytes(s.begin(), s.end());
}

ProgramResult ravlog(const ScratchDir& dir, const std::vector<std::string>& args = {}) {
    return testing::runProgram(ravlogPath, args, dir.path(), {"TZ=UTC"});
}

const std::string common = "[COMMON]\nAddr 2:5020/*\n";

// The cut limit as ravlog's line after a cut shows it (TZ=UTC).
std::string limitText(std::int64_t t) {
    std::tm tm{};
    const std::time_t time = t;
    ::gmtime_r(&time, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

// Copies that a run left beside its histories (named <history>.<seconds>).
std::vector<std::string> copiesLeft(const ScratchDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = e.path().filename().string();
        if (name.find(".his.") != std::string::npos) names.push_back(name);
    }
    return names;
}

TEST(RavlogCut, KeepsTheRunDayAndTheDaysBeforeIt) {
    const std::int64_t m = runMidnight();
    ScratchDir dir;
    const std::vector<SessionRecord> one = {session(1, m - 1), session(2, m), session(3, m + 60)};
    const std::vector<SessionRecord> seven = {session(4, m - 6 * day - 1), session(5, m - 6 * day),
                                              session(6, m - 1), session(7, m + 60)};
    ASSERT_TRUE(dir.write("one.his", historyOf(T::plain28, one)));
    ASSERT_TRUE(dir.write("seven.his", historyOf(T::plain28, seven)));
    ASSERT_TRUE(dir.write("ravlog.ctl", common + "[LINE]\nHistory one.his\nCutHistory 1\n"
                                                 "[LINE]\nHistory seven.his\nCutHistory 7\n"));
    ProgramResult run = ravlog(dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(fileBytes(dir.file("one.his")), historyOf(T::plain28, {one[1], one[2]}));
    EXPECT_EQ(fileBytes(dir.file("seven.his")),
              historyOf(T::plain28, {seven[1], seven[2], seven[3]}));
    EXPECT_EQ(copiesLeft(dir), std::vector<std::string>{});
}

TEST(RavlogCut, LongRecordsKeepHeaderExtensionAndTruncatedTail) {
    const std::int64_t m = runMidnight();
    ScratchDir dir;
    const std::vector<SessionRecord> records = {session(1, m - 3 * day), session(2, m + 10),
                                                session(3, m - 2 * day), session(4, m + 20)};
    // The last record is cut off after its start time: it reads as old,
    // but a record that is not whole is never judged.
    const Bytes tail = historyOf(T::long100, {session(5, m - 5 * day)});
    const Bytes truncated(tail.begin() + 2, tail.begin() + 2 + 50);
    Bytes original = historyOf(T::long100, records);
    original.insert(original.end(), truncated.begin(), truncated.end());
    ASSERT_TRUE(dir.write("long.his", original));
    ASSERT_TRUE(dir.write("ravlog.ctl", common + "CutHistory 1\n[LINE]\nHistory long.his\n"));
    ProgramResult run = ravlog(dir);
    EXPECT_EQ(run.status, 0) << run.err;
    Bytes expected = historyOf(T::long100, {records[1], records[3]});
    expected.insert(expected.end(), truncated.begin(), truncated.end());
    EXPECT_EQ(fileBytes(dir.file("long.his")), expected);
    EXPECT_EQ(run.err.find("Can't cut"), std::string::npos) << run.err;
}

TEST(RavlogCut, OtherFormatsAndPairsAreNeverChanged) {
    const std::int64_t m = runMidnight();
    ScratchDir dir;
    // The first time is a midnight, whose low byte is 0 every other day:
    // the 316-byte history is told by it all the same, and left alone.
    const std::vector<SessionRecord> records = {session(1, m - 40 * day), session(2, m - 2 * day),
                                                session(3, m + 30)};
    HistoryWriter dated(T::dated104);
    dated.datedDummy(static_cast<std::uint32_t>(m - 50 * day));
    for (const SessionRecord& r : records)
        dated.session(r);
    const std::vector<std::pair<std::string, Bytes>> files = {
        {"brake.his", historyOf(T::brake, records)},
        {"p116.ohs", historyOf(T::pair116, records)},
        {"p116.ihs", historyOf(T::pair116, records)},
        {"status.his", historyOf(T::status64, records)},
        {"wide.his", historyOf(T::wide316, records)},
        {"p104.ohs", dated.bytes()},
        {"p104.ihs", historyOf(T::dated104, records)},
    };
    std::string ctl = common + "CutHistory 1\n";
    for (const auto& [name, bytes] : files) {
        ASSERT_TRUE(dir.write(name, bytes));
        if (name.find(".ihs") == std::string::npos) ctl += "[LINE]\nHistory " + name + "\n";
    }
    ASSERT_TRUE(dir.write("ravlog.ctl", ctl));
    ProgramResult run = ravlog(dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    for (const auto& [name, bytes] : files)
        EXPECT_EQ(fileBytes(dir.file(name)), bytes) << name;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}),
              static_cast<std::ptrdiff_t>(files.size() + 4));  // the .ctl and three reports
}

TEST(RavlogCut, LineValueOverridesCommonAndNegativeDaysKeepEverything) {
    const std::int64_t m = runMidnight();
    ScratchDir dir;
    // 1971 is older than any limit of up to 32767 days, but not of 65531.
    const std::vector<SessionRecord> records = {session(1, 400 * day), session(2, m - 40 * day),
                                                session(3, m - 29 * day), session(4, m + 30)};
    const Bytes original = historyOf(T::plain28, records);
    for (const char* name : {"off.his", "common.his", "unset.his", "negative.his"})
        ASSERT_TRUE(dir.write(name, original));
    ASSERT_TRUE(dir.write("ravlog.ctl", common + "CutHistory 30\n"
                                                 "[LINE]\nHistory off.his\nCutHistory 0\n"
                                                 "[LINE]\nHistory common.his\n"
                                                 "[LINE]\nHistory unset.his\nCutHistory -1\n"
                                                 "[LINE]\nHistory negative.his\nCutHistory -5\n"));
    ProgramResult run = ravlog(dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const Bytes thirtyDays = historyOf(T::plain28, {records[2], records[3]});
    EXPECT_EQ(fileBytes(dir.file("off.his")), original);
    EXPECT_EQ(fileBytes(dir.file("common.his")), thirtyDays);
    EXPECT_EQ(fileBytes(dir.file("unset.his")), thirtyDays);
    EXPECT_EQ(fileBytes(dir.file("negative.his")), original);
    EXPECT_EQ(copiesLeft(dir), std::vector<std::string>{});
}

TEST(RavlogCut, ReportOfAnOldDayListsItsSessionsAndTheSameRunRemovesThem) {
    const std::int64_t m = runMidnight();
    ScratchDir dir;
    const std::int64_t old = m - 10 * day;
    const std::vector<SessionRecord> records = {session(11, old + 10 * 3600 + 15 * 60),
                                                session(12, old + 11 * 3600 + 20 * 60),
                                                session(13, m + 5)};
    ASSERT_TRUE(dir.write("hist.his", historyOf(T::plain28, records)));
    ASSERT_TRUE(dir.write("ravlog.ctl", common + "[LINE]\nHistory hist.his\nCutHistory 3\n"));
    ProgramResult run = ravlog(dir, {"-d-10"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string sessions = slurp(dir.file("ravlog.ses"));
    EXPECT_NE(sessions.find("║  10:15:00  │ Out │  2:5020/11"), std::string::npos) << sessions;
    EXPECT_NE(sessions.find("║  11:20:00  │ Out │  2:5020/12"), std::string::npos) << sessions;
    EXPECT_EQ(fileBytes(dir.file("hist.his")), historyOf(T::plain28, {records[2]}));
}

TEST(RavlogCut, RecordsTheReportsIgnoreStayUnlessTheirTimeIsOld) {
    const std::int64_t m = runMidnight();
    ScratchDir dir;
    auto zoneZero = [](SessionRecord r) {
        r.address.zone = 0;
        return r;
    };
    auto badNet = [](SessionRecord r) {
        r.address.net = -1;
        return r;
    };
    SessionRecord unreadable = session(9, 0);
    unreadable.startTime = 0xFFFFFF00u;  // before 1970 as a signed time: no date at all
    const std::vector<SessionRecord> records = {zoneZero(session(1, m + 60)),
                                                zoneZero(session(2, m - 3 * day)),
                                                badNet(session(3, m + 120)),
                                                badNet(session(4, m - 3 * day)),
                                                unreadable,
                                                session(5, m - 3 * day),
                                                session(6, m + 180)};
    ASSERT_TRUE(dir.write("hist.his", historyOf(T::plain28, records)));
    ASSERT_TRUE(dir.write("ravlog.ctl", common + "[LINE]\nHistory hist.his\nCutHistory 1\n"));
    ProgramResult run = ravlog(dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("Can't cut"), std::string::npos) << run.err;
    EXPECT_EQ(fileBytes(dir.file("hist.his")),
              historyOf(T::plain28, {records[0], records[2], records[4], records[6]}));
}

TEST(RavlogCut, JournalNameTakenByAnotherFileWarnsAndChangesNothing) {
    // Somebody else's file where the journal would go is never read as a
    // journal, removed or written: the history is just not cut.
    const std::int64_t m = runMidnight();
    for (const std::string& other :
         {std::string("notes of the sysop\n"), std::string(3000, '\xFF')}) {
        ScratchDir dir;
        const Bytes original = historyOf(T::plain28, {session(1, m - 5 * day), session(2, m + 1)});
        ASSERT_TRUE(dir.write("hist.his", original));
        ASSERT_TRUE(dir.write("hist.his.journal", other));
        ASSERT_TRUE(dir.write("ravlog.ctl", common + "[LINE]\nHistory hist.his\nCutHistory 2\n"));
        ProgramResult run = ravlog(dir);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err,
                  "Can't cut hist.his: can't create its journal hist.his.journal: File exists\n");
        EXPECT_EQ(fileBytes(dir.file("hist.his")), original);
        EXPECT_EQ(slurp(dir.file("hist.his.journal")), other);
    }
}

TEST(RavlogCut, NameTooLongForTheTemporaryFileWarnsAndChangesNothing) {
    const std::int64_t m = runMidnight();
    ScratchDir dir;
    const std::string name(250, 'h');
    const Bytes original = historyOf(T::plain28, {session(1, m - 5 * day), session(2, m + 1)});
    ASSERT_TRUE(dir.write(name, original));
    ASSERT_TRUE(dir.write("ravlog.ctl", common + "[LINE]\nHistory " + name + "\nCutHistory 1\n"));
    ProgramResult run = ravlog(dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "Can't cut " + name + ": can't create its journal " + name +
                           ".journal: File name too long\n");
    EXPECT_EQ(fileBytes(dir.file(name)), original);
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().rfind(name + ".", 0), std::string::npos);
}

TEST(RavlogCut, TwoLinesOnOneHistoryCutItOnce) {
    const std::int64_t m = runMidnight();
    ScratchDir dir;
    const std::vector<SessionRecord> records = {session(1, m - 4 * day), session(2, m - day),
                                                session(3, m + 7)};
    ASSERT_TRUE(dir.write("hist.his", historyOf(T::plain28, records)));
    ASSERT_TRUE(dir.write("ravlog.ctl", common + "[LINE]\nHistory hist.his\nCutHistory 2\n"
                                                 "[LINE]\nHistory hist.his\nCutHistory 2\n"));
    ProgramResult run = ravlog(dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(fileBytes(dir.file("hist.his")), historyOf(T::plain28, {records[1], records[2]}));
    EXPECT_EQ(copiesLeft(dir), std::vector<std::string>{});
}

TEST(RavlogCut, LeftoverCopyOfACrashedRunIsNeitherReadNorTouched) {
    const std::int64_t m = runMidnight();
    ScratchDir dir;
    const std::vector<SessionRecord> records = {session(1, m - 3 * day), session(2, m + 9)};
    const Bytes leftover = historyOf(T::plain28, {session(999, m + 11)});
    const std::string leftoverName = "hist.his." + std::to_string(m - 2 * day + 3600);
    ASSERT_TRUE(dir.write("hist.his", historyOf(T::plain28, records)));
    ASSERT_TRUE(dir.write(leftoverName, leftover));
    ASSERT_TRUE(dir.write("ravlog.ctl", common + "[LINE]\nHistory hist.his\nCutHistory 1\n"));
    ProgramResult run = ravlog(dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(fileBytes(dir.file("hist.his")), historyOf(T::plain28, {records[1]}));
    EXPECT_EQ(fileBytes(dir.file(leftoverName)), leftover);
    EXPECT_EQ(slurp(dir.file("ravlog.ses")).find("5020/999"), std::string::npos);
}

TEST(RavlogCut, HundredByteHistoryReadAsShortRecordsIsNeverCut) {
    // Three sessions, two of them today: 302 bytes. With SupportNewFormat
    // No the file is read in 28-byte pieces, whose "dates" are parts of
    // other fields; cutting by them once left 50 bytes and lost today's
    // sessions. Such a file is left untouched, with the reason.
    const std::int64_t m = runMidnight();
    const std::vector<SessionRecord> records = {session(1, m - 40 * day), session(2, m + 60),
                                                session(3, m + 120)};
    const Bytes original = historyOf(T::long100, records);
    ASSERT_EQ(original.size(), 302u);
    struct Case {
        const char* setting;
        const char* value;
        bool cut;
    };
    for (const Case& c :
         {Case{"", "long.his", true}, Case{"SupportNewFormat No\n", "long.his", false},
          Case{"SupportNewFormat No\n", "long.his,1,1", false}}) {
        SCOPED_TRACE(std::string(c.setting) + c.value);
        ScratchDir dir;
        ASSERT_TRUE(dir.write("long.his", original));
        ASSERT_TRUE(dir.write(
            "ravlog.ctl", common + c.setting + "[LINE]\nHistory " + c.value + "\nCutHistory 30\n"));
        ProgramResult run = ravlog(dir);
        // Read as 28-byte records, no session is one of the configured
        // addresses: that run ends without links reports.
        EXPECT_EQ(run.status, c.cut ? 0 : 255) << run.err;
        const std::string refused =
            "Can't cut long.his: it starts with F1 00 (100-byte records) "
            "and is read as 28-byte records, as SupportNewFormat No says\n";
        EXPECT_EQ(run.err.find(refused) != std::string::npos, !c.cut) << run.err;
        EXPECT_EQ(fileBytes(dir.file("long.his")),
                  c.cut ? historyOf(T::long100, {records[1], records[2]}) : original);
        EXPECT_EQ(copiesLeft(dir), std::vector<std::string>{});
    }
}

// A journal that a crash left beside a history, in the states the
// programs must tell apart. The crash is made by ravlog with its cut
// probe (tests/cut_fault), killed at a step found by a first run.
const std::string faultPath = testing::cutFaultProgram();
const std::string pondrelPath = testing::builtProgram("pondrel");
const std::string brimselPath = testing::builtProgram("brimsel");

// The steps of an undisturbed cut of hist.his, which holds original, by
// their names.
std::vector<std::string> cutSteps(const ScratchDir& dir, const Bytes& original) {
    const std::string log = dir.file("steps.log");
    std::vector<std::string> names;
    if (!dir.write("hist.his", original)) return names;
    testing::runProgram(faultPath, {}, dir.path(), {"TZ=UTC", "RAVLOG_CUT_PROBE=log=" + log});
    std::istringstream in(slurp(log));
    for (std::string number, name; in >> number >> name;)
        names.push_back(name);
    std::filesystem::remove(log);
    return names;
}

// Kills the cut of hist.his at the step that the predicate picks from the
// list of an undisturbed run's steps; false when none is picked.
bool crashCut(const ScratchDir& dir, const Bytes& original,
              const std::function<long(const std::vector<std::string>&)>& pick) {
    const long step = pick(cutSteps(dir, original));
    if (step < 0 || !dir.write("hist.his", original)) return false;
    return testing::runProgram(faultPath, {}, dir.path(),
                               {"TZ=UTC", "RAVLOG_CUT_PROBE=kill=" + std::to_string(step)})
               .status == -1;
}

// COUNT sessions, the first half nine days before the run day, the second
// half on it (those a cut to one day keeps).
std::vector<SessionRecord> oldThenToday(std::int64_t m, int count) {
    std::vector<SessionRecord> records;
    for (int i = 0; i < count; ++i)
        records.push_back(session(static_cast<std::int16_t>(1 + i % 5000),
                                  i < count / 2 ? m - 9 * day + i : m + i));
    return records;
}

long nth(const std::vector<std::string>& names, const std::string& name, int n) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name && --n == 0) return static_cast<long>(i);
    return -1;
}

TEST(RavlogCutJournal, FoundBesideAHistoryIsReplayedOrLeftAsItIs) {
    const std::int64_t m = runMidnight();
    // 3000 of today's sessions (two blocks of the rewrite) after 3000 old ones.
    const std::vector<SessionRecord> records = oldThenToday(m, 6000);
    const std::vector<SessionRecord> kept(records.begin() + 3000, records.end());
    const Bytes original = historyOf(T::plain28, records);
    const std::string pending =
        "An interrupted cut of hist.his is pending: the next ravlog run "
        "restores it from hist.his.journal\n";
    const auto secondRewrite = [](const std::vector<std::string>& n) {
        return nth(n, "history-write", 2);
    };
    const auto duringCopy = [](const std::vector<std::string>& n) {
        return nth(n, "journal-write", 2);
    };
    struct Case {
        const char* what;
        std::function<long(const std::vector<std::string>&)> crashAt;
        std::function<void(const ScratchDir&)> then;  // what happens before the next runs
        bool pendingSaid;                             // by brimsel and pondrel
        std::string ravlogSays;
        bool restored;  // else left as the crash (and the change) left it
    };
    const std::vector<Case> cases = {
        {"as the crash left it", secondRewrite, [](const ScratchDir&) {}, true,
         "Restored hist.his from hist.his.journal\n", true},
        {"journal damaged", secondRewrite,
         [](const ScratchDir& dir) {
             std::FILE* f = std::fopen(dir.file("hist.his.journal").c_str(), "r+b");
             ASSERT_NE(f, nullptr);
             std::fseek(f, 1024 + 5000, SEEK_SET);
             std::fputc(0x5A, f);
             std::fclose(f);
         },
         true,
         "Can't restore hist.his from hist.his.journal: the journal is damaged\n"
         "Can't cut hist.his: can't create its journal hist.his.journal: File exists\n",
         false},
        {"history replaced by a copy", secondRewrite,
         [](const ScratchDir& dir) {
             std::filesystem::copy_file(dir.file("hist.his"), dir.file("copy"));
             std::filesystem::rename(dir.file("copy"), dir.file("hist.his"));
         },
         true,
         "Can't restore hist.his from hist.his.journal: it is not the file that was being cut\n"
         "Can't cut hist.his: can't create its journal hist.his.journal: File exists\n",
         false},
        {"still written by the copy", duringCopy, [](const ScratchDir&) {}, false,
         "Removed the unfinished journal hist.his.journal: hist.his was not changed\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        ASSERT_TRUE(dir.write("ravlog.ctl", common + "[LINE]\nHistory hist.his\nCutHistory 1\n"));
        ASSERT_TRUE(crashCut(dir, original, c.crashAt));
        c.then(dir);
        const Bytes left = fileBytes(dir.file("hist.his"));
        const Bytes journal = fileBytes(dir.file("hist.his.journal"));
        ASSERT_FALSE(journal.empty());
        // The programs that only read say what is pending and read the file as it is.
        for (const std::string& reader : {brimselPath, pondrelPath}) {
            const ProgramResult r = testing::runProgram(reader, {}, dir.path());
            EXPECT_EQ(r.status, 0) << reader << r.err;
            EXPECT_EQ(r.err.find(pending) != std::string::npos, c.pendingSaid) << reader << r.err;
        }
        EXPECT_EQ(fileBytes(dir.file("hist.his")), left);
        const ProgramResult run = ravlog(dir);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, c.ravlogSays);
        if (c.restored) {
            EXPECT_EQ(fileBytes(dir.file("hist.his")), historyOf(T::plain28, kept));
            EXPECT_EQ(copiesLeft(dir), std::vector<std::string>{});
        } else {
            EXPECT_EQ(fileBytes(dir.file("hist.his")), left);
            EXPECT_EQ(fileBytes(dir.file("hist.his.journal")), journal);
        }
    }
}

// A cut that drops every record keeps nothing: its journal holds headers
// and no content. Killed at any step, the next run finishes the cut.
TEST(RavlogCutJournal, ACutToNothingIsFinishedAfterAKillAtAnyStep) {
    const std::int64_t m = runMidnight();
    const Bytes original =
        historyOf(T::plain28, {session(1, m - 9 * day), session(2, m - 8 * day + 60)});
    std::size_t steps = 0;
    for (std::size_t step = 0; step == 0 || step < steps; ++step) {
        SCOPED_TRACE("killed at step " + std::to_string(step));
        ScratchDir dir;
        ASSERT_TRUE(dir.write("ravlog.ctl", common + "[LINE]\nHistory hist.his\nCutHistory 1\n"));
        ASSERT_TRUE(crashCut(dir, original, [&](const std::vector<std::string>& names) {
            steps = names.size();
            return static_cast<long>(step);
        }));
        // Restored or cut, the history is empty before its day is read.
        const ProgramResult run = ravlog(dir, {"-d-9"});
        EXPECT_EQ(run.err.find("Can't"), std::string::npos) << run.err;
        EXPECT_EQ(fileBytes(dir.file("hist.his")), Bytes{});
        EXPECT_EQ(copiesLeft(dir), std::vector<std::string>{});
    }
    EXPECT_GT(steps, 5u);
}

TEST(RavlogCutJournal, JournalOfARunningCutIsNotTouched) {
    // Another run holds the journal's lock: it is cutting right now.
    const std::int64_t m = runMidnight();
    ScratchDir dir;
    const Bytes original = historyOf(T::plain28, {session(1, m - 5 * day), session(2, m + 1)});
    ASSERT_TRUE(dir.write("hist.his", original));
    ASSERT_TRUE(dir.write("ravlog.ctl", common + "[LINE]\nHistory hist.his\nCutHistory 1\n"));
    ASSERT_TRUE(dir.write("hist.his.journal", std::string()));
    const int fd = ::open(dir.file("hist.his.journal").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const ProgramResult run = ravlog(dir);
    ::close(fd);
    EXPECT_EQ(run.err,
              "Can't cut hist.his: can't create its journal hist.his.journal: File exists\n");
    EXPECT_EQ(fileBytes(dir.file("hist.his")), original);
    EXPECT_TRUE(std::filesystem::exists(dir.file("hist.his.journal")));
    // Once that run is gone, an empty journal is one it never began to write.
    const ProgramResult next = ravlog(dir);
    EXPECT_EQ(next.err,
              "Removed the unfinished journal hist.his.journal: hist.his was not changed\n");
    EXPECT_EQ(fileBytes(dir.file("hist.his")), historyOf(T::plain28, {session(2, m + 1)}));
    EXPECT_EQ(next.out.substr(next.out.find("Cut ")),
              "Cut hist.his: 1 records dropped, 1 kept, limit " + limitText(m) + "\n");
}

TEST(RavlogCutJournal, ReadersDuringACutWaitAndSeeItsResult) {
    // 6000 old sessions and 6000 of today's: 168 KB to keep, three blocks of
    // the rewrite. The cut stops itself with the history half rewritten
    // (under its lock), then again while it holds the history's lease just
    // before the shortening (kept records twice in the file); pondrel and
    // brimsel, started then, must wait and read what the cut leaves, and
    // never fail to open the history or call the running cut interrupted.
    const std::int64_t m = runMidnight();
    const std::vector<SessionRecord> records = oldThenToday(m, 12000);
    const std::vector<SessionRecord> kept(records.begin() + 6000, records.end());
    const Bytes original = historyOf(T::plain28, records);
    ScratchDir dir{testing::fastestBase()};
    ASSERT_TRUE(dir.write("ravlog.ctl", common + "[LINE]\nHistory hist.his\nCutHistory 1\n"));
    const std::vector<std::string> names = cutSteps(dir, original);
    const std::vector<std::string> pondrelArgs = {"-fcsv"};
    using namespace std::chrono_literals;
    for (const long stop : {nth(names, "history-write", 2), nth(names, "history-truncate", 1)}) {
        SCOPED_TRACE("stopped before step " + std::to_string(stop) + ", " + names.at(stop));
        ASSERT_TRUE(dir.write("hist.his", original));
        for (const char* out : {"cut.out", "pondrel.out", "brimsel.out"})
            std::filesystem::remove(dir.file(out));
        testing::ChildGroup cut, pondrel, brimsel;
        ASSERT_TRUE(cut.start(faultPath, {}, dir.path(),
                              {"TZ=UTC", "RAVLOG_CUT_PROBE=stop=" + std::to_string(stop)},
                              dir.file("cut.out")));
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!cut.stopped() && cut.running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        ASSERT_TRUE(cut.stopped()) << slurp(dir.file("cut.out"));
        ASSERT_TRUE(pondrel.start(pondrelPath, pondrelArgs, dir.path(), {"TZ=UTC"},
                                  dir.file("pondrel.out")));
        ASSERT_TRUE(
            brimsel.start(brimselPath, {}, dir.path(), {"TZ=UTC"}, dir.file("brimsel.out")));
        // Long enough for both to reach the history; they cannot read it yet.
        std::this_thread::sleep_for(300ms);
        EXPECT_TRUE(pondrel.running() && !pondrel.waitExit(0ms, nullptr));
        EXPECT_TRUE(brimsel.running() && !brimsel.waitExit(0ms, nullptr));
        cut.signal(SIGCONT);
        int status = -1;
        ASSERT_TRUE(cut.waitExit(10s, &status));
        EXPECT_EQ(status, 0);
        for (testing::ChildGroup* reader : {&pondrel, &brimsel}) {
            ASSERT_TRUE(reader->waitExit(10s, &status));
            EXPECT_EQ(status, 0);
        }
        const std::string said = slurp(dir.file("cut.out"));
        EXPECT_NE(said.find("Cut hist.his: 6000 records dropped, 6000 kept"), std::string::npos)
            << said;
        EXPECT_EQ(said.find("Shortened"), std::string::npos) << said;
        EXPECT_EQ(fileBytes(dir.file("hist.his")), historyOf(T::plain28, kept));
        // What each reads of the cut history now, undisturbed.
        const ProgramResult after = testing::runProgram(pondrelPath, pondrelArgs, dir.path());
        EXPECT_TRUE(testing::sameText(slurp(dir.file("pondrel.out")), after.err + after.out));
        EXPECT_NE(after.out.find(",6000,"), std::string::npos) << after.out;
        const ProgramResult dump = testing::runProgram(brimselPath, {}, dir.path());
        EXPECT_TRUE(testing::sameText(slurp(dir.file("brimsel.out")), dump.out + dump.err));
    }
}

// Records spread evenly from 20 days before the run day to its end.
std::vector<SessionRecord> threeWeeks(std::int64_t m, int count) {
    std::vector<SessionRecord> records;
    for (int i = 0; i < count; ++i)
        records.push_back(
            session(static_cast<std::int16_t>(1 + i % 5), m - 20 * day + i * (21 * day / count)));
    return records;
}

TEST(RavlogCutFaults, FileSizeLimitStopsTheCopyAndLeavesTheHistoryWhole) {
    // About 190 KB of records to keep; files may grow to 96 KB only
    // (the reports stay below that).
    const std::int64_t m = runMidnight();
    ScratchDir dir;
    const Bytes original = historyOf(T::long100, threeWeeks(m, 4000));
    ASSERT_TRUE(dir.write("hist.his", original));
    ASSERT_TRUE(dir.write("ravlog.ctl", common + "[LINE]\nHistory hist.his\nCutHistory 10\n"));
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    limited.rlim_cur = 96 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    ProgramResult run = ravlog(dir);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err,
              "Can't cut hist.his: can't write its journal hist.his.journal: File too large\n");
    EXPECT_EQ(fileBytes(dir.file("hist.his")), original);
    EXPECT_GT(std::filesystem::file_size(dir.file("ravlog.ses")), 0u);
    EXPECT_EQ(copiesLeft(dir), std::vector<std::string>{});
}

TEST(RavlogCutFaults, FullFilesystemStopsTheCopyAndLeavesTheHistoryWhole) {
    // A 256 KB file system of its own (a private mount, so nothing is left
    // behind), holding a 196 KB history of which 112 KB are to be kept.
    const std::int64_t m = runMidnight();
    ScratchDir dir;
    const Bytes original = historyOf(T::plain28, threeWeeks(m, 7000));
    ASSERT_TRUE(
        dir.write("ravlog.ctl", common + "[LINE]\nHistory small/hist.his\nCutHistory 12\n"));
    std::filesystem::create_directory(dir.file("small"));
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", dir.file("small").c_str(), "tmpfs", 0, "size=256k") != 0)
            ::_exit(77);
        if (!dir.write("small/hist.his", original)) ::_exit(2);
        ProgramResult run = ravlog(dir);
        std::string names;
        for (const auto& e : std::filesystem::directory_iterator(dir.file("small")))
            names += e.path().filename().string() + "\n";
        const std::string history = slurp(dir.file("small/hist.his"));
        const bool saved = dir.write("after.his", Bytes(history.begin(), history.end())) &&
                           dir.write("names", names) && dir.write("err", run.err);
        ::_exit(saved && run.status == 0 ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private tmpfs mount here";
    ASSERT_EQ(WEXITSTATUS(status), 0) << slurp(dir.file("err"));
    EXPECT_EQ(slurp(dir.file("err")),
              "Can't cut small/hist.his: can't write its journal small/hist.his.journal: No space "
              "left on device\n");
    EXPECT_EQ(fileBytes(dir.file("after.his")), original);
    EXPECT_EQ(slurp(dir.file("names")), "hist.his\n");
}

}  // namespace
}  // namespace rv
