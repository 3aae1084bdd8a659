#include "pondrel/archive_days.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "core/format.h"
#include "pondrel/pondrel_run.h"

namespace rv::pondrel {

namespace {

Stop cantRead(const std::string& path, const std::string& reason) {
    return failure(format("Can't read archive %s: %s\n", path.c_str(), reason.c_str()));
}

}  // namespace

Stop ArchiveDays::open(Run& run) {
    const std::string& path = run.config.settings.archivePath;
    if (path.empty()) return std::nullopt;
    run.archivedLines.assign(run.config.lines.size(), {});
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
        std::fprintf(run.err, "Archive %s does not exist yet: the histories are read alone\n",
                     path.c_str());
        return std::nullopt;
    }
    auto archive = std::make_unique<DayArchive>();
    if (!archive->open(path, DayArchive::Access::read)) return cantRead(path, archive->failure());
    archive_ = std::move(archive);
    run.archiveFound = true;
    return std::nullopt;
}

Stop ArchiveDays::countLine(Run& run, std::size_t i, LocalTimeConverter& converter) {
    end_ = noDay;
    counted_.clear();
    if (!archive_) return std::nullopt;
    const Line& line = run.config.lines[i];
    const bool advancedCps = line.advancedCps != 0;
    // A day before the begin's day (whatever the zone) cannot be counted.
    const std::int64_t firstDay = run.options.begin > 0 ? dayOfTime(run.options.begin) - 1 : 0;
    AddressBook& book = *run.book;
    TrafficCounters& totals = run.totals[i];
    PeriodDays::Open open;
    const bool read = archive_->readDays(
        line.source.path, firstDay,
        [&](const ArchivedDay& day) {
            end_ = std::max(end_, shiftedEnd(day, line.timeShift));
            // A day is counted whole: its first and last record stand for
            // all of it in the period test.
            const std::optional<std::time_t> first = converter.toLocal(day.firstTime);
            const std::optional<std::time_t> last = converter.toLocal(day.lastTime);
            if (!first || !last) return;
            if (passesPeriod(run, *first, day.firstTime) && passesPeriod(run, *last, day.lastTime))
                counted_.push_back(day.day);
        },
        [&](std::int64_t day, const ArchivedSums& sums) {
            if (!std::binary_search(counted_.begin(), counted_.end(), day)) return;
            if (day != open.day) run.days.moveTo(open, day, book, advancedCps, totals);
            book.countSums(sums.address, sums.kind, sums.counters, sums.protectedSessions,
                           advancedCps, open.counters);
        });
    run.days.close(open, book, advancedCps, totals);
    if (!read) return cantRead(run.config.settings.archivePath, archive_->failure());
    run.archivedLines[i] = {line.source.path, counted_};
    return std::nullopt;
}

}  // namespace rv::pondrel
