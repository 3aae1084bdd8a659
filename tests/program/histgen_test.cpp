// histgen, the generator the other tests, the demo and the benchmarks
// stand on: record lists, the seeded node and the command line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/history_reader.h"
#include "core/le.h"
#include "core/session_kind.h"
#include "report_texts.h"
#include "run_program.h"
#include "same_text.h"
#include "scratch_dir.h"
#include "tools/binkd_text_log.h"
#include "tools/bulk_links.h"
#include "tools/history_writer.h"
#include "tools/node_history.h"
#include "tools/record_list.h"

namespace rv {
namespace {

using namespace histgen;
using testing::ProgramResult;
using testing::ScratchDir;
using T = HistoryType;

const std::string histgenPath = testing::builtFile("tools/histgen");

TEST(HistgenTimes, CalendarTextToSeconds) {
    EXPECT_EQ(utcSeconds(1970, 1, 1), 0u);
    EXPECT_EQ(utcSeconds(1991, 1, 1), 662688000u);
    EXPECT_EQ(parseTime("2024-03-05T10:15:00"), 1709633700u);
    EXPECT_EQ(parseTime("2024-03-05T10:15"), 1709633700u);
    EXPECT_EQ(parseTime("2024-03-05"), 1709596800u);
    EXPECT_EQ(parseTime("2106-02-07T06:28:15"), std::nullopt);  // 2^32 seconds
    EXPECT_EQ(parseTime("1709633700"), 1709633700u);
    for (const char* bad : {"2024-13-01", "2024-03-05T24:00", "2024-3-5", "2024-03-05 10:15",
                            "2024-03-05T10:60:00", "x", ""}) {
        EXPECT_EQ(parseTime(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(parseNumber("0x0d"), 13u);
    EXPECT_EQ(parseNumber("4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(parseNumber("4294967296"), std::nullopt);
}

TEST(HistgenList, SessionLineBytes) {
    HistoryWriter w(T::plain28);
    ASSERT_FALSE(writeRecordList(
        "# one session\n"
        "2:5020/100.0 2024-03-05T10:15:00 dur=60 rcvd=1000 sent=2048 flags=0x0d cost=3 spare=7\n",
        w));
    Bytes expected(28, 0);
    storeU16(&expected[0], 2);
    storeU16(&expected[2], 5020);
    storeU16(&expected[4], 100);
    storeU32(&expected[8], 1709633700);
    storeU32(&expected[12], 60);
    storeU32(&expected[16], 1000);
    storeU32(&expected[20], 2048);
    storeU16(&expected[24], 7);
    storeU16(&expected[26], 0x0d);
    EXPECT_EQ(w.bytes(), expected);
}

TEST(HistgenList, BrakeLinesAndHeader) {
    HistoryWriter w(T::brake);
    ASSERT_FALSE(
        writeRecordList("ANSWER 100000000 dur=30\n"
                        "SKIP 254 5\n"
                        "-1:2/3.4 7 rcvd=1+2+3 flags=1\n",
                        w));
    w.defaultBrakeHeaderToFirstRecord();
    const Bytes& b = w.bytes();
    ASSERT_EQ(b.size(), 6u + 12 + 9 + 68);
    EXPECT_EQ(loadU32(&b[0]), 100000000u);  // the header takes the first record's time
    EXPECT_EQ(b[4], 0xFE);
    EXPECT_EQ(b[6 + 4], 0);  // code 0: Answer
    EXPECT_EQ(loadU32(&b[6 + 8]), 30u);
    EXPECT_EQ(b[18 + 4], 254);
    EXPECT_EQ(b[27 + 4], 5);  // incoming: code 5
    EXPECT_EQ(loadS16(&b[35]), -1);
    EXPECT_EQ(loadU32(&b[35 + 20]), 1u);  // received 1, 2, 3
    EXPECT_EQ(loadU32(&b[35 + 28]), 2u);
    EXPECT_EQ(loadU32(&b[35 + 36]), 3u);

    HistoryWriter h(T::brake);
    ASSERT_FALSE(writeRecordList("HEADER 12\nDIAL 1000 dur=1\n", h));
    h.defaultBrakeHeaderToFirstRecord();
    EXPECT_EQ(loadU32(h.bytes().data()), 12u);
}

TEST(HistgenList, ErrorsNameTheLine) {
    struct Case {
        HistoryType type;
        const char* text;
        int line;
    };
    const Case cases[] = {
        {T::plain28, "\n2:5020 2024-03-05\n", 2},
        {T::plain28, "2:5020/1 2024-03-05 bogus=1\n", 1},
        {T::plain28, "2:5020/1 2024-03-05 dur\n", 1},
        {T::plain28, "2:5020/1 2024-03-05 flags=0x10000\n", 1},
        {T::plain28, "2:5020/1\n", 1},
        {T::plain28, "2:5020/99999 1\n", 1},
        {T::plain28, "# fine\nANSWER 1 dur=2\n", 2},
        {T::brake, "SKIP 5 1\n", 1},
        {T::wide316, "SKIP 9 1\n", 1},
        {T::plain28, "DUMMY 1\n", 1},
        {T::brake, "ANSWER 1\n", 1},
        {T::plain28, "2:5020/1 1 rcvd=1+2+3+4\n", 1},
    };
    for (const Case& c : cases) {
        HistoryWriter w(c.type);
        auto error = writeRecordList(c.text, w);
        ASSERT_TRUE(error) << c.text;
        EXPECT_EQ(error->line, c.line) << c.text;
        EXPECT_FALSE(error->message.empty());
    }
}

// ------------------------------------------------------------------- node

NodeOptions weekOf(std::uint64_t seed) {
    NodeOptions o;
    o.days = 7;
    o.seed = seed;
    o.endDay = parseTime("2024-03-10").value() / 86400;
    return o;
}

TEST(HistgenNode, SameSeedSameFiles) {
    const auto a = generateNode(weekOf(42));
    const auto b = generateNode(weekOf(42));
    const auto c = generateNode(weekOf(43));
    ASSERT_EQ(a.size(), 10u);
    ASSERT_EQ(b.size(), 10u);
    bool anyDifferent = false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].name, b[i].name);
        EXPECT_EQ(a[i].bytes, b[i].bytes) << a[i].name;
        anyDifferent = anyDifferent || a[i].bytes != c[i].bytes;
    }
    EXPECT_TRUE(anyDifferent);
}

// The text log of the node tells of the sessions of binkd.his: the same
// sessions in the same order, with the direction of a failed one, which
// the binary log loses.
TEST(HistgenNode, BinkdLineSessionsAreThoseOfTheBinaryLog) {
    const NodeOptions options = weekOf(7);
    const std::vector<SessionRecord> sessions = binkdLineSessions(options);
    const Bytes binlog = generateNode(options).front().bytes;
    ASSERT_EQ(binlog.size(), sessions.size() * 28);
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        SCOPED_TRACE(i);
        const std::uint8_t* p = binlog.data() + i * 28;
        const SessionRecord& s = sessions[i];
        const FidoAddress stored{loadS16(p), loadS16(p + 2), loadS16(p + 4), loadS16(p + 6)};
        EXPECT_EQ(stored, s.address);
        EXPECT_EQ(loadU32(p + 8), s.startTime);
        EXPECT_EQ(loadU32(p + 12), s.duration);
        EXPECT_EQ(loadU32(p + 16), s.bytesReceived);
        EXPECT_EQ(loadU32(p + 20), s.bytesSent);
        const bool failed = !(s.flags & SessionFlags::normal);
        EXPECT_EQ(loadU16(p + 26), failed ? 3 : (s.flags & SessionFlags::incoming) ? 2 : 1);
    }
}

// The History value under which the demo configuration names each file.
std::string historyValue(const std::string& name) {
    return name == "binkd.his" ? "binkd.his,2,1" : name;
}

TEST(HistgenNode, EveryFileReadsAsItsTypeWithTheSessionsANodeSees) {
    for (std::uint64_t seed : {1u, 2u, 3u, 2718u, 99999u}) {
        const auto files = generateNode(weekOf(seed));
        MemoryOpener memory;
        for (const auto& f : files)
            memory.add(f.name, f.bytes);
        const std::uint32_t first = parseTime("2024-03-04").value();
        const std::uint32_t end = parseTime("2024-03-11").value();
        std::set<std::uint16_t> kinds;
        bool zeroLength = false, point = false, aborted = false, pastMidnight = false;
        std::set<std::int16_t> zones, nets;
        for (const auto& f : files) {
            SCOPED_TRACE(f.name + " seed " + std::to_string(seed));
            HistorySource source;
            parseHistoryValue(historyValue(f.name), source);
            MemoryDirectory directory;
            HistoryReader reader(memory, directory, 0);
            ASSERT_TRUE(reader.openHistory(source, true));
            EXPECT_EQ(reader.type(), f.type);
            SessionRecord r;
            std::size_t count = 0;
            while (reader.readSession(r)) {
                ++count;
                if (kindOfAddress(r.address)) {
                    kinds.insert(r.flags & SessionFlags::kindMask);
                    continue;
                }
                if (f.type == T::dated104) continue;  // local time; checked elsewhere
                EXPECT_GE(r.startTime, first);
                EXPECT_LT(r.startTime, end);
                zeroLength = zeroLength || r.duration == 0;
                point = point || r.address.point != 0;
                if (f.type == T::binkd) aborted = aborted || r.flags == 3;
                if (f.type == T::plain28) aborted = aborted || !(r.flags & SessionFlags::normal);
                pastMidnight = pastMidnight || (r.startTime % 86400) + r.duration > 86400;
                zones.insert(r.address.zone);
                nets.insert(r.address.net);
            }
            // The first file of a type 8 pair loses its dummy; so each
            // file yields its sessions, and the .ihs twin adds its dummy.
            EXPECT_EQ(count, f.sessions) << f.name;
            EXPECT_GT(count, 10u);
        }
        EXPECT_EQ(kinds.size(), 5u);
        EXPECT_TRUE(zeroLength);
        EXPECT_TRUE(point);
        EXPECT_TRUE(aborted);
        EXPECT_TRUE(pastMidnight);
        EXPECT_GE(zones.size(), 2u);
        EXPECT_GE(nets.size(), 4u);
    }
}

// ------------------------------------------------------------ command line

TEST(HistgenProgram, WriteBulkAndHelp) {
    ScratchDir dir;
    ProgramResult help = testing::runProgram(histgenPath, {"--help"}, dir.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(testing::sameText(help.out, testing::usageText("histgen")));

    ASSERT_TRUE(dir.write("list.txt", std::string("2:5020/1 2024-03-05T10:00 dur=5 flags=4\n"
                                                  "2:5020/2 2024-03-05T11:00 dur=6\n")));
    ProgramResult write = testing::runProgram(
        histgenPath, {"write", "--type", "6", "--out", "s.his", "list.txt"}, dir.path());
    EXPECT_EQ(write.status, 0);
    EXPECT_EQ(write.err, "");
    EXPECT_EQ(testing::slurp(dir.file("s.his")).size(), 8u + 2 * 64);

    // The readers would take a 28-byte file that starts like this for type 1.
    ASSERT_TRUE(dir.write("odd.txt", std::string("241:0/1 1\n")));
    ProgramResult odd = testing::runProgram(
        histgenPath, {"write", "--type", "2", "--out", "o.his", "odd.txt"}, dir.path());
    EXPECT_EQ(odd.status, 0);
    EXPECT_EQ(odd.err, "histgen: note: the readers take o.his for type 1, not 2\n");

    ASSERT_TRUE(dir.write("bad.txt", std::string("2:5020/1 2024-03-05T10:00\nnonsense\n")));
    ProgramResult bad = testing::runProgram(
        histgenPath, {"write", "--type", "2", "--out", "b.his", "bad.txt"}, dir.path());
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("bad.txt, line 2: "), std::string::npos);

    ProgramResult bulk = testing::runProgram(
        histgenPath, {"bulk", "--type", "8", "--records", "1000", "--out", "b.ihs"}, dir.path());
    EXPECT_EQ(bulk.status, 0);
    EXPECT_EQ(testing::slurp(dir.file("b.ihs")).size(), 104u * 1001);

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"bulk", "--type", "9", "--records", "1", "--out", "x"},
             {"bulk", "--type", "2", "--records", "1", "--out", "x", "--links", "0"},
             {"bulk", "--type", "2", "--records", "1", "--out", "x", "--rotate", "4"},
             {"bulk", "--type", "log", "--records", "1", "--out", "x", "--rotate-days", "0"},
             {"bulk", "--type", "log", "--records", "1", "--out", "x", "--rotate-form", "xz"},
             {"node", "--dir", "."},
             {"node", "--dir", ".", "--days", "1", "--seed", "1", "--rotate", "2"},
             {"write", "--type", "2"},
             {"write", "--type", "2", "--out"},
             {"frobnicate"}}) {
        ProgramResult r = testing::runProgram(histgenPath, args, dir.path());
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
    }
}

