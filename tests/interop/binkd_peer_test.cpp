// binkd, a real FidoNet mailer, as a peer. Four binkd nodes on 127.0.0.1
// hold real binkp sessions; the histories that node A's binkd writes are then
// read by brimsel, ravlog and pondrel, configured as an operator would.
//
// What binkd 1.1a (Debian) writes, checked below (docs/binkd.md has more):
//  - binlog: 28-byte records, the layout of history types 2 and 3. Both
//    sides of a session write one. Flags (offset 26) are 0x0001 on a call
//    this binkd made, 0x0002 on a call it answered and 0x0003 on a failed
//    session whichever side it was on; never the normal (0x0004) or
//    protected (0x0008) bits, password or not. Bytes (16 received, 20 sent)
//    count completed files only. The start (8) is local time: time() plus
//    the zone's offset, so the line needs TimeShift 0. The duration (12) is
//    whole seconds and often 0 on loopback (the suite counts it as 1).
//    Because the direction bits are the reverse of the suite's, the line is
//    `History binkd.his,1,1` with `SwapInOut Yes`; a failed session keeps
//    0x0003 through the swap and is settled by BinkDAborted (In by default).
//  - fdouthist / fdinhist: 116-byte records (type 5) of the calls it made /
//    answered, failed sessions included and not told apart. Named *.ohs and
//    *.ihs they are read as one .OHS/.IHS pair, whose direction comes from the
//    names: that line must not swap.
//  - A call that never connects (refused) leaves no record at all.
//  - The text log (log): the sessions of every process of A in one file,
//    lines of sessions at once interleaved under their process ids, and
//    more than the binlog: failed calls made apart from failed calls
//    answered, the sessions under a password marked. Read as a line's
//    history it gives the binlog's sessions (docs/binkd.md).
//
// The sessions, all with node A (2:5020/1), in the order they end (that of
// the binlog's records and the text log's "done" lines):
//   S1 A polls B (2:5020/2, password) with nothing to send either way;
//   S2 B calls A, files of a few bytes, ~100 KB and ~3 MB in both directions;
//   S3 A calls C (2:5020/3, no password), a few bytes out, ~100 KB in;
//   S4 C polls A with nothing to send;
//   S5 D (2:5020/4) calls A with a wrong password: a failed session;
//   S6 A calls C again, with files, while S8 is running;
//   S7 A calls D, which has another password for A: a failed call made,
//      also while S8 is running;
//   S8 B calls A, rate-limited, before S6, and is stopped after S7 while its
//      second file is on the way: a failed session in which one file of 5
//      bytes was completed;
// and then A calls E (2:5020/5), where nothing listens: no session.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "binkd_nodes.h"
#include "brimsel_csv.h"
#include "child_group.h"
#include "core/le.h"
#include "run_program.h"
#include "scratch_dir.h"

namespace rv {
namespace {

using testing::brimselCsvRows;
using testing::ChildGroup;
using enum testing::BrimselColumn;
using testing::fileSize;
using testing::findBinkd;
using testing::freeLoopbackPort;
using testing::listenersOn;
using testing::Node;
using testing::ProgramResult;
using testing::ScratchDir;
using testing::slurp;
using testing::SubreaperScope;
using testing::waitForSize;
using testing::writeConfig;
using testing::writeFilled;
using testing::writeText;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string brimselPath = testing::builtProgram("brimsel");
const std::string ravlogPath = testing::builtProgram("ravlog");
const std::string pondrelPath = testing::builtProgram("pondrel");

constexpr std::size_t binlogRecord = 28;
constexpr std::size_t fdRecord = 116;

// One session as node A must have seen it, with its byte counts in the
// report forms, worked out by hand: plain prints below 1 000 000 as "%6u",
// else MiB and a truncated tenth; compact (brimsel) prints KiB from 1024 on.
struct Planned {
    const char* what;
    std::int16_t node;  // of 2:5020/node
    bool aCalled;
    bool failed;
    bool passworded;         // binkd logs it as a password protected session
    std::uint32_t received;  // by A
    std::uint32_t sent;      // by A
    const char* receivedPlain;
    const char* sentPlain;
    const char* receivedCompact;
    const char* sentCompact;
};

// B sends 5 + 100000 + 3000000 = 3100005 bytes (2 MiB + 1002853: "2.9M");
// A sends 7 + 102400 + 3145728 = 3248135 (3 MiB + 102407: "3.0M");
// 54321 bytes are 53 KiB and 49 bytes.
const Planned plan[] = {
    {"S1 A polls B", 2, true, false, true, 0, 0, "     0", "     0", "     0", "     0"},
    {"S2 B calls A with files", 2, false, false, true, 3100005, 3248135, "  2.9M", "  3.0M",
     "  2.9M", "  3.0M"},
    {"S3 A calls C with files", 3, true, false, false, 98765, 11, " 98765", "    11", "   96k",
     "    11"},
    {"S4 C polls A", 3, false, false, false, 0, 0, "     0", "     0", "     0", "     0"},
    {"S5 D fails its password", 4, false, true, false, 0, 0, "     0", "     0", "     0",
     "     0"},
    {"S6 A calls C during S8", 3, true, false, false, 54321, 777, " 54321", "   777", "   53k",
     "   777"},
    {"S7 A fails D's password during S8", 4, true, true, false, 0, 0, "     0", "     0", "     0",
     "     0"},
    {"S8 B's call breaks off mid-file", 2, false, true, true, 5, 0, "     5", "     0", "     5",
     "     0"},
};
constexpr std::size_t sessionCount = std::size(plan);
// S8 began before S6 and S7 and ended after them.
constexpr std::size_t overlapped = 7;
constexpr std::size_t firstDuring = 5, lastDuring = 6;

std::size_t callsMade() {
    return static_cast<std::size_t>(std::count_if(std::begin(plan), std::end(plan),
                                                  [](const Planned& p) { return p.aCalled; }));
}

// A history record as binkd stored it, decoded here on its own.
struct Stored {
    std::int16_t zone = 0, net = 0, node = 0, point = 0;
    std::uint32_t start = 0, duration = 0, received = 0, sent = 0, cost = 0;
    std::uint16_t flags = 0;
};

std::vector<Stored> readBinlog(const std::string& path) {
    const std::string bytes = slurp(path);
    std::vector<Stored> out;
    for (std::size_t at = 0; at + binlogRecord <= bytes.size(); at += binlogRecord) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data() + at);
        Stored s;
        s.zone = loadS16(p);
        s.net = loadS16(p + 2);
        s.node = loadS16(p + 4);
        s.point = loadS16(p + 6);
        s.start = loadU32(p + 8);
        s.duration = loadU32(p + 12);
        s.received = loadU32(p + 16);
        s.sent = loadU32(p + 20);
        s.flags = loadU16(p + 26);
        out.push_back(s);
    }
    return out;
}

