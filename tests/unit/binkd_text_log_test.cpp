// binkd's text log read as a history: the case files of
// tests/data/binkd_log/ (a genuine log, interleaved sessions, failures,
// the year's turn in the live file and across rotated copies, dateext
// names, a file still being written, the hour a clock goes back, a log of
// another zone), the test that tells the format,
// and hostile bytes between the lines of a case.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "binkd_log_cases.h"
#include "core/binkd_text_log.h"
#include "core/time_text.h"
#include "time_zone_scope.h"

namespace rv {
namespace {

using testing::LogDirectory;
using testing::readLogCase;
using testing::TimeZoneScope;

// A record in the form of the case files.
std::string recordLine(const SessionRecord& r) {
    std::tm t{};
    breakDownUtc(r.startTime, t);
    char line[160];
    std::snprintf(line, sizeof line,
                  "%d:%d/%d.%d %04d-%02d-%02dT%02d:%02d:%02d dur=%u rcvd=%u sent=%u flags=0x%02x "
                  "spare=0x%04x",
                  r.address.zone, r.address.net, r.address.node, r.address.point, t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, r.duration,
                  r.bytesReceived, r.bytesSent, r.flags, r.spare);
    return line;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// Every record of the log log/binkd and its copies, as the case files write them.
std::string readRecords(const LogDirectory& files) {
    MemoryOpener opener;
    MemoryDirectory directory;
    files.serve("log", opener, directory);
    BinkdTextLogReader reader(opener, directory, 0);
    if (!reader.open("log/binkd")) return "cannot open: " + reader.openFailure();
    std::vector<std::string> lines;
    SessionRecord r;
    while (reader.readSession(r))
        lines.push_back(recordLine(r));
    return joined(lines);
}

const char* const caseNames[] = {"genuine",          "interleaved", "failed",       "new_year_live",
                                 "new_year_rotated", "dateext",     "missing_live", "growing",
                                 "clock_back",       "other_zone"};

TEST(BinkdTextLog, CaseFilesReadAsTheirRecords) {
    const TimeZoneScope utc("UTC0");
    for (const char* name : caseNames) {
        const std::vector<testing::LogCaseStep> steps = readLogCase(name);
        ASSERT_FALSE(steps.empty()) << name;
        for (std::size_t i = 0; i < steps.size(); ++i)
            EXPECT_EQ(readRecords(steps[i].files), joined(steps[i].expected))
                << name << ", reading " << i + 1;
    }
}

TEST(BinkdTextLog, HeadsTellTheTextLogExactly) {
    struct Case {
        std::string head;
        bool textLog;
    };
    const Case cases[] = {
        {"  09 Dec 13:32:16 [5085] BEGIN, binkd/1.1a-115/Linux", true},
        {"\n  09 Dec 13:32:16 [5085] BEGIN", true},  // binkd's empty line after a start
        {"+ 31 Jan 23:59:60 [4294967295] done", true},
        {"! 01 Feb 00:00:00 [0] ", true},
        {"\n\n  09 Dec 13:32:16 [5085] BEGIN", false},
        {"* 09 Dec 13:32:16 [5085] x", false},  // not a mark of binkd's
        {"+ 9 Dec 13:32:16 [5085] x", false},   // the day has two digits
        {"+ 32 Dec 13:32:16 [5085] x", false},  // no such day
        {"+ 00 Dec 13:32:16 [5085] x", false},
        {"+ 09 dec 13:32:16 [5085] x", false},  // months as binkd writes them
        {"+ 09 Dec 24:00:00 [5085] x", false},
        {"+ 09 Dec 13:60:00 [5085] x", false},
        {"+ 09 Dec 13:32:16 [] x", false},
        {"+ 09 Dec 13:32:16 [4294967296] x", false},  // beyond %u
        {"+ 09 Dec 13:32:16 [12345678901] x", false},
        {"+ 09 Dec 13:32:16 [5085]x", false},
        {"+ 09 Dec 13:32:16 [5085", false},
        {"", false},
        // The first bytes of binary histories: F1 00, The Brake!'s header,
        // the 64-byte format's magic, a 28-byte binkd record of 2:5020/101.
        {std::string("\xF1\x00+ 09 Dec 13:32:16 [1] ", 22), false},
        {std::string("\x80\x4F\x20\x30\xFE\x00\x00\x00", 8), false},
        {std::string("\x04\xFF\x1A\xD5\x00\x00\x00\x00", 8), false},
        {std::string("\x02\x00\x9C\x13\x65\x00\x00\x00\x10\x32\x70\x6A", 12), false},
    };
    for (const Case& c : cases) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.head.data());
        EXPECT_EQ(startsAsBinkdTextLog({bytes, c.head.size()}), c.textLog) << c.head;
    }

    // An empty or missing live file is told by its newest copy.
    MemoryOpener opener;
    MemoryDirectory directory;
    readLogCase("missing_live").front().files.serve("log", opener, directory);
    EXPECT_TRUE(isBinkdTextLog("log/binkd", {}, opener, directory));
    EXPECT_FALSE(isBinkdTextLog("log/other", {}, opener, directory));
}

// Junk of every kind before each line of a case reads as the case does:
// random bytes, a line too long for a block, NULs in a line's head, a flood
// of sessions that never end (far more than are kept open), and a copy
// that is not the gzip its name says.
TEST(BinkdTextLog, HostileBytesChangeNoRecord) {
    const TimeZoneScope utc("UTC0");
    const testing::LogCaseStep step = readLogCase("interleaved").front();
    std::mt19937 random(31);
    std::string flood;
    for (unsigned pid = 100000; pid < 120000; ++pid)
        flood += "+ 05 Mar 09:00:00 [" + std::to_string(pid) + "] incoming session with x\n";
    std::string hostile = flood + std::string(200000, 'x') + "\n";
    std::string text = step.files.files.at("binkd").text;
    for (std::size_t at = 0, next; (next = text.find('\n', at)) != std::string::npos;
         at = next + 1) {
        std::string junk(64, '\0');
        for (char& c : junk) {
            const auto byte = static_cast<char>(random() % 256);
            c = byte == '\n' ? '\0' : byte;
        }
        std::string line = text.substr(at, next + 1 - at);
        std::string nulled = line;
        nulled[2] = '\0';
        hostile += junk + "\n" + nulled + line;
    }
    LogDirectory files = step.files;
    files.files["binkd"].text = hostile;
    files.files["binkd.1.gz"] = {"\x1F\x8B not gzip at all", 0};
    EXPECT_EQ(readRecords(files), joined(step.expected));
}

}  // namespace
}  // namespace rv
