#include "ravlog/archive_recording.h"

#include <algorithm>
#include <cstdio>

namespace rv::ravlog {

ArchiveRecording::ArchiveRecording(Run& run, SourceOpener& opener) : run_(run), opener_(opener) {
    const RunDate& today = run.clock.date;
    today_ = daysFromCivil(today.year, static_cast<unsigned>(today.month),
                           static_cast<unsigned>(today.day));
    if (!archive_.open(run.config.settings.archivePath, DayArchive::Access::write) ||
        !archive_.begin())
        fail();
}

void ArchiveRecording::fail() {
    if (!failed_) failure_ = archive_.failure();
    failed_ = true;
}

LineDays* ArchiveRecording::lineOpened(const LineDirectionRules& rules) {
    reading_ = false;
    if (failed_) return nullptr;
    if (!archive_.recordedDays(line_.source.path, recorded_)) {
        fail();
        return nullptr;
    }
    // Mostly one new day a run: only the days not recorded yet are summed.
    history_.begin(rules, line_.timeShift, today_, recorded_, {});
    reading_ = true;
    return &history_;
}

void ArchiveRecording::lineRead(bool whole) {
    if (!reading_) return;
    reading_ = false;
    history_.end();
    // A history that cannot be read whole: its days wait for a run that can.
    if (!whole) return;
    // A record came late for a recorded day (its span holds more than was
    // counted): the history is read once more for the sums of such days.
    std::vector<std::int64_t> again;
    for (std::size_t i = 0; i < recorded_.size(); ++i)
        if (history_.held()[i] > recorded_[i].records) again.push_back(recorded_[i].day);
    if (!again.empty() && !history_.read(line_, run_.config.settings.supportNewFormat, opener_,
                                         *run_.directory, run_.clock.now, today_, recorded_, again))
        return;
    for (const ArchivedDay& d : history_.days()) {
        const bool known = std::binary_search(
            recorded_.begin(), recorded_.end(), d,
            [](const ArchivedDay& a, const ArchivedDay& b) { return a.day < b.day; });
        const bool recorded = !known || std::binary_search(again.begin(), again.end(), d.day)
                                  ? archive_.recordDay(line_.source.path, d, history_.sumsOf(d.day))
                                  : addToDay(d);
        if (!recorded) {
            fail();
            return;
        }
    }
}

bool ArchiveRecording::addToDay(const ArchivedDay& added) {
    // The sums the archive holds of the day, with the new records' added.
    ArchivedDay day = added;
    std::vector<ArchivedSums> sums;
    const bool read = archive_.readDays(
        line_.source.path, added.day,
        [&](const ArchivedDay& held) {
            if (held.day != added.day) return;
            day.records += held.records;
            day.firstTime = std::min(day.firstTime, held.firstTime);
            day.lastTime = std::max(day.lastTime, held.lastTime);
        },
        [&](std::int64_t d, const ArchivedSums& held) {
            if (d == added.day) sums.push_back(held);
        });
    if (!read) return false;
    for (const ArchivedSums* more : history_.sumsOf(added.day)) {
        const auto same = std::find_if(sums.begin(), sums.end(), [&](const ArchivedSums& s) {
            return s.address == more->address && s.kind == more->kind;
        });
        if (same == sums.end()) {
            sums.push_back(*more);
            continue;
        }
        addCounters(same->counters, more->counters);
        same->protectedSessions += more->protectedSessions;
    }
    std::vector<const ArchivedSums*> all;
    all.reserve(sums.size());
    for (const ArchivedSums& s : sums)
        all.push_back(&s);
    return archive_.recordDay(line_.source.path, day, all);
}

bool ArchiveRecording::finish() {
    if (!failed_ && !archive_.commit()) fail();
    if (failed_) return false;
    // One line each in the mail cron sends: a new archive or line where
    // days were expected is a gap the operator should see.
    const std::string& path = run_.config.settings.archivePath;
    if (archive_.created()) std::fprintf(run_.out, "Created archive %s\n", path.c_str());
    for (const std::string& line : archive_.addedLines())
        std::fprintf(run_.out, "Archive %s: new line %s\n", path.c_str(), line.c_str());
    return true;
}

}  // namespace rv::ravlog
