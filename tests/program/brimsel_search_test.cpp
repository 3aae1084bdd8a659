// brimsel's search, run whole: generated histories of three lines with
// different time shifts, dumped with many combinations of -b, -e and -a in
// all three forms; the records each dump shows are compared with the ones
// chosen here from the generated values by date and address. Every record
// has a duration of its own, which names it in the CSV output.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "run_program.h"
#include "same_text.h"
#include "scratch_dir.h"
#include "tools/history_writer.h"
#include "tools/record_list.h"

namespace rv {
namespace {

using testing::ProgramResult;
using testing::ScratchDir;

const std::string brimselPath = testing::builtProgram("brimsel");

ProgramResult brimsel(const ScratchDir& dir, const std::vector<std::string>& args) {
    return testing::runProgram(brimselPath, args, dir.path());
}

// One generated record: a mail session (kind empty) or an event.
struct Record {
    int zone = 0, net = 0, node = 0, point = 0;
    std::string kind;       // "BBS", "Answer", ... as the record list and -a name them
    std::int64_t time = 0;  // the history's clock
    std::uint32_t duration = 0;
};

struct History {
    std::string file;
    HistoryType type;
    int timeShift;  // as the configuration gives it
    std::vector<Record> records;
};

std::int64_t utcSeconds(int year, unsigned month, unsigned day) {
    using namespace std::chrono;
    return sys_days{std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day}}
               .time_since_epoch()
               .count() *
           std::int64_t{86400};
}

// Three histories around 5 March 2024, with records on the shown day's
// first and last second and one whose shown time falls before 1970.
std::vector<History> makeHistories() {
    std::vector<History> histories{{"mail.his", HistoryType::plain28, 2, {}},
                                   {"brake.his", HistoryType::brake, 0, {}},
                                   {"binkd.his", HistoryType::binkd, -1, {}}};
    const char* kinds[] = {"Answer", "BBS", "External", "Terminal", "Dial"};
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % bound;
    };
    const std::int64_t from = utcSeconds(2024, 3, 3);
    std::uint32_t duration = 1;
    for (History& h : histories) {
        const std::int64_t shift = std::int64_t{h.timeShift} * 3600;
        for (int i = 0; i < 150; ++i) {
            Record r;
            r.zone = 1 + static_cast<int>(next(2));
            r.net = next(2) ? 5020 : 5030;
            r.node = 1 + static_cast<int>(next(3));
            r.point = static_cast<int>(next(3));
            if (h.type == HistoryType::brake && next(4) == 0) r.kind = kinds[next(5)];
            r.time = from + next(6 * 86400);
            h.records.push_back(r);
        }
        for (std::int64_t shown : {utcSeconds(2024, 3, 5), utcSeconds(2024, 3, 6) - 1}) {
            h.records.push_back({2, 5020, 1, 0, "", shown - shift, 0});
        }
        for (Record& r : h.records)
            r.duration = duration++;
    }
    histories[2].records.push_back({2, 5020, 1, 0, "", 1800, duration++});  // shown at -1800
    return histories;
}

