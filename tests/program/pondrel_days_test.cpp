// pondrel's "days" through whole runs: over every kind of period, one
// object per calendar day from From's day to To's, in order, whose
// figures add up to the totals key by key.
#include <gtest/gtest.h>

#include <cctype>
#include <map>

#include "generated_node.h"
#include "history_files.h"
#include "time_zone_scope.h"

namespace rv {
namespace {

using Figures = std::map<std::string, std::uint64_t>;

// The "key":number pairs of one JSON object without nested ones.
Figures figuresOf(const std::string& object) {
    Figures figures;
    for (std::size_t at = object.find("\":"); at != std::string::npos;
         at = object.find("\":", at + 2)) {
        const std::size_t key = object.rfind('"', at - 1) + 1;
        if (std::isdigit(static_cast<unsigned char>(object[at + 2])))
            figures[object.substr(key, at - key)] = std::stoull(object.substr(at + 2));
    }
    return figures;
}

TEST(PondrelDays, EveryDayOfThePeriodInOrderAddingUpToTheTotals) {
    testing::TimeZoneScope utc("UTC");
    testing::ScratchDir dir;
    // The node cut to 30 days by a run ten days before its end: the days
    // before that run come from the archive, the later ones from the
    // histories alone.
    const std::string node =
        testing::writeNode(dir, "node", "Archive " + dir.file("archive.db") + "\nCutHistory 30\n");
    ASSERT_EQ(testing::ravlogOn(node, testing::nodeEndDay - 10).status, 0);
    // A line without a session on 2024-03-03.
    testing::writeHistory(dir, "gap.his", HistoryType::plain28,
                          "2:5020/1 2024-03-01T23:59:00 dur=60 rcvd=10 sent=20\n"
                          "2:5020/2 2024-03-02T00:00:30 dur=5 flags=1\n"
                          "2:5020/1 2024-03-04T12:00:00 dur=9 rcvd=7 sent=1\n");
    ASSERT_TRUE(
        dir.write("gap.ctl", "[COMMON]\nAddr 2:*\n[LINE]\nHistory " + dir.file("gap.his") + "\n"));
    const struct {
        std::string ctl, begin, end;
        std::size_t days;
        const char* from;
        const char* empty;  // a day that must count nothing
    } cases[] = {
        {node, "-b29.6.2024", "-e29.6.2024", 1, "2024-06-29", nullptr},
        {node, "-b23.6.2024", "-e30.6.2024", 8, "2024-06-23", nullptr},
        {node, "-b1.5.2024", "-e30.6.2024", 61, "2024-05-01", nullptr},
        // The node begins on 2024-04-02.
        {node, "-b1.4.2024", "-e15.4.2024", 14, "2024-04-02", nullptr},
        {dir.file("gap.ctl"), "-b1.3.2024", "-e4.3.2024", 4, "2024-03-01", "2024-03-03"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ctl + " " + c.begin + " " + c.end);
        const std::string json = testing::pondrelOn(c.ctl, {c.begin, c.end, "-fjson"});
        const std::size_t totalsAt = json.find("\"totals\":{");
        const std::size_t daysAt = json.find("\"days\":[");
        ASSERT_NE(totalsAt, std::string::npos) << json;
        ASSERT_GT(daysAt, totalsAt);
        const Figures totals =
            figuresOf(json.substr(totalsAt, json.find('}', totalsAt) - totalsAt));
        ASSERT_EQ(totals.size(), 9u);
        Figures sums;
        std::size_t n = 0;
        std::istringstream lines(json.substr(daysAt));
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("{\"date\":\"", 0) != 0) continue;
            const std::string date = line.substr(9, 10);
            EXPECT_EQ(date, dayText(dayNumber(c.from) + static_cast<std::int64_t>(n++)));
            const Figures day = figuresOf(line);
            EXPECT_EQ(day.size(), totals.size()) << line;
            for (const auto& [key, value] : day) {
                sums[key] += value;
                if (c.empty && date == c.empty) {
                    EXPECT_EQ(value, 0u) << line;
                }
            }
        }
        EXPECT_EQ(n, c.days);
        EXPECT_EQ(sums, totals);
        EXPECT_NE(totals.at("sessions"), 0u);
    }
}

}  // namespace
}  // namespace rv