// The benchmarks' histories of a node: as many addresses as links, all of
// them met, the busiest far busier than the quietest; the same seed writes
// the same file.
TEST(HistgenProgram, BulkOfANodesLinks) {
    ScratchDir dir;
    for (const char* links : {"1", "40", "500"}) {
        SCOPED_TRACE(links);
        for (const char* out : {"a.his", "b.his"}) {
            ProgramResult r = testing::runProgram(histgenPath,
                                                  {"bulk", "--type", "2", "--records", "100000",
                                                   "--links", links, "--seed", "5", "--out", out},
                                                  dir.path());
            ASSERT_EQ(r.status, 0) << r.err;
        }
        const std::string bytes = testing::slurp(dir.file("a.his"));
        ASSERT_EQ(bytes.size(), 28u * 100000);
        EXPECT_EQ(bytes, testing::slurp(dir.file("b.his")));
        std::map<std::uint64_t, std::size_t> sessions;
        for (std::size_t at = 0; at < bytes.size(); at += 28) {
            const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data() + at);
            EXPECT_EQ(loadS16(p), 2);
            EXPECT_GE(loadS16(p + 2), 5020);
            EXPECT_LE(loadS16(p + 2), 5059);
            ++sessions[loadU64(p)];
        }
        const std::size_t count = std::stoul(links);
        EXPECT_EQ(sessions.size(), count);
        std::size_t busiest = 0, quietest = SIZE_MAX;
        for (const auto& [address, n] : sessions) {
            busiest = std::max(busiest, n);
            quietest = std::min(quietest, n);
        }
        EXPECT_GE(busiest * 4, quietest * count);
    }
}