std::vector<Stored> readFdHistory(const std::string& path) {
    const std::string bytes = slurp(path);
    std::vector<Stored> out;
    for (std::size_t at = 0; at + fdRecord <= bytes.size(); at += fdRecord) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data() + at);
        Stored s;
        s.zone = loadS16(p);
        s.net = loadS16(p + 2);
        s.node = loadS16(p + 4);
        s.point = loadS16(p + 6);
        s.start = loadU32(p + 24);
        s.duration = loadU32(p + 28) - s.start;
        s.received = loadU32(p + 104);
        s.sent = loadU32(p + 108);
        s.cost = loadU32(p + 112);
        out.push_back(s);
    }
    return out;
}

std::string fmt(const char* format, unsigned long a, unsigned long b = 0, unsigned long c = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

std::string timeText(std::uint32_t localSeconds, const char* format) {
    const std::time_t t = static_cast<std::time_t>(localSeconds);
    std::tm parts{};
    ::gmtime_r(&t, &parts);
    char text[128];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}

// The plain report form, for the CPS figures, which depend on how long
// binkd took and so cannot be written out beforehand.
std::string plainTraffic(std::uint32_t bytes) {
    if (bytes < 1000000) return fmt("%6lu", bytes);
    if (bytes < 1048576000u) return fmt("%3lu.%1luM", bytes >> 20, ((bytes & 0xFFFFFu) * 10) >> 20);
    return fmt("%5luM", bytes >> 20);
}

std::string hms(const char* format, unsigned long seconds) {
    return fmt(format, seconds / 3600, seconds / 60 % 60, seconds % 60);
}

// Lines of a text that start with prefix, in order.
std::vector<std::string> linesStarting(const std::string& text, const std::string& prefix) {
    std::vector<std::string> out;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(prefix, 0) == 0) out.push_back(line);
    return out;
}

// The whole exchange, run once per test program: nodes are set up, the
// servers started, the sessions made one after another, and every binkd
// process stopped and reaped before the first check runs.
class BinkdPeer : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        binkd_ = findBinkd();
        if (binkd_.empty()) return;
        dir_ = new ScratchDir;
        setupError_ = runExchange();
    }
    static void TearDownTestSuite() {
        // RV_BINKD_PEER_KEEP=DIR keeps node A's text log and binlog there
        // as peer-overlap.log and .his (tests/data/binkd_log/ holds a pair).
        const char* keep = std::getenv("RV_BINKD_PEER_KEEP");
        if (keep && dir_ && setupError_.empty())
            for (const char* ext : {"log", "his"})
                std::filesystem::copy_file(his(std::string("binkd.") + ext),
                                           std::string(keep) + "/peer-overlap." + ext,
                                           std::filesystem::copy_options::overwrite_existing);
        delete dir_;
        dir_ = nullptr;
    }

    void SetUp() override {
        if (binkd_.empty())
            GTEST_SKIP() << "binkd is not installed (Debian package binkd): the peer test with a "
                            "real mailer did not run";
        ASSERT_EQ(setupError_, "") << "binkd exchange failed";
    }

    static std::string nodeDir() { return dir_->file("A"); }
    static std::string his(const std::string& leaf) { return dir_->file("A/" + leaf); }
    static std::uint32_t duration(std::size_t i) {
        return stored_[i].duration == 0 ? 1 : stored_[i].duration;
    }
    static std::string reportDate() { return timeText(stored_[0].start, "%d.%m.%Y"); }

    static ProgramResult run(const std::string& program, const std::vector<std::string>& args) {
        return testing::runProgram(program, args, nodeDir(), {"TZ=" + tz_}, 30);
    }

    static std::string runExchange();
    static std::string overlappingSessions(ChildGroup& slow, ChildGroup& client, const Node& a,
                                           const Node& b, const Node& c, const Node& d);
    // The binlog records that a node must hold once a session is over.
    struct Records {
        const Node* node;
        std::size_t count;
    };
    static std::string runSession(ChildGroup& client, const Node& caller,
                                  const std::vector<std::string>& args, std::size_t index,
                                  const std::vector<Records>& written);

    static std::string binkd_;
    static ScratchDir* dir_;
    static std::string setupError_;
    static std::string tz_;
    static int offsetHours_;
    static std::vector<Stored> stored_;  // node A's binlog, one record per planned session
    static std::vector<std::pair<std::time_t, std::time_t>> spans_;  // UTC bounds per session
    static bool refusedCallTried_;
    static bool refusedCallRecorded_;
};

