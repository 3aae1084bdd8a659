// History cutting against a real mailer that does not lock: binkd callers on
// 127.0.0.1 call node A back to back, each session sending a file of a size
// of its own, all logging into one binlog, which ravlog cuts back to back,
// undisturbed or with a third of its runs killed at random. Every session end
// that a binkd text log reports must then be in the binlog once.
// RAVLOG_SOAK_SECONDS (8) and RAVLOG_SOAK_SESSIONS (20000) bound it (`make soak`);
// RAVLOG_SOAK_UNLEASED=1 refuses every lease: losses are then counted, not failed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <array>
#include <cstdlib>
#include <map>
#include <random>

#include "binkd_nodes.h"
#include "core/le.h"
#include "scratch_dir.h"
#include "tools/history_writer.h"

namespace rv {
namespace {

using namespace testing;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

long setting(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::atol(text) : fallback;
}

void soak(bool killing) {
    const std::string binkd = findBinkd();
    if (binkd.empty()) GTEST_SKIP() << "binkd is not installed (Debian package binkd)";
    const bool leased = setting("RAVLOG_SOAK_UNLEASED", 0) == 0;
    // Undisturbed, as many cuts a second as can be, in memory; killed, on
    // disk, where the flushes take most of a run, so that kills fall into it.
    ScratchDir dir{killing ? std::filesystem::temp_directory_path() : fastestBase()};
    const std::string binlog = dir.file("binkd.his");
    std::array<Node, 5> nodes;  // A, then the callers
    std::vector<std::pair<const Node*, std::string>> peers;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const std::string name(1, "ABCDE"[i]);
        nodes[i] = {name, static_cast<std::int16_t>(i + 1), freeLoopbackPort(), dir.file(name)};
        for (const char* sub : {"/inbound", "/inbound-unprotected", "/temp", "/outbound"})
            std::filesystem::create_directories(nodes[i].dir + sub);
        std::filesystem::create_symlink(binlog, nodes[i].file("binkd.his"));
        if (i) writeConfig(nodes[i], {{&nodes[0], "-"}});
        if (i) peers.push_back({&nodes[i], "-"});
    }
    const Node& a = nodes[0];
    writeConfig(a, peers);
    dir.write("ravlog.ctl", "[COMMON]\nAddr 2:*/*\n[LINE]\nHistory binkd.his,1,1\nCutHistory 30\n");

