// History cutting against a real mailer that does not lock. binkd callers
// on 127.0.0.1 call node A one session after another, each sending a file
// of a size that no other session sends, and every binkd (the callers and
// A) logs into one binlog, which ravlog cuts back to back: undisturbed, or
// with one run in three killed (SIGKILL) at a random moment. Sessions older
// than the limit are appended before every run, so that each run cuts.
// Every session that a binkd text log reports must then be in the binlog,
// once, as both of its ends wrote it.
//
// RAVLOG_SOAK_SECONDS (of calls per test, 8 by default) and
// RAVLOG_SOAK_SESSIONS (20000) bound it: `make soak` runs it for minutes.
// RAVLOG_SOAK_UNLEASED=1 has every lease refused (tests/cut_fault), to
// measure what the lease protects: losses are then counted, not failed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <array>
#include <cstdlib>
#include <map>
#include <random>
#include <regex>
#include <tuple>

#include "binkd_nodes.h"
#include "core/le.h"
#include "scratch_dir.h"

namespace rv {
namespace {

using testing::ChildGroup;
using testing::Node;
using testing::ScratchDir;
using testing::slurp;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t recordSize = 28;
constexpr std::int16_t oldNode = 9999;  // the sessions appended to be dropped

long setting(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::atol(text) : fallback;
}

// A session as a binlog record holds it: remote node, bytes received,
// bytes sent, flags.
using Key = std::tuple<int, std::uint32_t, std::uint32_t, int>;
using Keys = std::map<Key, long>;

// What binkd's text log says was held, each end as its record will say:
// "done (to|from 2:5020/N@fidonet, OK|failed, S/R: f/f (sent/received bytes))".
void addLogged(const std::string& log, Keys& keys) {
    static const std::regex done(
        R"(done \((to|from) 2:5020/(\d+)@fidonet, (OK|failed), S/R: \d+/\d+ \((\d+)/(\d+) bytes\)\))");
    for (std::sregex_iterator m(log.begin(), log.end(), done), end; m != end; ++m) {
        const int flags = (*m)[3] == "failed" ? 3 : (*m)[1] == "to" ? 1 : 2;
        ++keys[{std::stoi((*m)[2]), static_cast<std::uint32_t>(std::stoul((*m)[5])),
                static_cast<std::uint32_t>(std::stoul((*m)[4])), flags}];
    }
}

// Sessions of two months ago, a batch as a mailer that catches up writes them.
bool appendOld(const std::string& binlog, std::size_t count) {
    std::vector<std::uint8_t> bytes(count * recordSize);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* r = bytes.data() + i * recordSize;
        storeS16(r, 2);
        storeS16(r + 2, 5020);
        storeS16(r + 4, oldNode);
        storeU32(r + 8, static_cast<std::uint32_t>(std::time(nullptr) - 60 * 86400));
        storeU16(r + 26, 1);
    }
    const int fd = ::open(binlog.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const bool ok =
        fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    if (fd >= 0) ::close(fd);
    return ok;
}

struct Soak {
    std::string problem;  // what kept it from running
    long sessions = 0, records = 0, cuts = 0, lost = 0, doubled = 0, strange = 0;
    long runs = 0, kills = 0, restores = 0, removed = 0, unleased = 0, cannot = 0;
};

Soak runSoak(const std::string& binkd, bool killing, bool leased) {
    Soak s;
    // Undisturbed, as many cuts a second as can be, in memory; killed, on
    // disk, where the flushes take most of a run, so that kills fall into
    // the cut.
    ScratchDir dir{killing ? std::filesystem::temp_directory_path() : testing::fastestBase()};
    const std::string binlog = dir.file("binkd.his");
    Node a{"A", 1, testing::freeLoopbackPort(), dir.file("A")};
    std::array<Node, 4> callers;
    for (std::size_t i = 0; i < callers.size(); ++i)
        callers[i] = {"C" + std::to_string(i), static_cast<std::int16_t>(11 + i),
                      testing::freeLoopbackPort(), dir.file("C" + std::to_string(i))};
    std::vector<std::pair<const Node*, std::string>> peers;
    for (const Node* n : {&a, &callers[0], &callers[1], &callers[2], &callers[3]}) {
        for (const char* sub : {"/inbound", "/inbound-unprotected", "/temp", "/outbound"})
            std::filesystem::create_directories(n->dir + sub);
        std::filesystem::create_symlink(binlog, n->file("binkd.his"));  // one binlog for all
        if (n != &a) {
            testing::writeConfig(*n, {{&a, "-"}});
            peers.push_back({n, "-"});
        }
    }
    testing::writeConfig(a, peers);
    dir.write("ravlog.ctl", "[COMMON]\nAddr 2:*/*\n[LINE]\nHistory binkd.his,1,1\nCutHistory 30\n");

    testing::SubreaperScope reaper;
    ChildGroup server;
    if (!server.start(binkd, {"-s", a.config()}, a.dir, {"TZ=UTC"}, a.file("server.out")) ||
        !testing::awaitListener(server, a.port)) {
        s.problem = "node A does not listen: " + slurp(a.file("binkd.log"));
        return s;
    }
    const std::string program =
        std::string(RV_BUILD_DIR) + (leased ? "/ravlog/ravlog" : "/tests/ravlog_cut_fault");
    const std::vector<std::string> env = {"TZ=UTC", "RAVLOG_CUT_PROBE=unleased"};
    std::mt19937 random(std::random_device{}());
    std::array<ChildGroup, 4> calls;
    ChildGroup cutter;
    std::uint32_t size = 1000;  // the next session's file: a size of its own
    double runSeconds = 0.05;   // how long an undisturbed run takes, for the kills
    Clock::time_point runStart, killAt = Clock::time_point::max();
    const auto stopCalling = Clock::now() + std::chrono::seconds(setting("RAVLOG_SOAK_SECONDS", 8));
    const long sessionLimit = setting("RAVLOG_SOAK_SESSIONS", 20000);
    for (long started = 0;;) {
        const bool calling = Clock::now() < stopCalling && started < sessionLimit;
        bool busy = false;
        for (std::size_t i = 0; i < calls.size(); ++i) {
            if (calls[i].running() && !calls[i].waitExit(0ms, nullptr)) {
                busy = true;
                continue;
            }
            calls[i].stop();
            if (!calling) continue;
            const Node& c = callers[i];
            const std::string file = c.file("s" + std::to_string(size));
            testing::writeFilled(file, size++, 's');
            testing::writeText(c.flowTo(a.number), file + "\n");
            if (!calls[i].start(binkd, {"-p", "-P", a.address(), c.config()}, c.dir, {"TZ=UTC"},
                                c.file("client.out")))
                s.problem = "cannot start binkd";
            ++started;
            busy = true;
        }
        if (cutter.running() && cutter.waitExit(0ms, nullptr)) {
            if (killAt == Clock::time_point::max())
                runSeconds = 0.8 * runSeconds +
                             0.2 * std::chrono::duration<double>(Clock::now() - runStart).count();
            cutter.stop();
        } else if (cutter.running() && Clock::now() >= killAt) {
            cutter.signal(SIGKILL);
            ++s.kills;
            killAt = Clock::time_point::max();
        }
        if (!cutter.running()) {
            if (!busy || !s.problem.empty()) break;
            if (!appendOld(binlog, 20 + random() % 180)) s.problem = "cannot append";
            cutter.start(program, {}, dir.path(), leased ? std::vector{env[0]} : env,
                         dir.file("ravlog.txt"));
            ++s.runs;
            runStart = Clock::now();
            killAt = Clock::time_point::max();
            if (killing && random() % 3 == 0)
                killAt = runStart + std::chrono::microseconds(static_cast<long>(
                                        runSeconds * 1.2e6 * (random() % 1000) / 1000.0));
        }
        std::this_thread::sleep_for(1ms);
    }
    // The answering ends write their records as their sessions close.
    std::this_thread::sleep_for(1s);
    server.stop();
    // An undisturbed last run finishes what a killed one left.
    const testing::ProgramResult last =
        testing::runProgram(program, {}, dir.path(), leased ? std::vector{env[0]} : env);
    const std::string said = slurp(dir.file("ravlog.txt")) + last.out + last.err;
    auto count = [&said](const std::string& text) {
        long n = 0;
        for (std::size_t at = said.find(text); at != std::string::npos;
             at = said.find(text, at + 1))
            ++n;
        return n;
    };
    s.cuts = count("Cut binkd.his: ");
    s.restores = count("Restored binkd.his");
    s.removed = count("Removed the unfinished journal");
    s.unleased = count("without a lease");
    s.cannot = count("Can't ");
    if (std::filesystem::exists(binlog + ".journal")) s.problem += "a journal is left; ";

    Keys want, have;
    for (const Node* n : {&a, &callers[0], &callers[1], &callers[2], &callers[3]})
        addLogged(slurp(n->file("binkd.log")), want);
    const std::string bytes = slurp(binlog);
    for (std::size_t at = 0; at + recordSize <= bytes.size(); at += recordSize) {
        const auto* r = reinterpret_cast<const std::uint8_t*>(bytes.data() + at);
        ++have[{loadS16(r + 4), loadU32(r + 16), loadU32(r + 20), loadU16(r + 26)}];
    }
    s.strange = bytes.size() % recordSize ? 1 : 0;
    for (const auto& [key, n] : want) {
        s.records += n;
        s.sessions += std::get<3>(key) == 1 ? n : 0;
        const long got = have.count(key) ? have[key] : 0;
        s.lost += std::max(0L, n - got);
        s.doubled += std::max(0L, got - n);
    }
    for (const auto& [key, n] : have)
        if (!want.count(key)) s.strange += n;
    return s;
}

void soak(bool killing) {
    const std::string binkd = testing::findBinkd();
    if (binkd.empty())
        GTEST_SKIP() << "binkd is not installed (Debian package binkd): the soak did not run";
    const bool leased = setting("RAVLOG_SOAK_UNLEASED", 0) == 0;
    const Soak s = runSoak(binkd, killing, leased);
    ASSERT_EQ(s.problem, "");
    std::printf(
        "%s%s: %ld sessions (%ld records), %ld cuts in %ld runs, %ld killed, %ld restored, %ld "
        "unfinished journals removed, %ld without a lease, %ld can't; lost %ld, doubled %ld, "
        "strange %ld\n",
        killing ? "runs killed" : "plain", leased ? "" : ", leases refused", s.sessions, s.records,
        s.cuts, s.runs, s.kills, s.restores, s.removed, s.unleased, s.cannot, s.lost, s.doubled,
        s.strange);
    EXPECT_GT(s.sessions, 0);
    EXPECT_GT(s.cuts, 0);
    EXPECT_EQ(s.doubled, 0);
    EXPECT_EQ(s.strange, 0);
    EXPECT_EQ(s.cannot, 0);
    if (killing) {
        EXPECT_GT(s.kills, 0);
    }
    if (!leased) return;
    EXPECT_EQ(s.lost, 0);
    EXPECT_EQ(s.unleased, 0);
}

TEST(CutSoak, BinkdSessionsSurviveCutsBackToBack) {
    soak(false);
}

TEST(CutSoak, BinkdSessionsSurviveCutsKilledAtRandom) {
    soak(true);
}

}  // namespace
}  // namespace rv