// ---------------------------------------------------------- binkd text log

const std::string generatedLogs = std::string(RV_SOURCE_DIR) + "/tests/data/binkd_log/generated/";

// What a run left in its directory: one line per file (name, modification
// time as UTC, text or gzip) and each file's text, a gzipped one unpacked.
struct LeftFiles {
    std::string listing;
    std::map<std::string, std::string> texts;
};

std::string gunzipped(const std::string& path) {
    std::string text;
    gzFile in = gzopen(path.c_str(), "rb");
    if (!in) return text;
    char chunk[65536];
    int got;
    while ((got = gzread(in, chunk, sizeof chunk)) > 0)
        text.append(chunk, static_cast<std::size_t>(got));
    gzclose(in);
    return text;
}

LeftFiles leftFiles(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    LeftFiles left;
    for (const std::string& name : names) {
        const std::string path = dir + "/" + name;
        struct stat st {};
        ::stat(path.c_str(), &st);
        std::tm tm{};
        ::gmtime_r(&st.st_mtime, &tm);
        char when[32];
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S", &tm);
        const std::string bytes = testing::slurp(path);
        const bool gzip = bytes.size() > 2 && bytes[0] == '\x1f' && bytes[1] == '\x8b';
        left.listing += name + " " + when + (gzip ? " gzip" : " text") + "\n";
        left.texts[name] = gzip ? gunzipped(path) : bytes;
    }
    return left;
}