    SubreaperScope reaper;
    ChildGroup server, cutter, calls[5];
    ASSERT_TRUE(server.start(binkd, {"-s", a.config()}, a.dir, {"TZ=UTC"}, a.file("server.out")) &&
                awaitListener(server, a.port))
        << slurp(a.file("binkd.log"));
    const std::string program = leased ? builtProgram("ravlog") : testing::cutFaultProgram();
    std::vector<std::string> env = {"TZ=UTC"};
    if (!leased) env.push_back("RAVLOG_CUT_PROBE=unleased");
    std::mt19937 random(std::random_device{}());
    // Sessions of two months ago, up to 200 of which are appended in one write
    // before every run, as a mailer that catches up would.
    const auto old = static_cast<std::uint32_t>(std::time(nullptr) - 60 * 86400);
    histgen::HistoryWriter olds(HistoryType::plain28);
    for (int i = 0; i < 200; ++i)
        olds.session({{2, 5020, 9999, 0}, old, 0, 0, 0, 0, 1, 0, {}});
    long kills = 0, runs = 0;
    std::uint32_t size = 1000;       // the next session's file: a size of its own
    Clock::duration runTime = 50ms;  // how long an undisturbed run takes, for the kills
    const auto never = Clock::time_point::max();
    Clock::time_point runStart, killAt = never;
    const auto stopCalling = Clock::now() + std::chrono::seconds(setting("RAVLOG_SOAK_SECONDS", 8));
    for (long started = 0, limit = setting("RAVLOG_SOAK_SESSIONS", 20000);;) {
        const bool calling = Clock::now() < stopCalling && started < limit;
        bool busy = calling;
        for (std::size_t i = 1; i < nodes.size(); ++i) {
            if (!calls[i].running() || calls[i].waitExit(0ms, nullptr)) calls[i].stop();
            busy = busy || calls[i].running();
            if (calls[i].running() || !calling) continue;
            const std::string file = nodes[i].file("s" + std::to_string(size));
            writeFilled(file, size++, 's');
            writeText(nodes[i].flowTo(a.number), file + "\n");
            ASSERT_TRUE(calls[i].start(binkd, {"-p", "-P", a.address(), nodes[i].config()},
                                       nodes[i].dir, {"TZ=UTC"}, nodes[i].file("client.out")));
            ++started;
        }
        if (cutter.running() && cutter.waitExit(0ms, nullptr)) {
            if (killAt == never) runTime = (4 * runTime + Clock::now() - runStart) / 5;
            cutter.stop();
        } else if (cutter.running() && Clock::now() >= killAt) {
            cutter.signal(SIGKILL);
            ++kills;
            killAt = never;
        }
        if (!cutter.running()) {
            if (!busy) break;
            const int fd = ::open(binlog.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
            const std::size_t n = 28 * (20 + random() % 180);
            ASSERT_TRUE(::write(fd, olds.bytes().data(), n) == static_cast<ssize_t>(n) &&
                        ::close(fd) == 0);
            cutter.start(program, {}, dir.path(), env, dir.file("ravlog.txt"));
            runStart = Clock::now();
            ++runs;
            killAt = killing && random() % 3 == 0
                         ? runStart + runTime * static_cast<long>(random() % 1200) / 1000
                         : never;
        }
        std::this_thread::sleep_for(1ms);
    }
    // The answering ends write as their sessions close: A's helpers.
    server.awaitHelpersGone(1s);
    server.stop();
    // An undisturbed last run finishes what a killed one left.
    const ProgramResult last = runProgram(program, {}, dir.path(), env);
    const std::string said = slurp(dir.file("ravlog.txt")) + last.out + last.err;
    std::map<std::string, long> told;  // how often ravlog said each
    for (const char* text : {"Cut binkd.his: ", "Can't ", "without a lease", "Restored ",
                             "Removed the unfinished journal"})
        for (std::size_t at = 0; (at = said.find(text, at)) != said.npos; ++at)
            ++told[text];
    // Each session end as its record holds it (remote node, bytes received,
    // bytes sent, flags): how often binkd logged it, how often the binlog has it.
    using Key = std::array<unsigned long, 4>;
    std::map<Key, std::array<long, 2>> seen;
    for (const Node& node : nodes) {
        // "done (to|from 2:5020/N@fidonet, OK|failed, S/R: f/f (sent/received bytes))"
        const std::string log = slurp(node.file("binkd.log"));
        for (std::size_t at = 0; (at = log.find("done (", at)) != log.npos; ++at) {
            Key k{};
            char way[5] = {}, outcome[7] = {};
            if (std::sscanf(log.substr(at, 160).c_str(),
                            "done (%4s 2:5020/%lu@fidonet, %6[^,], S/R: %*u/%*u (%lu/%lu bytes))",
                            way, &k[0], outcome, &k[2], &k[1]) == 5)
                ++seen[{k[0], k[1], k[2], outcome[0] == 'f' ? 3ul : way[0] == 't' ? 1ul : 2ul}][0];
        }
    }
    const std::string bytes = slurp(binlog);
    for (std::size_t at = 0; at + 28 <= bytes.size(); at += 28) {
        const auto* r = reinterpret_cast<const std::uint8_t*>(bytes.data() + at);
        ++seen[{loadU16(r + 4), loadU32(r + 16), loadU32(r + 20), loadU16(r + 26)}][1];
    }
    long sessions = 0, lost = 0, doubled = 0, strange = bytes.size() % 28 ? 1 : 0;
    for (const auto& [key, n] : seen) {
        sessions += key[3] == 1 ? n[0] : 0;
        lost += std::max(0L, n[0] - n[1]);
        (n[0] ? doubled : strange) += std::max(0L, n[1] - n[0]);
    }
    std::printf(
        "%ld sessions, %ld cuts in %ld runs, %ld killed, %ld restored, %ld unfinished journals "
        "removed, %ld unleased; lost %ld, doubled %ld, strange %ld\n",
        sessions, told["Cut binkd.his: "], runs, kills, told["Restored "],
        told["Removed the unfinished journal"], told["without a lease"], lost, doubled, strange);
    EXPECT_FALSE(std::filesystem::exists(binlog + ".journal"))
        << "the last run ended with " << last.status << "; the runs said at last:\n"
        << said.substr(said.size() > 2000 ? said.size() - 2000 : 0);
    EXPECT_TRUE(sessions > 0 && told["Cut binkd.his: "] > 0 && (kills > 0) == killing);
    EXPECT_EQ(doubled + strange + told["Can't "], 0);
    EXPECT_EQ(leased ? lost + told["without a lease"] : 0, 0);  // refused, they are measured
}

TEST(CutSoak, BinkdSessionsSurviveCutsBackToBack) {
    soak(false);
}

TEST(CutSoak, BinkdSessionsSurviveCutsKilledAtRandom) {
    soak(true);
}

}  // namespace
}  // namespace rv
