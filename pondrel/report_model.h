// What pondrel reports, computed once from a finished run: the period the
// counted records cover, the links and group rows and the totals. The
// text, JSON and CSV writers render it.
#pragma once

#include <ctime>

#include "pondrel/run_state.h"
#include "stats/link_rows.h"

namespace rv::pondrel {

struct Report {
    // The earliest and latest counted record, broken down in the
    // histories' own clock (plus the line's shift), as From and To show them.
    std::tm from{};
    std::tm to{};
    LinkTables tables;
    TrafficCounters totals;
    std::vector<const Line*> unreadLines;  // whose history could not be opened
};

Report makeReport(const Run& run);

}  // namespace rv::pondrel