std::string BinkdPeer::binkd_;
ScratchDir* BinkdPeer::dir_ = nullptr;
std::string BinkdPeer::setupError_;
std::string BinkdPeer::tz_;
int BinkdPeer::offsetHours_ = 0;
std::vector<Stored> BinkdPeer::stored_;
std::vector<std::pair<std::time_t, std::time_t>> BinkdPeer::spans_;
bool BinkdPeer::refusedCallTried_ = false;
bool BinkdPeer::refusedCallRecorded_ = true;

// S8 around S6 and S7: B calls A at 100 000 bytes a second with a small
// file and a large one. Once the small file is in A's inbound and the large
// one has begun to arrive, A makes its two calls, which take a moment
// where the large file would take half a minute; then B is stopped. A
// records a failed session whose bytes are those of the small file only.
std::string BinkdPeer::overlappingSessions(ChildGroup& slow, ChildGroup& client, const Node& a,
                                           const Node& b, const Node& c, const Node& d) {
    const std::time_t before = std::time(nullptr);
    const std::string what = plan[overlapped].what;
    writeFilled(b.file("again-tiny"), 5, 'i');
    writeFilled(b.file("again-3m"), 3000000, 'j');
    writeText(b.flowTo(1), b.file("again-tiny") + "\n" + b.file("again-3m") + "\n");
    const std::string slowConfig = b.file("slow.cfg");
    writeText(slowConfig, slurp(b.config()) + "limit-rate 100000 *\n");
    if (!slow.start(binkd_, {"-p", slowConfig}, b.dir, {"TZ=" + tz_}, b.file("client.out")))
        return what + ": cannot start binkd";
    auto partArrived = [&a] {
        if (!std::filesystem::exists(a.dir + "/inbound/again-tiny")) return false;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(a.dir + "/temp", ec))
            if (entry.path().extension() == ".dt" && entry.file_size(ec) > 0) return true;
        return false;
    };
    const auto deadline = Clock::now() + 10s;
    while (!partArrived()) {
        if (!slow.running() || slow.waitExit(0ms, nullptr) || Clock::now() >= deadline)
            return what + ": the large file never began to arrive";
        std::this_thread::sleep_for(5ms);
    }
    const std::time_t arrived = std::time(nullptr);  // S8 began in this second or before

    writeFilled(a.file("to-c-again"), 777, 'k');
    writeText(a.flowTo(3), a.file("to-c-again") + "\n");
    writeFilled(c.file("to-a-again"), 54321, 'l');
    writeText(c.flowTo(1), c.file("to-a-again") + "\n");
    std::string error = runSession(client, a, {"-p", "-P", c.address()}, firstDuring, {{&a, 6}});
    if (!error.empty()) return error;
    error = runSession(client, a, {"-p", "-P", d.address()}, lastDuring, {{&a, 7}, {&d, 2}});
    if (!error.empty()) return error;
    // The failed call leaves its poll in A's outbound, and the next client
    // of A (the refused call) would make it again.
    const std::filesystem::path pollToD = a.flowTo(d.number);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(pollToD.parent_path(), ec))
        if (entry.path().stem() == pollToD.stem()) std::filesystem::remove(entry.path(), ec);
    if (slow.waitExit(0ms, nullptr) || fileSize(a.file("binkd.his")) != 7 * binlogRecord)
        return what + ": ended before the calls made during it";

    // S8 ends in a later second than it began, so that its duration, in
    // both logs, is not the 0 of the sessions of a moment on loopback.
    while (std::time(nullptr) <= arrived)
        std::this_thread::sleep_for(20ms);
    slow.stop();
    if (!waitForSize(a.file("binkd.his"), sessionCount * binlogRecord, 10s))
        return what + ": no history record from node A";
    spans_.push_back({before, std::time(nullptr)});
    return "";
}

// Runs one client (`-p`: make the calls that are due and quit) and waits
// until every side of the session has written its history record.
std::string BinkdPeer::runSession(ChildGroup& client, const Node& caller,
                                  const std::vector<std::string>& args, std::size_t index,
                                  const std::vector<Records>& written) {
    const std::time_t before = std::time(nullptr);
    std::vector<std::string> all = args;
    all.push_back(caller.config());
    if (!client.start(binkd_, all, caller.dir, {"TZ=" + tz_}, caller.file("client.out")))
        return std::string(plan[index].what) + ": cannot start binkd";
    int status = -1;
    if (!client.waitExit(20s, &status))
        return std::string(plan[index].what) + ": binkd client did not finish in 20 s";
    client.stop();
    if (status != 0)
        return std::string(plan[index].what) + ": binkd client exit status " +
               std::to_string(status);
    // The answering side writes its record as its own session ends, which
    // may be a moment after the caller has quit.
    for (const Records& r : written)
        if (!waitForSize(r.node->file("binkd.his"), r.count * binlogRecord, 10s))
            return std::string(plan[index].what) + ": no history record from node " + r.node->name +
                   "; its log:\n" + slurp(r.node->file("binkd.log"));
    spans_.push_back({before, std::time(nullptr)});
    return "";
}