// A few small logs: the interleaving, failures, passwords, callers that
// never name themselves and refused calls of a busy day, and a New Year
// rotated daily in each form, where a session runs over each of the two
// rotations and so has its lines in two files. tests/data/binkd_log/
// generated/CASE.files lists the files a case leaves (name, modification
// time with TZ=UTC0, form) and the file that holds each one's text.
TEST(HistgenTextLog, SmallLogsAsExpected) {
    const std::vector<std::string> newYear = {"--records",   "24", "--links",       "4",
                                              "--seed",      "2",  "--start",       "2024-12-30",
                                              "--span-days", "3",  "--rotate-days", "1"};
    auto with = [](std::vector<std::string> a, const std::vector<std::string>& more) {
        a.insert(a.end(), more.begin(), more.end());
        return a;
    };
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"one-day",
         {"--records", "40", "--links", "6", "--seed", "34", "--start", "2024-03-04", "--span-days",
          "1"}},
        {"new-year", with(newYear, {"--rotate", "4"})},
        {"new-year-dateext", with(newYear, {"--rotate", "2", "--rotate-form", "dateext-gzip"})},
        {"new-year-one-copy", with(newYear, {"--rotate", "1", "--rotate-form", "numbered"})},
    };
    for (const auto& [name, args] : cases) {
        SCOPED_TRACE(name);
        ScratchDir dir;
        const std::string out = dir.file("log");
        std::filesystem::create_directory(out);
        ProgramResult r = testing::runProgram(
            histgenPath, with({"bulk", "--type", "log", "--out", "binkd"}, args), out, {"TZ=UTC0"});
        ASSERT_EQ(r.status, 0) << r.err;
        const LeftFiles left = leftFiles(out);
        std::istringstream expected(testing::slurp(generatedLogs + name + ".files"));
        std::string listing;
        for (std::string line; std::getline(expected, line);) {
            const std::size_t content = line.rfind(' ');
            listing += line.substr(0, content) + "\n";
            const std::string file = line.substr(0, line.find(' '));
            const auto text = left.texts.find(file);
            ASSERT_NE(text, left.texts.end()) << file;
            EXPECT_TRUE(testing::sameText(text->second,
                                          testing::slurp(generatedLogs + line.substr(content + 1))))
                << file;
        }
        EXPECT_EQ(left.listing, listing);
    }
}

