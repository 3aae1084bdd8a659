// What pondrel reports, computed once from a finished run: the period the
// counted records cover, the links and group rows, the totals and the
// period's days. The text, JSON, CSV and HTML writers render it.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "pondrel/run_state.h"
#include "stats/link_rows.h"

namespace rv::pondrel {

// One day of the period and what all lines counted on it.
struct ReportDay {
    std::int64_t day = 0;  // days since 1970 in the lines' clock
    TrafficCounters totals;
};

// Consecutive days, first to last.
struct DayRun {
    std::int64_t first = 0;
    std::int64_t last = 0;
};

// What the day archive gave the report: per line (in their order) the
// days of the period it counted from the archive; none for a line the
// archive has no such day of.
struct ArchiveUse {
    struct LineDays {
        const Line* line;
        const std::string* history;  // as configured
        std::vector<DayRun> days;
    };
    const std::string* file;
    bool found;  // the file was there
    std::vector<LineDays> lines;
};

struct Report {
    // The earliest and latest counted record, broken down in the
    // histories' own clock (plus the line's shift), as From and To show them.
    std::tm from{};
    std::tm to{};
    LinkTables tables;
    TrafficCounters totals;
    std::vector<const Line*> unreadLines;  // whose history could not be opened
    // Every day from From's to To's; they add up to the totals.
    std::vector<ReportDay> days;
    // For the page, each row's traffic per day (null for none), parallel to
    // tables.links and tables.groups.
    std::vector<const std::vector<DayBytes>*> linkDays;
    std::vector<const std::vector<DayBytes>*> groupDays;
    // With an archive configured.
    std::optional<ArchiveUse> archive;
};

Report makeReport(const Run& run);

}  // namespace rv::pondrel