std::string BinkdPeer::runExchange() {
    // A fixed zone, chosen so that the local clock reads about noon: the
    // sessions stay inside one local day, and a history stored in UTC would
    // show up as hours off.
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    offsetHours_ = 12 - utc.tm_hour;
    if (offsetHours_ == 0) offsetHours_ = 1;
    tz_ = "RVT" + std::to_string(-offsetHours_);

    Node a{"A", 1, 0, ""}, b{"B", 2, 0, ""}, c{"C", 3, 0, ""}, d{"D", 4, 0, ""};
    Node e{"E", 5, 0, ""};  // never started: its port stays closed
    for (Node* n : {&a, &b, &c, &d}) {
        n->dir = dir_->file(n->name);
        for (const char* sub : {"", "/inbound", "/inbound-unprotected", "/temp", "/outbound"})
            std::filesystem::create_directories(n->dir + sub);
    }

    // E's port stays bound by this process: a binkd of a test running beside
    // this one could otherwise listen there and answer A's call.
    struct HeldPort {
        int fd = -1;
        ~HeldPort() {
            if (fd >= 0) ::close(fd);
        }
    } closed;
    e.port = freeLoopbackPort(&closed.fd);
    if (e.port == 0) return "no free port on 127.0.0.1";

    SubreaperScope reaper;
    ChildGroup servers[4];
    const Node* serving[4] = {&a, &b, &c, &d};
    // A port picked as free may be taken by someone else before binkd binds
    // it; then the servers start over on other ports.
    for (int attempt = 1;; ++attempt) {
        for (Node* n : {&a, &b, &c, &d}) {
            n->port = freeLoopbackPort();
            if (n->port == 0) return "no free port on 127.0.0.1";
        }
        writeConfig(a, {{&b, "ab-secret"}, {&c, "-"}, {&d, "ad-secret"}, {&e, "-"}});
        writeConfig(b, {{&a, "ab-secret"}});
        writeConfig(c, {{&a, "-"}});
        writeConfig(d, {{&a, "not-the-secret"}});
        for (int i = 0; i < 4; ++i)
            if (!servers[i].start(binkd_, {"-s", serving[i]->config()}, serving[i]->dir,
                                  {"TZ=" + tz_}, serving[i]->file("server.out")))
                return "cannot start binkd";
        std::string problem;
        for (int i = 0; i < 4 && problem.empty(); ++i) {
            const Node& n = *serving[i];
            testing::awaitListener(servers[i], n.port);
            const std::vector<std::string> listeners = listenersOn(n.port);
            if (listeners.empty())
                problem = "node " + n.name + " does not listen; its log:\n" +
                          slurp(n.file("binkd.log")) + slurp(n.file("server.out"));
            for (const std::string& local : listeners)
                if (local.rfind("0100007F:", 0) != 0)
                    return "node " + n.name + " listens beyond 127.0.0.1: " + local;
        }
        if (problem.empty()) break;
        for (ChildGroup& server : servers)
            server.stop();
        if (attempt == 3) return problem;
    }

    ChildGroup client;
    std::string error = runSession(client, a, {"-p", "-P", b.address()}, 0, {{&a, 1}, {&b, 1}});
    if (!error.empty()) return error;

    writeFilled(a.file("to-b-tiny"), 7, 'a');
    writeFilled(a.file("to-b-100k"), 102400, 'b');
    writeFilled(a.file("to-b-3m"), 3145728, 'c');
    writeText(a.flowTo(2),
              a.file("to-b-tiny") + "\n" + a.file("to-b-100k") + "\n" + a.file("to-b-3m") + "\n");
    writeFilled(b.file("to-a-tiny"), 5, 'd');
    writeFilled(b.file("to-a-100k"), 100000, 'e');
    writeFilled(b.file("to-a-3m"), 3000000, 'f');
    writeText(b.flowTo(1),
              b.file("to-a-tiny") + "\n" + b.file("to-a-100k") + "\n" + b.file("to-a-3m") + "\n");
    error = runSession(client, b, {"-p"}, 1, {{&a, 2}, {&b, 2}});
    if (!error.empty()) return error;

    writeFilled(a.file("to-c-tiny"), 11, 'g');
    writeText(a.flowTo(3), a.file("to-c-tiny") + "\n");
    writeFilled(c.file("to-a-100k"), 98765, 'h');
    writeText(c.flowTo(1), c.file("to-a-100k") + "\n");
    error = runSession(client, a, {"-p", "-P", c.address()}, 2, {{&a, 3}});
    if (!error.empty()) return error;
    error = runSession(client, c, {"-p", "-P", a.address()}, 3, {{&a, 4}});
    if (!error.empty()) return error;
    error = runSession(client, d, {"-p", "-P", a.address()}, 4, {{&a, 5}, {&d, 1}});
    if (!error.empty()) return error;

    ChildGroup slow;
    error = overlappingSessions(slow, client, a, b, c, d);
    if (!error.empty()) return error;

    if (!waitForSize(a.file("binkd.ohs"), callsMade() * fdRecord, 10s) ||
        !waitForSize(a.file("binkd.ihs"), (sessionCount - callsMade()) * fdRecord, 10s))
        return "node A did not complete its fdouthist/fdinhist";

    // A call that finds nobody: binkd gives up and records nothing.
    const std::size_t historyBefore = fileSize(a.file("binkd.his"));
    const std::size_t outgoingBefore = fileSize(a.file("binkd.ohs"));
    if (!client.start(binkd_, {"-p", "-P", e.address(), a.config()}, a.dir, {"TZ=" + tz_},
                      a.file("client.out")) ||
        !client.waitExit(20s, nullptr))
        return "the call to a closed port did not end";
    client.stop();
    refusedCallTried_ =
        slurp(a.file("binkd.log")).find("call to " + e.address()) != std::string::npos;
    refusedCallRecorded_ = fileSize(a.file("binkd.his")) != historyBefore ||
                           fileSize(a.file("binkd.ohs")) != outgoingBefore;

    for (ChildGroup& server : servers) {
        server.stop();
        if (server.running()) return "a binkd server did not stop";
    }
    stored_ = readBinlog(a.file("binkd.his"));
    if (stored_.size() != sessionCount)
        return "node A's binlog holds " + std::to_string(stored_.size()) + " records";
    return "";
}

// --- binkd's side: what the configuration of the lines relies on --------

