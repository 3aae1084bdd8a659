// The cut's journal proven by killing. ravlog built with a probe on the
// steps of cutting (tests/cut_fault) cuts a history of 129 blocks and is
// killed with SIGKILL at step after step — or has that one step fail as on a
// full disk — while a "mailer" appends sessions before, during and after
// the cut. Then ravlog runs again (sometimes killed in its turn while it
// restores, and run once more). Every time the history must hold every
// record that the cut keeps and every appended one, each once, in order,
// byte for byte, and no journal may be left.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "run_program.h"
#include "scratch_dir.h"
#include "tools/history_writer.h"

namespace rv {
namespace {

using histgen::Bytes;
using histgen::HistoryWriter;
using testing::ProgramResult;
using testing::ScratchDir;
using testing::slurp;

const std::string ravlogPath = testing::builtProgram("ravlog");
const std::string faultPath = testing::cutFaultProgram();
constexpr std::int64_t day = 86400;
constexpr std::size_t recordSize = 28;
// The probe's block, instead of the installed ravlog's 64 KiB: the same
// steps from a sixteenth of the history, so that a run reads and writes a
// sixteenth as much. The next run, the installed ravlog, replays a journal
// written in these blocks in its own.
constexpr std::size_t stepBlock = 4096;

// Every record differs from every other, so that a lost, doubled or
// changed one shows.
SessionRecord session(std::int64_t i, std::int64_t start) {
    SessionRecord r;
    r.address = {2, static_cast<std::int16_t>(5000 + i / 20000),
                 static_cast<std::int16_t>(i % 20000), 0};
    r.startTime = static_cast<std::uint32_t>(start);
    r.duration = 60 + static_cast<std::uint32_t>(i % 600);
    r.bytesReceived = static_cast<std::uint32_t>(i * 7);
    r.bytesSent = static_cast<std::uint32_t>(i * 3);
    r.flags = SessionFlags::outgoing | SessionFlags::normal;
    return r;
}

Bytes bytesOf(const std::vector<SessionRecord>& records) {
    HistoryWriter w(HistoryType::plain28);
    for (const SessionRecord& r : records)
        w.session(r);
    return w.bytes();
}

Bytes fileBytes(const std::string& path) {
    std::error_code ec;
    Bytes b(static_cast<std::size_t>(std::filesystem::file_size(path, ec)));
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(b.size()));
    if (ec || !in) b.clear();
    return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes slice(const Bytes& b, std::size_t firstRecord, std::size_t count) {
    const auto from = b.begin() + static_cast<std::ptrdiff_t>(firstRecord * recordSize);
    return Bytes(from, from + static_cast<std::ptrdiff_t>(count * recordSize));
}

// How the history differs from the expected records.
struct Tally {
    std::size_t lost = 0, duplicated = 0, changed = 0;
    bool inOrder = false;
    bool clean() const { return lost == 0 && duplicated == 0 && changed == 0 && inOrder; }
};

Tally compare(const Bytes& history, const Bytes& expected) {
    Tally t;
    t.inOrder = history == expected;
    if (t.inOrder) return t;
    auto key = [](const Bytes& b, std::size_t i) {
        return std::string(b.begin() + static_cast<std::ptrdiff_t>(i * recordSize),
                           b.begin() + static_cast<std::ptrdiff_t>((i + 1) * recordSize));
    };
    std::unordered_map<std::string, int> wanted;
    for (std::size_t i = 0; i < expected.size() / recordSize; ++i)
        ++wanted[key(expected, i)];
    std::unordered_map<std::string, int> seen;
    for (std::size_t i = 0; i < history.size() / recordSize; ++i) {
        const std::string k = key(history, i);
        if (!wanted.count(k))
            ++t.changed;
        else if (++seen[k] > 1)
            ++t.duplicated;
    }
    if (history.size() % recordSize != 0) ++t.changed;
    for (const auto& [k, n] : wanted)
        if (!seen.count(k)) t.lost += static_cast<std::size_t>(n);
    return t;
}

// The history, the mailer's feed and the configuration, made once. In
// memory: the hundreds of runs take seconds instead of minutes.
struct Scene {
    ScratchDir dir{testing::fastestBase()};
    std::string history = dir.file("hist.his");
    std::string journal = history + ".journal";
    std::string original = dir.file("original.his");
    std::string feed = dir.file("feed.his");
    Bytes kept;       // what the cut keeps of the original
    Bytes feedBytes;  // sessions that the mailer appends, in this order
};

// The sessions of the seven days before today, which the cut keeps, and
// a tenth as many of twenty days older than the limit (ten days back),
// which it drops; the mailer logs today's. The kept ones make the steps
// (the journal and the history are written in blocks of stepBlock): 512
// kB, 129 blocks of each copy, the last of a few bytes. The dropped ones
// only have to be picked out from among them, so few do, and every run
// reads a small history. No session lies within a day of the limit, so
// that a day turning during the test changes nothing.
constexpr std::int64_t keptCount = 18725;
static_assert(keptCount * recordSize / stepBlock == 128 && keptCount * recordSize % stepBlock != 0);

void makeScene(Scene& s) {
    const std::int64_t now = std::time(nullptr);
    const std::int64_t midnight = now - now % day;
    const std::int64_t old = keptCount / 10;
    const std::int64_t total = old + keptCount;
    std::vector<SessionRecord> dropped, kept;
    for (std::int64_t i = 0; i < old; ++i)
        dropped.push_back(session(i, midnight - 30 * day + i * (20 * day) / old));
    for (std::int64_t i = old; i < total; ++i)
        kept.push_back(session(i, midnight - 7 * day + (i - old) * (7 * day) / (total - old)));
    // Both in one history, interleaved in blocks as a mailer's clock and
    // restored backups may leave it: the cut must pick records, not a tail.
    std::vector<SessionRecord> all;
    for (std::size_t d = 0, k = 0; d < dropped.size() || k < kept.size();) {
        for (int n = 0; n < 100 && d < dropped.size(); ++n)
            all.push_back(dropped[d++]);
        for (int n = 0; n < 1000 && k < kept.size(); ++n)
            all.push_back(kept[k++]);
    }
    std::vector<SessionRecord> feed;
    for (std::int64_t i = 0; i < 64; ++i)
        feed.push_back(session(total + i, midnight + 60 * i));
    s.kept = bytesOf(kept);
    s.feedBytes = bytesOf(feed);
    ASSERT_TRUE(histgen::writeFile(s.original, bytesOf(all)));
    ASSERT_TRUE(histgen::writeFile(s.feed, s.feedBytes));
    ASSERT_EQ(std::filesystem::file_size(s.original),
              static_cast<std::uintmax_t>(total) * recordSize);
    ASSERT_TRUE(
        s.dir.write("ravlog.ctl", std::string("[COMMON]\nAddr 2:*/*\n"
                                              "[LINE]\nHistory hist.his\nCutHistory 10\n")));
}

const std::string unleasedText =
    "Shortened hist.his without a lease: the system grants no leases on it\n";

// Three days back, one minute: a handful of sessions in the reports.
const std::vector<std::string> reportArgs = {"-d-3", "-t00:00:00-00:01:00"};

ProgramResult runFault(const Scene& s, const std::string& probe) {
    return testing::runProgram(faultPath, reportArgs, s.dir.path(),
                               {"TZ=UTC", "RAVLOG_CUT_PROBE=" + probe});
}

std::vector<std::string> stepsLogged(const std::string& path) {
    std::vector<std::string> names;
    std::ifstream in(path);
    std::string number, name;
    while (in >> number >> name)
        names.push_back(name);
    return names;
}

std::string joined(const std::vector<long>& steps) {
    std::string text;
    for (long n : steps)
        text += (text.empty() ? "" : ",") + std::to_string(n);
    return text;
}

// Where in a run the steps lie, from one run's list of step names.
struct Map {
    std::vector<std::string> names;
    long commitWrite = -1;  // the header that commits the journal
    long lastRemove = -1;   // the journal's removal at the end of the cut