std::string recordList(const History& h) {
    std::string list;
    for (const Record& r : h.records) {
        if (r.kind.empty()) {
            list += std::to_string(r.zone) + ":" + std::to_string(r.net) + "/" +
                    std::to_string(r.node) + "." + std::to_string(r.point);
        } else {
            for (char c : r.kind)
                list += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        list += " " + std::to_string(r.time) + " dur=" + std::to_string(r.duration) + "\n";
    }
    return list;
}

// A pattern as the test reads it: -1 for a component that takes any value.
struct Pattern {
    std::string arg;
    int zone = -1, net = -1, node = -1, point = -1;
    std::string kind;
};

bool matches(const Pattern& p, const Record& r) {
    if (!p.kind.empty() || !r.kind.empty()) return p.kind == r.kind;
    const auto same = [](int want, int have) { return want < 0 || want == have; };
    return same(p.zone, r.zone) && same(p.net, r.net) && same(p.node, r.node) &&
           same(p.point, r.point);
}

struct Day {
    int year;
    unsigned month, day;
    std::string arg() const {
        return std::to_string(day) + "." + std::to_string(month) + "." + std::to_string(year);
    }
};

struct Case {
    std::optional<Day> begin, end;
    std::vector<Pattern> patterns;
};

bool selected(const Case& c, const Record& r, int timeShift) {
    const std::int64_t shown = r.time + std::int64_t{timeShift} * 3600;
    if (c.begin || c.end) {
        if (shown < 0) return false;
        if (c.begin && shown < utcSeconds(c.begin->year, c.begin->month, c.begin->day))
            return false;
        if (c.end && shown >= utcSeconds(c.end->year, c.end->month, c.end->day) + 86400)
            return false;
    }
    if (c.patterns.empty()) return true;
    for (const Pattern& p : c.patterns)
        if (matches(p, r)) return true;
    return false;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

TEST(BrimselSearch, ShowsExactlyTheRecordsOfThePeriodAndPatterns) {
    ScratchDir dir;
    const std::vector<History> histories = makeHistories();
    std::string config = "[COMMON]\nTimeShift 2\n";
    for (const History& h : histories) {
        histgen::HistoryWriter writer(h.type);
        const auto error = histgen::writeRecordList(recordList(h), writer);
        ASSERT_FALSE(error) << error->message << " in line " << error->line;
        writer.defaultBrakeHeaderToFirstRecord();
        ASSERT_TRUE(dir.write(h.file, writer.bytes()));
        config += "[LINE]\nHistory " + h.file + (h.type == HistoryType::binkd ? ",1,1" : "") +
                  "\nTimeShift " + std::to_string(h.timeShift) + "\n";
    }
    ASSERT_TRUE(dir.write("ravlog.ctl", config));

    const Day d4{2024, 3, 4}, d5{2024, 3, 5}, d6{2024, 3, 6};
    const Pattern net5020{"-a2:5020/*", 2, 5020, -1, -1, ""};
    const Pattern node1{"-a2:5020/1", 2, 5020, 1, -1, ""};
    const Pattern point0{"-a2:5020/1.0", 2, 5020, 1, 0, ""}, zone1{"-a1", 1, -1, -1, -1, ""};
    const Pattern partial{"-a5030/2", -1, 5030, 2, -1, ""}, any{"-a*", -1, -1, -1, -1, ""};
    const Pattern bbs{"-aBBS", -1, -1, -1, -1, "BBS"}, answer{"-aanswer", -1, -1, -1, -1, "Answer"};
    const Case cases[] = {
        {d5, d5, {}},
        {d5, std::nullopt, {}},
        {std::nullopt, d4, {}},
        {d4, d6, {}},
        {Day{2024, 2, 1}, Day{2024, 2, 28}, {}},  // nothing shown, tables still there
        {std::nullopt, std::nullopt, {node1}},
        {std::nullopt, std::nullopt, {point0}},
        {std::nullopt, std::nullopt, {net5020, zone1}},
        {std::nullopt, std::nullopt, {partial}},
        {std::nullopt, std::nullopt, {any}},
        {std::nullopt, std::nullopt, {bbs}},
        {std::nullopt, std::nullopt, {answer, point0}},
        {d5, d5, {node1, bbs}},
        {d4, d5, {partial, zone1}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args;
        if (c.begin) args.push_back("-b" + c.begin->arg());
        if (c.end) args.push_back("-e" + c.end->arg());
        for (const Pattern& p : c.patterns)
            args.push_back(p.arg);
        std::string name;
        for (const std::string& a : args)
            name += a + " ";

        std::map<std::string, std::set<std::uint32_t>> expected;
        for (const History& h : histories) {
            expected[h.file];
            for (const Record& r : h.records)
                if (selected(c, r, h.timeShift)) expected[h.file].insert(r.duration);
        }

        std::vector<std::string> csvArgs = args;
        csvArgs.push_back("-fcsv");
        const ProgramResult csv = brimsel(dir, csvArgs);
        ASSERT_EQ(csv.status, 0) << name << csv.err;
        std::map<std::string, std::set<std::uint32_t>> shown;
        for (const History& h : histories)
            shown[h.file];
        const std::vector<std::string> rows = lines(csv.out);
        for (std::size_t i = 1; i < rows.size(); ++i) {
            std::vector<std::string> fields;
            std::istringstream row(rows[i]);
            for (std::string field; std::getline(row, field, ',');)
                fields.push_back(field);
            ASSERT_GE(fields.size(), 9u) << rows[i];
            shown[fields[0]].insert(static_cast<std::uint32_t>(std::stoul(fields[8])));
        }
        EXPECT_EQ(shown, expected) << name;

        // The text tables: one per file, shown or not, each ending with its count.
        const ProgramResult text = brimsel(dir, args);
        ASSERT_EQ(text.status, 0) << name;
        std::string counts;
        std::string want;
        std::size_t tableRows = 0;
        for (const std::string& line : lines(text.out)) {
            if (line.rfind("│ ", 0) == 0 && line.find("Address") == std::string::npos) ++tableRows;
            if (line.rfind("File: ", 0) == 0 || line.rfind("Shown: ", 0) == 0)
                counts += line + "\n";
        }
        std::size_t total = 0;
        for (const History& h : histories) {
            want += "File: " + h.file + "\nShown: " + std::to_string(expected[h.file].size()) +
                    " of " + std::to_string(h.records.size()) + " records\n";
            total += expected[h.file].size();
        }
        EXPECT_EQ(counts, want) << name;
        EXPECT_EQ(tableRows, total) << name;

        std::vector<std::string> jsonArgs = args;
        jsonArgs.push_back("-fjson");
        const ProgramResult json = brimsel(dir, jsonArgs);
        ASSERT_EQ(json.status, 0) << name;
        EXPECT_EQ(lines(json.out).size(), total) << name;
    }

    // Without a filter nothing is counted.
    EXPECT_EQ(brimsel(dir, {}).out.find("Shown: "), std::string::npos);
}

TEST(BrimselSearch, RefusedValues) {
    ScratchDir dir;
    ASSERT_TRUE(dir.write("ravlog.ctl", "[LINE]\nHistory a.his\n"));
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-b1.1.99"}, "Invalid begin year: 1.1.99\n"},
        {{"-e1.13"}, "Invalid end month: 1.13\n"},
        {{"-b3-11-2025"}, "Invalid date: 3-11-2025\n"},
        {{"-b5.1.2024", "-e4.1.2024"},
         "Invalid date period\nBegin: Fri Jan 05 00:00:00 2024\nEnd:   Thu Jan 04 23:59:59 2024\n"},
        {{"-b1.1.2147483647"},
         "Invalid date period\nBegin: Tue Jan 01 00:00:00 2147483647\nEnd:   Tue Jan 19 03:14:07 "
         "2038\n"},
        {{"-b1.1.2040"},
         "Invalid date period\nBegin: Sun Jan 01 00:00:00 2040\nEnd:   Tue Jan 19 03:14:07 2038\n"},
        {{"-a2:5020/#"}, "Group ('#') not allowed in address pattern: -a2:5020/#\n"},
        {{"-a#"}, "Group ('#') not allowed in address pattern: -a#\n"},
        {{"-a!2:5020/1"}, "Exclusion ('!') not allowed in address pattern: -a!2:5020/1\n"},
        {{"-a2:5020/1 \"Boss\""}, "Label not allowed in address pattern: -a2:5020/1 \"Boss\"\n"},
        {{"-a"}, "Unknown option or invalid value: -a\nUse -? or --help to help\n"},
        {{"-aBSS"}, "Unknown option or invalid value: -aBSS\nUse -? or --help to help\n"},
    };
    for (const auto& [args, err] : cases) {
        const ProgramResult r = brimsel(dir, args);
        EXPECT_EQ(r.status, 255) << args[0];
        EXPECT_EQ(r.err, err) << args[0];
    }
    // A day beyond the month is cut with pondrel's warning, and the run goes on.
    ASSERT_TRUE(dir.write("ravlog.ctl", "[LINE]\nHistory missing.his\n"));
    EXPECT_EQ(brimsel(dir, {"-e31.2.2024"}).err,
              "End date adjusted to Thu Feb 29 23:59:59 2024\n"
              "Can't open missing.his: No such file or directory\n");
}

}  // namespace
}  // namespace rv
