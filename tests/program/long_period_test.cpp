// Figures of a long period: the formatters at the edges of their columns,
// and every text report of the three programs over a history whose sums
// outgrow the classic columns, checked line by line against its frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/format.h"
#include "core/utf8_text.h"
#include "ravlog_runs.h"

namespace rv {
namespace {

using testing::ravlog;
using testing::runProgram;
using testing::ScratchDir;
using testing::slurp;

TEST(LongPeriodFigures, FormattersKeepTheirColumns) {
    constexpr std::uint64_t mib = 1ull << 20, gib = 1ull << 30, tib = 1ull << 40;
    constexpr std::uint64_t hour = 3600, day = 86400;
    // Each form one below and at its switch, the largest values, and the
    // other columns' widths.
    const std::pair<std::string, const char*> cases[] = {
        {formatTraffic(4294967295ull, false).c_str(), " 4095M"},
        {formatTraffic(100000 * mib - 1, false).c_str(), "99999M"},
        {formatTraffic(100000 * mib, false).c_str(), "   97G"},
        {formatTraffic(100000 * gib - 1, false).c_str(), "99999G"},
        {formatTraffic(100000 * gib, false).c_str(), "   97T"},
        {formatTraffic(100000 * tib, true).c_str(), "   97P"},
        {formatTraffic(UINT64_MAX, false).c_str(), "16383P"},
        {formatTraffic(200 * gib, true).c_str(), "  200G"},
        {formatCount(9999, 4).c_str(), "9999"},
        {formatCount(10000, 4).c_str(), " 10k"},
        {formatCount(999999, 4).c_str(), "999k"},
        {formatCount(1000000, 4).c_str(), "  1M"},
        {formatCount(999999, 6).c_str(), "999999"},
        {formatCount(1000000, 6).c_str(), " 1000k"},
        {formatCount(12345, 3).c_str(), "12k"},
        {formatCount(123456, 3).c_str(), "123k"},  // wider: the caller's choice
        {formatCount(UINT64_MAX, 6).c_str(), "18446744073G"},
        {formatCount(4294967295ull, 5).c_str(), "4294M"},
        {formatDuration(999 * hour + 3599, 9).c_str(), "999:59:59"},
        {formatDuration(1000 * hour, 9).c_str(), " 41d16:00"},
        {formatDuration(999 * day + 23 * hour + 59 * 60, 9).c_str(), "999d23:59"},
        {formatDuration(1000 * day + 7 * hour, 9).c_str(), " 1000d07h"},
        {formatDuration(100000 * day + 7 * hour, 9).c_str(), "  100000d"},
        {formatDuration(9999 * hour + 3599, 10).c_str(), "9999:59:59"},
        {formatDuration(10000 * hour, 10).c_str(), " 416d16:00"},
        {formatDuration(99999 * hour, 11).c_str(), "99999:00:00"},
        {formatDuration(3652500 * day, 11).c_str(), "3652500d00h"},
        {formatDuration(150 * hour, 8).c_str(), " 6d06:00"},
        {formatDuration(59, 8).c_str(), " 0:00:59"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(text, expected);
}

// The characters of a line, each a whole UTF-8 sequence, as views into it
// (into out, reused from line to line: the reports have 300,000 lines).
void characters(std::string_view line, std::vector<std::string_view>& out) {
    out.clear();
    for (std::size_t i = 0; i < line.size(); ++i)
        if ((static_cast<unsigned char>(line[i]) & 0xC0) == 0x80 && !out.empty())
            out.back() = std::string_view(out.back().data(), out.back().size() + 1);
        else
            out.push_back(line.substr(i, 1));
}

std::vector<std::string_view> characters(std::string_view line) {
    std::vector<std::string_view> out;
    characters(line, out);
    return out;
}

bool oneOf(std::string_view c, std::string_view set) {
    return set.find(c) != std::string_view::npos;
}

// Every line within 79 columns; every row of a UTF-8 table or box with
// its bars where the rule above it has its junctions (a count may take the
// place of the bar under a "╤"), an ASCII row 79 columns wide. A failure
// names the report and the line.
void expectFramed(const std::string& name, const std::string& text) {
    constexpr std::string_view junctions = "╠╬╤╪╣╟┼╢├┤┌┬┐╔╦╗";
    std::istringstream lines(text);
    std::vector<std::string_view> cs;
    // Of each character of the rule: 'j' a junction, 't' a "╤", else '-';
    // looked at once per rule, not once per row under it.
    std::string rule;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(displayWidth(line), 79u) << name << ": " << line;
        characters(line, cs);
        if (cs.empty()) continue;
        if (cs[0] == "╔") {
            rule.clear();  // the header's lines, up to its rule
        } else if (oneOf(cs[0], junctions)) {
            rule.clear();
            for (std::string_view c : cs)
                rule += c == "╤" ? 't' : oneOf(c, junctions) ? 'j' : '-';
        } else if (oneOf(cs[0], "║│") && !rule.empty()) {
            for (std::size_t i = 0; i < std::max(cs.size(), rule.size()); ++i) {
                const bool bar = i < cs.size() && oneOf(cs[i], "║│");
                const bool junction = i < rule.size() && rule[i] != '-';
                if (bar != junction && !(i < rule.size() && rule[i] == 't')) {
                    ADD_FAILURE() << name << ": " << line << ": column " << i;
                    break;
                }
            }
        } else if (line[0] == '|' || line[0] == '+') {
            EXPECT_EQ(displayWidth(line), 79u) << name << ": " << line;
        }
    }
}

// A long100 line of a hub's sums that outgrow every classic column in one
// day: 150,000 short sessions of one link, 2,000 day-long sessions of 3.7
// GB each way of another (the same figures as years of a link), a few
// protected, one record of an impossible length for the dump.
TEST(LongPeriodFigures, EveryTextReportKeepsItsFrame) {
    ScratchDir dir;
    histgen::HistoryWriter writer(HistoryType::long100);
    const std::uint32_t midnight = histgen::utcSeconds(2024, 3, 5);
    SessionRecord s;
    s.address = {2, 5020, 1, 0};
    s.duration = 1;
    s.bytesReceived = 100;
    for (std::uint32_t i = 0; i < 150000; ++i) {
        s.startTime = midnight + i % 86000;
        s.flags = i % 3 == 0 ? 0x0D : 0x05;
        writer.session(s);
    }
    s.address = {2, 5020, 2, 0};
    s.duration = 86400;
    s.bytesReceived = s.bytesSent = 4000000000u;
    for (std::uint32_t i = 0; i < 2000; ++i) {
        s.startTime = midnight;
        s.flags = i % 2 == 0 ? 0x0E : 0x06;
        writer.session(s);
    }
    s.duration = 4000000000u;
    writer.session(s);
    ASSERT_TRUE(dir.write("hub.his", writer.bytes()));
    ASSERT_TRUE(dir.write("ravlog.ctl",
                          "[COMMON]\nBusyHist Yes\nProtectSummary Yes\nAddr 2:5020/1\n"
                          "Addr 2:5020/2\nAddr 2:5020/#\n[LINE]\nHistory hub.his\n"));

    ASSERT_EQ(ravlog(dir, {"-d5.3.2024"}).status, 0);
    for (const char* report : {"ravlog.ses", "ravlog.lnk", "ravlog.out"})
        expectFramed(report, slurp(dir.file(report)));
    for (const char* args : {"-u+", "-u-"}) {
        const testing::ProgramResult p =
            runProgram(testing::builtProgram("pondrel"), {args}, dir.path());
        ASSERT_EQ(p.status, 0);
        expectFramed(std::string("pondrel ") + args, p.out);
    }
    const testing::ProgramResult b = runProgram(testing::builtProgram("brimsel"), {}, dir.path());
    ASSERT_EQ(b.status, 0);
    expectFramed("brimsel", b.out.substr(b.out.find("\n\n")));  // after the banner
}

// The 1- and 3-hour charts' slots reach the window's end: a session in its
// last minute shows in the text chart, the JSON slots and the page.
TEST(LongPeriodChartWindowEnd, LastSecondsOfOneAndThreeHourWindows) {
    struct Case {
        const char* window;
        const char* start;
        const char* slots;  // the JSON's slot lengths, up to the slots of all links
        const char* bar;    // the last bar's tooltip on the page
    };
    const Case cases[] = {
        {"-t10-11", "10:59:15", "\"slot_seconds\":37.5,\"chart_seconds\":3600,\"all\":[",
         "10:59:22–11:00:00 100% (38 s)"},
        {"-t6-9", "08:59:15", "\"slot_seconds\":112.5,\"chart_seconds\":10800,\"all\":[",
         "08:58:07–09:00:00 39% (45 s)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window);
        ScratchDir dir;
        testing::writeHistory(
            dir, "a.his", HistoryType::plain28,
            std::string("2:5020/1 2024-03-05T") + c.start + " dur=45 rcvd=1000 flags=0x05\n");
        ASSERT_TRUE(dir.write("ravlog.ctl",
                              "[COMMON]\nBusyHist T\nAddr 2:5020/1\n[LINE]\nHistory a.his\n"));
        ASSERT_EQ(ravlog(dir, {"-d5.3.2024", c.window, "-jday.json", "-wday.html"}).status, 0);
        const std::string json = slurp(dir.file("day.json"));
        const std::size_t found = json.find(c.slots);
        ASSERT_NE(found, std::string::npos) << json;
        const std::size_t at = found + std::strlen(c.slots);
        std::istringstream values(json.substr(at, json.find(']', at) - at));
        std::uint64_t sum = 0;
        for (std::uint64_t v; values >> v; values.ignore())
            sum += v;
        EXPECT_EQ(sum, 45u) << values.str();
        EXPECT_NE(slurp(dir.file("day.html")).find(c.bar), std::string::npos);
        // The chart's 0 % row shows the use at its right end.
        const std::string out = slurp(dir.file("ravlog.out"));
        const std::size_t zero = out.find("\n             0%");
        ASSERT_NE(zero, std::string::npos);
        const std::size_t rowStart = out.rfind('\n', zero - 1) + 1;
        const std::string lastRow = out.substr(rowStart, zero - rowStart);
        EXPECT_EQ(characters(lastRow).at(63), "▌") << lastRow;
    }
}

}  // namespace
}  // namespace rv