    long find(const std::string& name, long from = 0) const {
        for (auto i = static_cast<std::size_t>(std::max(from, 0L)); i < names.size(); ++i)
            if (names[i] == name) return static_cast<long>(i);
        return -1;
    }
};

Map mapOf(std::vector<std::string> names) {
    Map m;
    m.names = std::move(names);
    m.commitWrite = m.find("directory-sync") - 2;
    for (std::size_t i = 0; i < m.names.size(); ++i)
        if (m.names[i] == "journal-remove") m.lastRemove = static_cast<long>(i);
    return m;
}

// The mailer appends a session before these steps: halfway through the
// copy of the kept records, as the history's first block is rewritten and
// halfway through that, as the first appended sessions are moved, as the
// mark of shortening is written, and after the shortening. Never right
// before the shortening itself: that instant is the one left open to a
// mailer that does not lock (docs/cutting.md).
std::vector<long> appendSteps(const Map& m) {
    const long firstRewrite = m.find("history-write");
    long rewriteEnd = firstRewrite;
    while (rewriteEnd + 1 < static_cast<long>(m.names.size()) &&
           m.names[static_cast<std::size_t>(rewriteEnd + 1)] == "history-write")
        ++rewriteEnd;
    std::vector<long> steps = {
        m.find("journal-write") + (firstRewrite - m.find("journal-write")) / 2,
        firstRewrite,
        (firstRewrite + rewriteEnd) / 2,
        m.find("journal-write", rewriteEnd),
        m.find("history-sync") - 1,
        m.lastRemove};
    steps.erase(std::remove(steps.begin(), steps.end(), -1), steps.end());
    std::sort(steps.begin(), steps.end());
    steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
    return steps;
}

std::string probeText(const Scene& s, const std::vector<long>& appends, const std::string& more) {
    return "log=" + s.dir.file("steps.log") + " history=" + s.history + " feed=" + s.feed +
           " record=" + std::to_string(recordSize) + " block=" + std::to_string(stepBlock) +
           " append=" + joined(appends) + " " + more;
}

bool freshHistory(const Scene& s) {
    std::error_code ec;
    std::filesystem::remove(s.journal, ec);
    std::filesystem::remove(s.dir.file("steps.log"), ec);
    return std::filesystem::copy_file(s.original, s.history,
                                      std::filesystem::copy_options::overwrite_existing, ec);
}

bool appendFeed(const Scene& s, std::size_t first, std::size_t count) {
    std::FILE* f = std::fopen(s.history.c_str(), "ab");
    if (!f) return false;
    const bool ok = histgen::writeBytes(f, slice(s.feedBytes, first, count));
    return std::fclose(f) == 0 && ok;
}

struct Point {
    enum class Mode { kill, fail } mode;
    long step;
    long restoreKill;  // -1, or the step at which the restoring run is killed in its turn
};

struct Outcome {
    Point point;
    Tally tally;
    bool journalLeft = false;
    std::string problem;  // wrong messages
};

Outcome runPoint(const Scene& s, const Map& m, const std::vector<long>& appends, const Point& p) {
    Outcome o{p, {}, false, {}};
    if (!freshHistory(s)) {
        o.problem = "copy failed";
        return o;
    }
    const bool kill = p.mode == Point::Mode::kill;
    // A lease refused leaves the cut as it was before leases: complete.
    const bool unleased = !kill && p.step < static_cast<long>(m.names.size()) &&
                          m.names[static_cast<std::size_t>(p.step)] == "history-lease";
    const ProgramResult first =
        runFault(s, probeText(s, appends, (kill ? "kill=" : "fail=") + std::to_string(p.step)));
    const auto taken = static_cast<long>(stepsLogged(s.dir.file("steps.log")).size());
    const auto appended = static_cast<std::size_t>(
        std::count_if(appends.begin(), appends.end(), [&](long a) { return a < taken; }));
    // The cut is committed once its header is written, and over once the
    // journal is removed: in between, the next run must restore it.
    const bool pending = p.step > m.commitWrite && p.step <= m.lastRemove &&
                         (kill || p.step > m.commitWrite + 2) && !unleased;
    if (kill) {
        const bool completes = p.step == static_cast<long>(m.names.size());
        if (first.status != (completes ? 0 : -1) || taken != (completes ? p.step : p.step + 1))
            o.problem += "not killed where asked; ";
    } else {
        // The journal's creation ends with its first header (steps 0 and 1).
        const std::string cantCut = std::string("Can't cut hist.his: ") +
                                    (pending      ? "can't finish rewriting it"
                                     : p.step < 2 ? "can't create its journal hist.his.journal"
                                                  : "can't write its journal hist.his.journal") +
                                    ": No space left on device\n";
        const std::string expected =
            p.step > m.lastRemove ? ""
            : unleased            ? unleasedText
            : pending             ? cantCut +
                            "An interrupted cut of hist.his is pending: the next ravlog run "
                            "restores it from hist.his.journal\n"
                      : cantCut;
        if (first.status != 0 || first.err != expected)
            o.problem += "failing run said \"" + first.err + "\"; ";
    }
    // Two sessions that the mailer logs before the next run.
    if (!appendFeed(s, appended, 2)) o.problem += "append failed; ";
    if (p.restoreKill >= 0)
        runFault(s, "log=" + s.dir.file("restore.log") + " block=" + std::to_string(stepBlock) +
                        " kill=" + std::to_string(p.restoreKill));
    const ProgramResult next = testing::runProgram(ravlogPath, reportArgs, s.dir.path());
    if (next.status != 0 || next.err.find("Can't") != std::string::npos)
        o.problem += "next run: status " + std::to_string(next.status) + " " + next.err + "; ";
    const bool unfinished = kill && p.step > 0 && p.step <= m.commitWrite;
    if (p.restoreKill < 0) {
        const std::string said =
            pending ? "Restored hist.his from hist.his.journal\n"
            : unfinished
                ? "Removed the unfinished journal hist.his.journal: hist.his was not changed\n"
                : "";
        if (next.err != said) o.problem += "next run said \"" + next.err + "\"; ";
    }
    o.journalLeft = std::filesystem::exists(s.journal);
    o.tally = compare(fileBytes(s.history), s.kept + slice(s.feedBytes, 0, appended + 2));
    return o;
}

// What went wrong at a point, or nothing.
std::string verdict(const Map& m, const Point& p, const Outcome& o) {
    if (o.tally.clean() && !o.journalLeft && o.problem.empty()) return "";
    const std::string name = p.step < static_cast<long>(m.names.size())
                                 ? m.names[static_cast<std::size_t>(p.step)]
                                 : "after-the-last-step";
    std::string what =
        std::string(p.mode == Point::Mode::kill ? "killed" : "failed") + " at step " +
        std::to_string(p.step) + " (" + name + "), restore killed at " +
        std::to_string(p.restoreKill) + ": lost " + std::to_string(o.tally.lost) + ", duplicated " +
        std::to_string(o.tally.duplicated) + ", changed " + std::to_string(o.tally.changed) +
        ", in order " + std::to_string(o.tally.inOrder) + ", journal left " +
        std::to_string(o.journalLeft) + "; " + o.problem;
    std::replace(what.begin(), what.end(), '\n', '|');
    return what;
}

// The points are shared out among the test's instances, every shares-th
// one to each, so that ctest runs the shares side by side.
constexpr int shares = 8;

std::vector<std::string> runShare(const Scene& s, const Map& m, const std::vector<long>& appends,
                                  const std::vector<Point>& points, std::size_t first) {
    std::vector<std::string> bad;
    for (std::size_t i = first; i < points.size() && bad.size() < 10; i += shares) {
        std::string what = verdict(m, points[i], runPoint(s, m, appends, points[i]));
        if (!what.empty()) bad.push_back(std::move(what));
    }
    return bad;
}

class CutKillShare : public ::testing::TestWithParam<int> {};

TEST_P(CutKillShare, KilledOrFailingAtEveryStepLosesDoublesAndChangesNothing) {
    const auto started = std::chrono::steady_clock::now();
    Scene s;
    makeScene(s);
    if (HasFatalFailure()) return;

    // The step list of an undisturbed cut, with the mailer's appends
    // placed by the phases they fall in (they add steps, so until the
    // placing holds still).
    std::vector<long> appends;
    Map m;
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(freshHistory(s));
        const ProgramResult dry = runFault(s, probeText(s, appends, ""));
        ASSERT_EQ(dry.status, 0) << dry.err;
        m = mapOf(stepsLogged(s.dir.file("steps.log")));
        const std::vector<long> placed = appendSteps(m);
        if (placed == appends) break;
        appends = placed;
    }
    ASSERT_EQ(appendSteps(m), appends);
    ASSERT_GT(m.commitWrite, 0);
    ASSERT_GT(m.lastRemove, m.commitWrite);
    const auto steps = static_cast<long>(m.names.size());

