#include "pondrel/report_model.h"

#include <algorithm>

#include "core/dates.h"
#include "core/time_text.h"

namespace rv::pondrel {

namespace {

void addDays(Report& report, const Run& run) {
    const PeriodDays& counted = run.days;
    const std::vector<TrafficCounters>& days = counted.days();
    std::int64_t first = dayOfTime(run.earliestShown);
    std::int64_t last = dayOfTime(run.latestShown);
    // A day counted outside them (a -d period that began later than the
    // earliest record) still shows, so that the days add up.
    if (!days.empty()) {
        first = std::min(first, counted.firstDay());
        last = std::max(last, counted.firstDay() + static_cast<std::int64_t>(days.size()) - 1);
    }
    report.days.reserve(static_cast<std::size_t>(last - first + 1));
    for (std::int64_t day = first; day <= last; ++day) {
        const std::int64_t index = day - counted.firstDay();
        const bool some = index >= 0 && index < static_cast<std::int64_t>(days.size());
        report.days.push_back(
            {day, some ? days[static_cast<std::size_t>(index)] : TrafficCounters{}});
    }
    if (run.options.format != ReportFormat::html) return;
    // The rows in linkTables' order.
    const Settings& s = run.config.settings;
    for (const AddrEntry& e : run.book->entries()) {
        const LinkTable table = linkTableOf(e, s.keepAll, s.group, s.brakeSesStatMask);
        if (table != LinkTable::none)
            (table == LinkTable::links ? report.linkDays : report.groupDays)
                .push_back(counted.trafficOf(e));
    }
}

ArchiveUse archiveUse(const Run& run) {
    ArchiveUse use{&run.config.settings.archivePath, run.archiveFound, {}};
    for (std::size_t i = 0; i < run.archivedLines.size(); ++i) {
        const Run::ArchivedLine& archived = run.archivedLines[i];
        std::vector<DayRun> days;
        for (const std::int64_t day : archived.days) {
            if (!days.empty() && days.back().last + 1 == day)
                days.back().last = day;
            else
                days.push_back({day, day});
        }
        use.lines.push_back({&run.config.lines[i], &archived.history, std::move(days)});
    }
    return use;
}

}  // namespace

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
    addDays(report, run);
    if (!s.archivePath.empty()) report.archive = archiveUse(run);
    return report;
}

}  // namespace rv::pondrel