// binkd's own account of each session, the figures the histories must agree
// with: "done (to|from <address>, OK|failed, S/R: files (sent/received bytes))".
// And S6 and S7 ran while S8 did: their lines stand between S8's start and
// its "done", each process under its own id.
TEST_F(BinkdPeer, TextLogStatesTheSessionsThatWerePlanned) {
    std::vector<std::string> sessions;
    std::vector<unsigned long> passworded;  // ids of the processes that held one
    std::vector<std::pair<unsigned long, std::size_t>> starts;  // id and line number
    std::vector<unsigned long> donePid;
    std::vector<std::size_t> doneAt, startAt;  // line numbers, per session in plan order
    std::istringstream log(slurp(his("binkd.log")));
    std::size_t number = 0;
    for (std::string line; std::getline(log, line); ++number) {
        const std::size_t id = line.find('[');
        if (id == std::string::npos) continue;
        unsigned long pid = 0, node = 0, sent = 0, received = 0;
        char way[5] = {}, outcome[7] = {};
        int end = 0;
        const char* text = line.c_str() + id;
        if (std::sscanf(text, "[%lu] pwd protected session%n", &pid, &end) == 1 && end > 0)
            passworded.push_back(pid);
        end = 0;
        if (std::sscanf(text, "[%lu] %*[a-z] session with %n", &pid, &end) == 1 && end > 0)
            starts.push_back({pid, number});
        end = 0;
        if (std::sscanf(text,
                        "[%lu] done (%4[a-z] 2:5020/%lu@fidonet, %6[a-zOK], S/R: %*u/%*u (%lu/%lu "
                        "bytes))%n",
                        &pid, way, &node, outcome, &sent, &received, &end) != 6 ||
            end == 0)
            continue;
        const bool isPassworded =
            std::find(passworded.begin(), passworded.end(), pid) != passworded.end();
        donePid.push_back(pid);
        doneAt.push_back(number);
        std::size_t at = number;  // the start: the latest of its process before
        for (const auto& [startPid, startLine] : starts)
            if (startPid == pid) at = startLine;
        startAt.push_back(at);
        sessions.push_back(std::string(way) + " " + std::to_string(node) + " " + outcome +
                           " sent " + std::to_string(sent) + " received " +
                           std::to_string(received) + (isPassworded ? " protected" : ""));
    }
    std::vector<std::string> expected;
    for (const Planned& p : plan)
        expected.push_back(std::string(p.aCalled ? "to" : "from") + " " + std::to_string(p.node) +
                           " " + (p.failed ? "failed" : "OK") + " sent " + std::to_string(p.sent) +
                           " received " + std::to_string(p.received) +
                           (p.passworded ? " protected" : ""));
    EXPECT_EQ(sessions, expected);
    ASSERT_EQ(donePid.size(), sessionCount);
    for (std::size_t i = firstDuring; i <= lastDuring; ++i) {
        SCOPED_TRACE(plan[i].what);
        EXPECT_NE(donePid[i], donePid[overlapped]);
        EXPECT_LT(startAt[overlapped], startAt[i]);
        EXPECT_LT(doneAt[i], doneAt[overlapped]);
    }
}

TEST_F(BinkdPeer, BinlogHasCallerAndAnswererBitsLocalTimeAndCompletedBytes) {
    for (std::size_t i = 0; i < sessionCount; ++i) {
        SCOPED_TRACE(plan[i].what);
        const Stored& s = stored_[i];
        EXPECT_EQ(s.zone, 2);
        EXPECT_EQ(s.net, 5020);
        EXPECT_EQ(s.node, plan[i].node);
        EXPECT_EQ(s.point, 0);
        const std::uint16_t flags = plan[i].failed ? 0x0003 : plan[i].aCalled ? 0x0001 : 0x0002;
        EXPECT_EQ(s.flags, flags);
        EXPECT_EQ(s.received, plan[i].received);
        EXPECT_EQ(s.sent, plan[i].sent);
        // Local time: the stored start less the zone's offset is the moment
        // of the session in UTC.
        const long long utcStart = static_cast<long long>(s.start) - offsetHours_ * 3600LL;
        EXPECT_GE(utcStart, static_cast<long long>(spans_[i].first) - 1);
        EXPECT_LE(utcStart + s.duration, static_cast<long long>(spans_[i].second) + 1);
    }
    // The other side of S1 and S2: B answered the first and made the second.
    const std::vector<Stored> atB = readBinlog(dir_->file("B/binkd.his"));
    ASSERT_GE(atB.size(), 2u);
    EXPECT_EQ(atB[0].flags, 0x0002);
    EXPECT_EQ(atB[1].flags, 0x0001);
    EXPECT_EQ(atB[1].received, plan[1].sent);
    EXPECT_EQ(atB[1].sent, plan[1].received);
    // S6 and S7 inside S8 in whole seconds too, S8 not the 0 s of a moment.
    EXPECT_GE(stored_[overlapped].duration, 1u);
    for (std::size_t i = firstDuring; i <= lastDuring; ++i) {
        EXPECT_LE(stored_[overlapped].start, stored_[i].start);
        EXPECT_LE(stored_[i].start + stored_[i].duration,
                  stored_[overlapped].start + stored_[overlapped].duration);
    }
    // And D marks its failed call (S5) and its failed answer (S7) the same way.
    const std::vector<Stored> atD = readBinlog(dir_->file("D/binkd.his"));
    ASSERT_EQ(atD.size(), 2u);
    EXPECT_EQ(atD[0].flags, 0x0003);
    EXPECT_EQ(atD[1].flags, 0x0003);
}

TEST_F(BinkdPeer, CallThatNeverConnectsLeavesNoRecord) {
    EXPECT_TRUE(refusedCallTried_);
    EXPECT_FALSE(refusedCallRecorded_);
}