    // Kills at every step of the run (and once after its last one); every
    // fifth restoring run is killed as well, somewhere in its own replay.
    // Writes fail at every step that is not one block of a long copy, and
    // at the first and last block of each copy.
    std::vector<Point> points;
    const long replaySteps = steps - m.commitWrite;
    for (long k = 0; k <= steps; ++k)
        points.push_back({Point::Mode::kill, k, k % 5 == 3 ? (k * 37) % (replaySteps + 4) : -1});
    for (long k = 0; k < steps; ++k) {
        const std::string& name = m.names[static_cast<std::size_t>(k)];
        const bool bulk = name == "journal-write" || name == "history-write";
        const bool edge = k == 0 || k + 1 == steps ||
                          m.names[static_cast<std::size_t>(k - 1)] != name ||
                          m.names[static_cast<std::size_t>(k + 1)] != name;
        if (!bulk || edge) points.push_back({Point::Mode::fail, k, -1});
    }

    const std::vector<std::string> bad =
        runShare(s, m, appends, points, static_cast<std::size_t>(GetParam()));
    for (const std::string& what : bad)
        ADD_FAILURE() << what;
    std::map<std::string, int> killedAt, failedAt;
    std::size_t kills = 0;
    for (const Point& p : points) {
        const std::string name =
            p.step < steps ? m.names[static_cast<std::size_t>(p.step)] : "after-the-last-step";
        ++(p.mode == Point::Mode::kill ? killedAt : failedAt)[name];
        if (p.mode == Point::Mode::kill) ++kills;
    }
    EXPECT_GE(kills, 200u);
    for (const char* phase :
         {"journal-create", "journal-write", "journal-sync", "directory-sync", "history-write",
          "history-sync", "history-lease", "history-truncate", "journal-remove"}) {
        EXPECT_GT(killedAt[phase], 0) << phase;
        EXPECT_GT(failedAt[phase], 0) << phase;
    }
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started);
    std::printf(
        "%zu kill points and %zu failing writes over %ld steps, %zu kB history, %zu "
        "appends per run: share %d of %d, %zu bad, %.1f s\n",
        kills, points.size() - kills, steps,
        static_cast<std::size_t>(std::filesystem::file_size(s.original) >> 10), appends.size(),
        GetParam() + 1, shares, bad.size(), seconds.count());
}

