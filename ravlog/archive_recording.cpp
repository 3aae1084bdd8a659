#include "ravlog/archive_recording.h"

#include <algorithm>
#include <iterator>

#include "archive/day_archive.h"
#include "archive/line_days.h"

namespace rv::ravlog {

namespace {

// The days to (re)record: those the archive lacks, and those a record
// came late for (the history holds more of them than was recorded).
std::vector<std::int64_t> daysToRecord(const std::vector<ArchivedDay>& held,
                                       const std::vector<ArchivedDay>& recorded) {
    std::vector<std::int64_t> days;
    auto r = recorded.begin();
    for (const ArchivedDay& h : held) {
        while (r != recorded.end() && r->day < h.day)
            ++r;
        if (r == recorded.end() || r->day != h.day || r->records < h.records) days.push_back(h.day);
    }
    return days;
}

}  // namespace

std::string recordArchive(Run& run, SourceOpener& opener) {
    const Settings& s = run.config.settings;
    DayArchive archive;
    if (std::string reason = archive.open(s.archivePath, DayArchive::Access::write);
        !reason.empty())
        return reason;
    if (std::string reason = archive.begin(); !reason.empty()) return reason;
    const RunDate& today = run.clock.date;
    const std::int64_t todayNumber = dayOfDate(today.year, today.month, today.day);
    LineDays history;
    std::vector<ArchivedDay> recorded;
    for (const Line& line : run.config.lines) {
        // A line is known by its history as configured.
        const std::string& name = line.source.path;
        if (std::string reason = archive.recordedDays(name, recorded); !reason.empty())
            return reason;
        // Mostly one new day a run: the first reading gathers the days
        // not recorded yet, a second one the days a late record came for.
        std::vector<std::int64_t> skipped;
        for (const ArchivedDay& d : recorded)
            skipped.push_back(d.day);
        // The history cannot be read: ravlog says so when it reads it for the reports.
        if (!history.read(line, s.supportNewFormat, opener, todayNumber, skipped)) continue;
        const std::vector<std::int64_t> days = daysToRecord(history.days(), recorded);
        const std::size_t lateCount =
            static_cast<std::size_t>(std::count_if(days.begin(), days.end(), [&](std::int64_t d) {
                return std::binary_search(skipped.begin(), skipped.end(), d);
            }));
        if (lateCount > 0) {
            std::vector<std::int64_t> stillSkipped;
            std::set_difference(skipped.begin(), skipped.end(), days.begin(), days.end(),
                                std::back_inserter(stillSkipped));
            if (!history.read(line, s.supportNewFormat, opener, todayNumber, stillSkipped))
                continue;
        }
        for (const ArchivedDay& d : history.days()) {
            if (!std::binary_search(days.begin(), days.end(), d.day)) continue;
            if (std::string reason = archive.recordDay(name, d, history.sumsOf(d.day));
                !reason.empty())
                return reason;
        }
    }
    return archive.commit();
}

}  // namespace rv::ravlog
