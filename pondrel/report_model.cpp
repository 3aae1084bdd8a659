#include "pondrel/report_model.h"

#include "core/time_text.h"

namespace rv::pondrel {

Report makeReport(const Run& run) {
    const Settings& s = run.config.settings;
    Report report;
    breakDownUtc(run.earliestShown, report.from);
    breakDownUtc(run.latestShown, report.to);
    report.tables = linkTables(*run.book, s.keepAll, s.group, s.brakeSesStatMask);
    for (const TrafficCounters& t : run.totals)
        addCounters(report.totals, t);
    for (std::size_t i : run.unreadLines)
        report.unreadLines.push_back(&run.config.lines[i]);
    return report;
}

}  // namespace rv::pondrel