INSTANTIATE_TEST_SUITE_P(Shares, CutKillShare, ::testing::Range(0, shares));

// The instant between the last look at the history's length and its
// shortening: a mailer opening the history there waits for ravlog's lease
// and logs its session behind the new end. Without the lease (refused, or
// a reader keeps the history open) the cut is made as before, says so, and
// the session goes with the old tail.
TEST(CutKill, SessionLoggedRightBeforeTheShorteningWaitsForTheLease) {
    Scene s;
    makeScene(s);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(freshHistory(s));
    ASSERT_EQ(runFault(s, probeText(s, {}, "")).status, 0);
    const Map m = mapOf(stepsLogged(s.dir.file("steps.log")));
    const long shortening = m.find("history-truncate");
    ASSERT_EQ(m.find("history-lease"), shortening - 1);

    const std::tuple<std::string, bool, std::string> cases[] = {
        {"", false, ""},
        {"fail=" + std::to_string(shortening - 1), false, unleasedText},
        {"", true, "Shortened hist.his without a lease: another program keeps it open\n"},
    };
    for (const auto& [fail, reader, err] : cases) {
        SCOPED_TRACE(err);
        ASSERT_TRUE(freshHistory(s));
        const int held = reader ? ::open(s.history.c_str(), O_RDONLY | O_CLOEXEC) : -1;
        const ProgramResult r = runFault(s, probeText(s, {shortening}, fail));
        if (held >= 0) ::close(held);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, err);
        EXPECT_NE(r.out.find("Cut hist.his: "), std::string::npos);
        const Tally t = compare(fileBytes(s.history), s.kept + slice(s.feedBytes, 0, 1));
        EXPECT_EQ(t.lost, err.empty() ? 0u : 1u);
        EXPECT_EQ(t.duplicated + t.changed, 0u);
        EXPECT_EQ(t.inOrder, err.empty());
        EXPECT_FALSE(std::filesystem::exists(s.journal));
    }
}

}  // namespace
}  // namespace rv
