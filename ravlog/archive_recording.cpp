#include "ravlog/archive_recording.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

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

std::vector<std::int64_t> dayNumbers(const std::vector<ArchivedDay>& days) {
    std::vector<std::int64_t> numbers;
    numbers.reserve(days.size());
    for (const ArchivedDay& d : days)
        numbers.push_back(d.day);
    return numbers;
}

}  // namespace

ArchiveRecording::ArchiveRecording(Run& run, SourceOpener& opener) : run_(run), opener_(opener) {
    const RunDate& today = run.clock.date;
    today_ = dayOfDate(today.year, today.month, today.day);
    std::string reason = archive_.open(run.config.settings.archivePath, DayArchive::Access::write);
    if (reason.empty()) reason = archive_.begin();
    if (!reason.empty()) fail(std::move(reason));
}

void ArchiveRecording::fail(std::string reason) {
    if (failure_.empty()) failure_ = std::move(reason);
}

LineDays* ArchiveRecording::lineOpened(const LineDirectionRules& rules) {
    reading_ = false;
    if (!failure_.empty()) return nullptr;
    // A line is known by its history as configured.
    if (std::string reason = archive_.recordedDays(line_.source.path, recorded_); !reason.empty()) {
        fail(std::move(reason));
        return nullptr;
    }
    // Mostly one new day a run: only the days not recorded yet are summed.
    history_.begin(rules, today_, dayNumbers(recorded_));
    reading_ = true;
    return &history_;
}

void ArchiveRecording::lineRead(bool whole) {
    if (!reading_) return;
    reading_ = false;
    history_.end();
    // A history that cannot be read whole: its days wait for a run that can.
    if (!whole) return;
    const std::vector<std::int64_t> days = daysToRecord(history_.days(), recorded_);
    const std::vector<std::int64_t> skipped = dayNumbers(recorded_);
    const bool late = std::any_of(days.begin(), days.end(), [&](std::int64_t d) {
        return std::binary_search(skipped.begin(), skipped.end(), d);
    });
    // A record came late for a recorded day: the history is read once more
    // for the sums of such days.
    if (late) {
        std::vector<std::int64_t> stillSkipped;
        std::set_difference(skipped.begin(), skipped.end(), days.begin(), days.end(),
                            std::back_inserter(stillSkipped));
        if (!history_.read(line_, run_.config.settings.supportNewFormat, opener_, today_,
                           std::move(stillSkipped)))
            return;
    }
    const std::string& name = line_.source.path;
    for (const ArchivedDay& d : history_.days()) {
        if (!std::binary_search(days.begin(), days.end(), d.day)) continue;
        if (std::string reason = archive_.recordDay(name, d, history_.sumsOf(d.day));
            !reason.empty()) {
            fail(std::move(reason));
            return;
        }
    }
}

std::string ArchiveRecording::finish() {
    if (failure_.empty()) fail(archive_.commit());
    if (!failure_.empty()) return failure_;
    // One line each in the mail cron sends: a new archive or line where
    // days were expected is a gap the operator should see.
    const std::string& path = run_.config.settings.archivePath;
    if (archive_.created()) std::fprintf(run_.out, "Created archive %s\n", path.c_str());
    for (const std::string& line : archive_.addedLines())
        std::fprintf(run_.out, "Archive %s: new line %s\n", path.c_str(), line.c_str());
    return failure_;
}

}  // namespace rv::ravlog