// The planned sessions in the order of the pair as the suite reads it:
// the calls A made (.ohs) first, then the calls it answered (.ihs).
std::vector<std::size_t> fileOrder() {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < sessionCount; ++i)
        if (plan[i].aCalled) order.push_back(i);
    for (std::size_t i = 0; i < sessionCount; ++i)
        if (!plan[i].aCalled) order.push_back(i);
    return order;
}

TEST_F(BinkdPeer, FdHistoriesSplitCallsMadeAndAnsweredFailuresIncluded) {
    const std::vector<Stored> out = readFdHistory(his("binkd.ohs"));
    const std::vector<Stored> in = readFdHistory(his("binkd.ihs"));
    const std::size_t calls = callsMade();
    EXPECT_EQ(fileSize(his("binkd.ohs")), calls * fdRecord);
    EXPECT_EQ(fileSize(his("binkd.ihs")), (sessionCount - calls) * fdRecord);
    const std::vector<std::size_t> order = fileOrder();
    std::vector<Stored> both = out;
    both.insert(both.end(), in.begin(), in.end());
    ASSERT_EQ(both.size(), order.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        const std::size_t i = order[k];
        SCOPED_TRACE(plan[i].what);
        EXPECT_EQ(both[k].zone, 2);
        EXPECT_EQ(both[k].net, 5020);
        EXPECT_EQ(both[k].node, plan[i].node);
        EXPECT_EQ(both[k].start, stored_[i].start);
        EXPECT_EQ(both[k].duration, stored_[i].duration);
        EXPECT_EQ(both[k].received, plan[i].received);
        EXPECT_EQ(both[k].sent, plan[i].sent);
        EXPECT_EQ(both[k].cost, 0u);
    }
}

// --- the suite reading them ---------------------------------------------

// The binlog line: caller/answerer bits swapped into the suite's outgoing/
// incoming, stored local time, one incoming and one outgoing channel.
const char* const binlogConfig =
    "[COMMON]\n"
    "TimeShift 0\n"
    "SessionStat binlog.ses\n"
    "Pondrel binlog.lnk\n"
    "Output binlog.out\n"
    "Addr 2:5020/2\n"
    "Addr 2:5020/3\n"
    "Addr 2:5020/4\n"
    "[LINE]\n"
    "History binkd.his,1,1\n"
    "SwapInOut Yes\n";

// The fdouthist/fdinhist pair: the direction comes from the file names.
const char* const fdConfig =
    "[COMMON]\n"
    "TimeShift 0\n"
    "SessionStat fd.ses\n"
    "Pondrel fd.lnk\n"
    "Output fd.out\n"
    "Addr 2:5020/2\n"
    "Addr 2:5020/3\n"
    "Addr 2:5020/4\n"
    "[LINE]\n"
    "History binkd.ohs\n";

// binkd's text log: directions, failures and protection of its own.
const char* const textLogConfig =
    "[COMMON]\n"
    "SessionStat text.ses\n"
    "Pondrel text.lnk\n"
    "Output text.out\n"
    "Addr 2:5020/2\n"
    "Addr 2:5020/3\n"
    "Addr 2:5020/4\n"
    "[LINE]\n"
    "History binkd.log\n";

// The text log and the binlog, each as its line reads it, in one dump.
const char* const bothLogsConfig =
    "[LINE]\n"
    "History binkd.log\n"
    "[LINE]\n"
    "History binkd.his,1,1\n"
    "SwapInOut Yes\n"
    "TimeShift 0\n";

std::string brimselRow(const Planned& p, const Stored& s, const char* pnoi) {
    return "│ 2:5020/" + std::to_string(p.node) + ".0      │ " +
           timeText(s.start, "%a %b %d %H:%M:%S %Y") + " │ " + fmt("%5lu", s.duration) + " │ " +
           p.receivedCompact + " │ " + p.sentCompact + " │ " + pnoi + " │";
}

