#include "pondrel/report_model.h"

#include "core/time_text.h"

namespace rv::pondrel {

Report makeReport(const Run& run) {
    const Settings& s = run.config.settings;
    Report report;
    breakDownUtc(run.earliestShown, report.from);
    breakDownUtc(run.latestShown, report.to);
    report.tables = linkTables(*run.book, s.keepAll, s.group, s.brakeSesStatMask);
    TrafficCounters sum;
    for (const TrafficCounters& t : run.totals)
        addCounters(sum, t);
    report.totals = summaryTotals(sum);
    return report;
}

}  // namespace rv::pondrel
