// One run of pondrel: options, period check, configuration, every
// history read whole through the record filter, then the report.
#pragma once

#include <cstdio>
#include <ctime>
#include <memory>
#include <string_view>
#include <vector>

#include "core/byte_source.h"
#include "core/config_model.h"
#include "core/exit_request.h"
#include "core/local_clock.h"
#include "pondrel/pondrel_options.h"
#include "stats/address_book.h"
#include "stats/line_stats.h"

namespace rv::pondrel {

struct Run {
    explicit Run(std::time_t now, std::FILE* err = stderr) : clock(makeRunClock(now)), err(err) {}

    RunClock clock;
    std::FILE* err;
    Configuration config;
    Options options;
    std::unique_ptr<AddressBook> book;
    std::vector<LineTotals> totals;  // parallel to config.lines
    std::time_t earliest = 2147483647;
    std::time_t latest = 0;
    // The same two records' times as the history's clock shows them (plus
    // the shift): what the report prints. The local times above were read
    // with the run's daylight-saving flag and are an hour off in the other
    // season.
    std::int64_t earliestShown = 0;
    std::int64_t latestShown = 0;
    PrintableCounts printable;
};

// The run up to the report; out receives the report when the run gets
// that far (standard output, or the file of -o when openOutput opens it).
Stop runPondrel(Run& run, const std::vector<std::string_view>& args, SourceOpener& opener,
                std::FILE* standardOut);

// The record filter's period test, exposed for tests: whether a record at
// local time t is counted, updating earliest and latest.
bool passesPeriod(Run& run, std::time_t t);

}  // namespace rv::pondrel