TEST_F(BinkdPeer, BrimselShowsEverySessionAsStored) {
    writeText(his("binlog.ctl"), binlogConfig);
    ProgramResult r = run(brimselPath, {"-cbinlog.ctl"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nFile: binkd.his\n"), std::string::npos);
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < sessionCount; ++i) {
        const char* pnoi = plan[i].failed ? "0011" : plan[i].aCalled ? "0001" : "0010";
        expected.push_back(brimselRow(plan[i], stored_[i], pnoi));
    }
    EXPECT_EQ(linesStarting(r.out, "│ 2:5020/"), expected);

    writeText(his("fd.ctl"), fdConfig);
    r = run(brimselPath, {"-cfd.ctl"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::size_t outTable = r.out.find("\nFile: binkd.ohs\n");
    const std::size_t inTable = r.out.find("\nFile: binkd.ihs\n");
    ASSERT_NE(outTable, std::string::npos);
    ASSERT_NE(inTable, std::string::npos);
    EXPECT_LT(outTable, inTable);
    expected.clear();
    for (std::size_t i : fileOrder())
        expected.push_back(brimselRow(plan[i], stored_[i], plan[i].aCalled ? "0110" : "0101"));
    EXPECT_EQ(linesStarting(r.out, "│ 2:5020/"), expected);
}

// Counts of one address entry, by the rules of the suite: a recorded 0 s
// lasts 1 s, CPS time is the time of sessions that moved bytes.
struct Tally {
    unsigned long in = 0, out = 0, timeIn = 0, timeOut = 0, cpsTime = 0;
    std::uint32_t received = 0, sent = 0;
    bool protectedSession = false;  // one was counted: the P of its link row
    unsigned long online() const { return timeIn + timeOut; }
    std::uint32_t cps() const {
        const std::uint32_t bytes = received + sent;
        return cpsTime > 1 ? static_cast<std::uint32_t>(bytes / cpsTime) : bytes;
    }
};

// A line as the reports must count it: the sessions in the order it reads
// them, with the start and duration it holds for each.
struct Line {
    std::string stem;  // of its configuration and report files
    std::vector<std::size_t> order;
    std::vector<std::uint32_t> starts, durations;  // by plan index; a recorded 0 s lasts 1 s
    bool failedIncoming;  // the binlog: a failed session has both bits, BinkDAborted In
    bool abortColumn;     // its format tells aborted sessions
    bool protection;      // and protected ones

    bool countsIncoming(const Planned& p) const {
        return (failedIncoming && p.failed) || !p.aCalled;
    }
};

std::string ravlogSessionRow(const Line& line, std::size_t i) {
    const Planned& p = plan[i];
    const std::uint32_t d = line.durations[i];
    const char abortMark = line.abortColumn && p.failed ? 'A' : ' ';
    const char protMark = line.protection && p.passworded ? 'P' : ' ';
    return "║  " + timeText(line.starts[i], "%H:%M:%S") + "  │ " +
           (line.countsIncoming(p) ? "In " : "Out") + " │  2:5020/" + std::to_string(p.node) +
           ".0      " + protMark + abortMark + "│" + hms("%3lu:%02lu:%02lu", d) + " │ " +
           p.receivedPlain + " │ " + p.sentPlain + " │ " + plainTraffic((p.received + p.sent) / d) +
           " ║";
}

std::string ravlogLinkRow(int node, const Tally& t) {
    auto cell = [](unsigned long count, unsigned long seconds) {
        return count == 0 ? std::string("  -│ -:--:-- ║")
                          : fmt("%3lu", count) + "│" + hms("%2lu:%02lu:%02lu ║", seconds);
    };
    const std::string cps =
        t.cps() < 1000000 ? fmt(" %6lu║", t.cps()) : " " + plainTraffic(t.cps()) + "║";
    return std::string("║") + (t.protectedSession ? "P" : " ") + " 2:5020/" + std::to_string(node) +
           ".*     ║" + cell(t.in, t.timeIn) + cell(t.out, t.timeOut) +
           hms("%2lu:%02lu:%02lu ║", t.online()) + plainTraffic(t.received) + "║" +
           plainTraffic(t.sent) + "║" + cps;
}

std::string pondrelLinkRow(int node, const Tally& t) {
    auto cell = [](unsigned long count, unsigned long seconds) {
        return count == 0 ? std::string("   -│ -:--:-- ║")
                          : fmt("%4lu", count) + "│" + hms("%2lu:%02lu:%02lu ║", seconds);
    };
    return "║ 2:5020/" + std::to_string(node) + ".*    ║" + cell(t.in, t.timeIn) +
           cell(t.out, t.timeOut) + hms("%2lu:%02lu:%02lu ║", t.online()) +
           plainTraffic(t.received) + "║" + plainTraffic(t.sent) + "║ " + plainTraffic(t.cps()) +
           "║";
}

// Expected report lines, built from the plan and the durations the line holds.
struct Reports : BinkdPeer {
    static Line binaryLine(const std::string& stem, std::vector<std::size_t> order,
                           bool failedIncoming, bool abortColumn) {
        Line line{stem, std::move(order), {}, {}, failedIncoming, abortColumn, false};
        for (std::size_t i = 0; i < sessionCount; ++i) {
            line.starts.push_back(stored_[i].start);
            line.durations.push_back(duration(i));
        }
        return line;
    }

    static Tally tally(const Line& line, int node) {
        Tally t;
        for (std::size_t i = 0; i < sessionCount; ++i) {
            if (node != 0 && plan[i].node != node) continue;
            const std::uint32_t d = line.durations[i];
            if (line.countsIncoming(plan[i])) {
                ++t.in;
                t.timeIn += d;
            } else {
                ++t.out;
                t.timeOut += d;
            }
            t.received += plan[i].received;
            t.sent += plan[i].sent;
            if (plan[i].received + plan[i].sent > 0) t.cpsTime += d;
            if (line.protection && plan[i].passworded) t.protectedSession = true;
        }
        return t;
    }

    static std::vector<std::string> ravlogLinkRows(const Line& line) {
        return {ravlogLinkRow(2, tally(line, 2)), ravlogLinkRow(3, tally(line, 3)),
                ravlogLinkRow(4, tally(line, 4))};
    }

    static std::string ravlogFooter(const Line& line) {
        const Tally t = tally(line, 0);
        return "║   Total:" + fmt("%4lu", t.in + t.out) + "    In:" + fmt("%4lu", t.in) +
               "    Out:" + fmt("%4lu", t.out) + "   │" + hms("%3lu:%02lu:%02lu", t.online()) +
               " │ " + plainTraffic(t.received) + " │ " + plainTraffic(t.sent) + " │" +
               fmt("%7lu", t.cps()) + " ║";
    }

    // Runs ravlog for the report day of the sessions and checks the
    // sessions statistic table (rows in the line's order) and link rows.
    static void checkRavlog(const Line& line) {
        const ProgramResult r = run(ravlogPath, {"-c" + line.stem + ".ctl", "-d" + reportDate()});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const std::string sessions = slurp(his(line.stem + ".ses"));
        std::vector<std::string> expected;
        for (std::size_t i : line.order)
            expected.push_back(ravlogSessionRow(line, i));
        std::vector<std::string> rows;
        for (const std::string& text : linesStarting(sessions, "║  "))
            if (text.find("│  2:5020/") != std::string::npos) rows.push_back(text);
        EXPECT_EQ(rows, expected) << sessions;
        EXPECT_EQ(linesStarting(sessions, "║   Total:"),
                  std::vector<std::string>{ravlogFooter(line)});

        const std::string links = slurp(his(line.stem + ".lnk"));
        std::vector<std::string> linkRows;
        for (const std::string& text : linesStarting(links, "║"))
            if (text.find(" 2:5020/") == std::string("║ ").size()) linkRows.push_back(text);
        EXPECT_EQ(linkRows, ravlogLinkRows(line)) << links;
    }

    static void checkPondrel(const Line& line) {
        const std::string day = reportDate();
        const ProgramResult r =
            run(pondrelPath, {"-c" + line.stem + ".ctl", "-b" + day, "-e" + day});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<std::string> expected = {pondrelLinkRow(2, tally(line, 2)),
                                                   pondrelLinkRow(3, tally(line, 3)),
                                                   pondrelLinkRow(4, tally(line, 4))};
        EXPECT_EQ(linesStarting(r.out, "║ 2:5020/"), expected) << r.out;

        // The earliest and the latest start, wherever they stand in the line.
        const char* const span = "%H:%M:%S, %d %B %Y, %A";
        const auto [first, last] = std::minmax_element(line.starts.begin(), line.starts.end());
        EXPECT_NE(r.out.find("From: " + timeText(*first, span) + "\n"), std::string::npos);
        EXPECT_NE(r.out.find("To  : " + timeText(*last, span) + "\n"), std::string::npos);

        const Tally t = tally(line, 0);
        const std::vector<std::string> box = {
            "│ Total Received :  " + plainTraffic(t.received) + " │ Sessions In   :" +
                fmt("%6lu", t.in) + " │ Time In     :" + hms("%5lu:%02lu:%02lu", t.timeIn) + " │",
            "│ Total Sent     :  " + plainTraffic(t.sent) + " │ Sessions Out  :" +
                fmt("%6lu", t.out) + " │ Time Out    :" + hms("%5lu:%02lu:%02lu", t.timeOut) + " │",
            "│ Total Traffic  :  " + plainTraffic(t.received + t.sent) +
                " │ Sessions Total:" + fmt("%6lu", t.in + t.out) +
                " │ Time Online :" + hms("%5lu:%02lu:%02lu", t.online()) + " │"};
        EXPECT_EQ(linesStarting(r.out, "│ Total "), box);
    }
};

std::vector<std::size_t> planOrder() {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < sessionCount; ++i)
        order.push_back(i);
    return order;
}

TEST_F(BinkdPeer, RavlogAndPondrelCountTheBinlogLine) {
    writeText(his("binlog.ctl"), binlogConfig);
    const Line line = Reports::binaryLine("binlog", planOrder(), true, true);
    Reports::checkRavlog(line);
    Reports::checkPondrel(line);
}

TEST_F(BinkdPeer, RavlogAndPondrelCountTheFdPair) {
    writeText(his("fd.ctl"), fdConfig);
    const Line line = Reports::binaryLine("fd", fileOrder(), false, false);
    Reports::checkRavlog(line);
    Reports::checkPondrel(line);
}

// The text log read as a line: every session the binlog holds, with its
// address and bytes, its start and duration within a second (the text log
// has the second of a line, the binlog its own rounding), the direction of
// an OK session the binlog's after SwapInOut, and beyond the binlog the
// password sessions protected and the failed ones in their true direction.
// Then ravlog's and pondrel's reports over it count the plan, in the
// direction the text log tells and with its durations.
TEST_F(BinkdPeer, TextLogLineReadsTheBinlogsSessionsAndTellsMore) {
    writeText(his("both.ctl"), bothLogsConfig);
    const ProgramResult dump = run(brimselPath, {"-cboth.ctl", "-fcsv"});
    ASSERT_EQ(dump.status, 0) << dump.err;
    const auto text = brimselCsvRows(dump.out, "binkd.log");
    const auto binary = brimselCsvRows(dump.out, "binkd.his");
    ASSERT_EQ(text.size(), sessionCount) << dump.out;
    ASSERT_EQ(binary.size(), sessionCount) << dump.out;
    Line line{"text", planOrder(), {}, {}, false, true, true};
    for (std::size_t i = 0; i < sessionCount; ++i) {
        SCOPED_TRACE(plan[i].what);
        const auto& t = text[i];
        const auto& b = binary[i];
        ASSERT_EQ(t.size(), csvAborted + 1u);
        ASSERT_EQ(b.size(), csvAborted + 1u);
        testing::expectTextRowIsBinlogRow(t, b);
        EXPECT_EQ(t[csvAddress], "2:5020/" + std::to_string(plan[i].node) + ".0");
        EXPECT_EQ(t[csvReceived], std::to_string(plan[i].received));
        EXPECT_EQ(t[csvSent], std::to_string(plan[i].sent));
        EXPECT_EQ(testing::csvSeconds(b[csvStart]), stored_[i].start);
        EXPECT_EQ(std::stol(b[csvDuration]), static_cast<long>(stored_[i].duration));
        if (!plan[i].failed) {
            EXPECT_NE(b[csvIncoming], b[csvOutgoing]);
        }
        const auto start = static_cast<std::uint32_t>(testing::csvSeconds(t[csvStart]));
        const long duration = std::stol(t[csvDuration]);
        EXPECT_EQ(t[csvIncoming], plan[i].aCalled ? "0" : "1");
        EXPECT_EQ(t[csvOutgoing], plan[i].aCalled ? "1" : "0");
        EXPECT_EQ(t[csvNormal], plan[i].failed ? "0" : "1");
        EXPECT_EQ(t[csvAborted], plan[i].failed ? "1" : "0");
        EXPECT_EQ(t[csvProtected], plan[i].passworded ? "1" : "0");
        line.starts.push_back(start);
        line.durations.push_back(duration == 0 ? 1 : static_cast<std::uint32_t>(duration));
    }

    writeText(his("text.ctl"), textLogConfig);
    Reports::checkRavlog(line);
    Reports::checkPondrel(line);
}

}  // namespace
}  // namespace rv
