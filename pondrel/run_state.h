// The state of one pondrel run, passed down from the driver to the
// record filter and the report: the clock, the configuration and options,
// the address entries, the lines' totals and their days, and the period
// the counted records cover.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "core/config_model.h"
#include "core/file_directory.h"
#include "core/local_clock.h"
#include "pondrel/options.h"
#include "pondrel/period_days.h"
#include "stats/address_book.h"
#include "stats/traffic_counters.h"

namespace rv::pondrel {

struct Run {
    explicit Run(std::time_t now, std::FILE* err = stderr) : clock(makeRunClock(now)), err(err) {}

    RunClock clock;
    // Where a text log's rotated copies are looked for (memory in tests).
    std::unique_ptr<FileDirectory> directory = std::make_unique<SystemDirectory>();
    std::FILE* err;
    Configuration config;
    Options options;
    std::unique_ptr<AddressBook> book;
    // Parallel to config.lines: of a line's totals the report shows only
    // the traffic counters, so only they are kept.
    std::vector<TrafficCounters> totals;
    // What each day of the period counted, all lines together.
    PeriodDays days;
    std::time_t earliest = 2147483647;
    std::time_t latest = 0;
    // The same two records' times as the history's clock shows them (plus
    // the shift): what the report prints. The local times above were read
    // with the run's daylight-saving flag and are an hour off in the other
    // season.
    std::int64_t earliestShown = 0;
    std::int64_t latestShown = 0;
    PrintableCounts printable;
    // The lines whose history could not be opened, in list order.
    std::vector<std::size_t> unreadLines;
    // With an archive: whether it was there, and parallel to config.lines
    // each line's history as configured (a pair's twin takes its place
    // while read) with the days of the period it counted from the archive.
    struct ArchivedLine {
        std::string history;
        std::vector<std::int64_t> days;
    };
    bool archiveFound = false;
    std::vector<ArchivedLine> archivedLines;
};

}  // namespace rv::pondrel