// The kind of a log line: its mark and the plain words of its message
// (names, numbers and paths left out), or only the keyword of a line in
// which the remote describes itself.
std::set<std::string> lineKinds(const std::string& text) {
    std::set<std::string> kinds;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        int at = 0;
        if (line.size() < 2 ||
            std::sscanf(line.c_str() + 2, "%*d %*s %*d:%*d:%*d [%*u] %n", &at) != 0 || at == 0)
            continue;
        std::istringstream words(line.substr(2 + static_cast<std::size_t>(at)));
        std::string kind(1, line[0]);
        for (std::string word; words >> word;) {
            if (kind.size() == 1 &&
                std::set<std::string>{"SYS", "ZYZ", "LOC", "NDL", "TIME", "VER"}.count(word)) {
                kind += " " + word;
                break;
            }
            word.erase(0, word.find_first_not_of('('));
            word.erase(word.find_last_not_of(",.:)") + 1);
            if (!word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
                    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
                }))
                kind += " " + word;
        }
        kinds.insert(kind);
    }
    return kinds;
}

// Every kind of line of the generated logs is one that binkd wrote, with
// the same mark, in the hand run of tests/data/binkd_log (the answering
// node's log, and the log of a caller whose password was wrong).
TEST(HistgenTextLog, EveryKindOfLineIsOneBinkdWrote) {
    const std::string data = std::string(RV_SOURCE_DIR) + "/tests/data/binkd_log/";
    std::set<std::string> real = lineKinds(testing::slurp(data + "real-loglevel4.log"));
    real.merge(lineKinds(testing::slurp(data + "real-loglevel4-caller.log")));
    std::set<std::string> made;
    for (const char* file :
         {"one-day/binkd", "new-year/binkd", "new-year/binkd.1", "new-year/binkd.2"})
        made.merge(lineKinds(testing::slurp(generatedLogs + file)));
    EXPECT_GT(made.size(), 30u);
    for (const std::string& kind : made)
        EXPECT_TRUE(real.count(kind)) << "binkd wrote no line like \"" << kind << "\"";
}

// The log of a busy node, read back: time order, one process per session
// at a time, and every session's outcome and bytes in its done line.
TEST(HistgenTextLog, BusyNodeSessionsInterleaveUnderTheirOwnIds) {
    struct Collect : histgen::LogLineSink {
        std::vector<std::pair<std::int64_t, std::string>> lines;
        void line(std::int64_t t, std::string_view text) override {
            lines.emplace_back(t, std::string(text));
        }
    } sink;
    Prng prng(4);
    const std::optional<BulkLinks> links(BulkLinks(50, prng));
    const std::uint32_t start = parseTime("2024-03-04").value();
    std::multiset<std::string> expected;
    {
        BinkdTextLog log(sink, 4);
        log.start(start);
        constexpr std::uint32_t count = 3000;
        for (std::uint32_t i = 0; i < count; ++i) {
            const SessionRecord r = bulkSession(prng, links, start, 86400, i, count);
            log.session(r);
            char key[128];
            std::snprintf(key, sizeof key, "%s %d:%d/%d.%d %s %u/%u",
                          (r.flags & SessionFlags::incoming) ? "from" : "to", r.address.zone,
                          r.address.net, r.address.node, r.address.point,
                          (r.flags & SessionFlags::normal) ? "OK" : "failed", r.bytesSent,
                          r.bytesReceived);
            expected.insert(key);
        }
        log.finish();
    }
    std::multiset<std::string> done;
    std::set<unsigned> open;
    std::size_t strays = 0, concurrent = 0;
    std::int64_t last = 0;
    for (const auto& [time, text] : sink.lines) {
        EXPECT_GE(time, last);
        last = time;
        unsigned pid = 0;
        int at = 0;
        if (std::sscanf(text.c_str(), "%*c %*d %*s %*d:%*d:%*d [%u] %n", &pid, &at) != 1) continue;
        const std::string message = text.substr(static_cast<std::size_t>(at));
        if (message.rfind("call to ", 0) == 0 || message.rfind("incoming session with ", 0) == 0) {
            EXPECT_TRUE(open.insert(pid).second) << "pid " << pid << " taken: " << text;
            concurrent = std::max(concurrent, open.size());
        }
        if (message.rfind("session closed", 0) == 0 || message.rfind("holding", 0) == 0)
            open.erase(pid);
        int zone, net, node, point = 0;
        char way[8], outcome[8];
        unsigned sent, received;
        if (std::sscanf(message.c_str(),
                        "done (%7s %d:%d/%d.%d@fidonet, %7[^,], S/R: %*u/%*u (%u/%u", way, &zone,
                        &net, &node, &point, outcome, &sent, &received) == 8 ||
            std::sscanf(message.c_str(), "done (%7s %d:%d/%d@fidonet, %7[^,], S/R: %*u/%*u (%u/%u",
                        way, &zone, &net, &node, outcome, &sent, &received) == 7) {
            char key[128];
            std::snprintf(key, sizeof key, "%s %d:%d/%d.%d %s %u/%u", way, zone, net, node, point,
                          outcome, sent, received);
            done.insert(key);
        } else if (message.rfind("done (?, failed", 0) == 0) {
            ++strays;
        }
    }
    EXPECT_EQ(done, expected);
    EXPECT_TRUE(open.empty());
    EXPECT_GT(strays, 0u);
    EXPECT_GT(concurrent, 10u);
}

}  // namespace
}  // namespace rv
