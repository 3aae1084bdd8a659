// pondrel's part of the day archive: a line's days that the archive holds
// are counted from their archived sums, and the history's records of
// those days are passed over, so that every session counts once whether
// its day is still in the history or was cut away.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "archive/day_archive.h"
#include "archive/line_days.h"
#include "core/exit_request.h"
#include "core/local_clock.h"
#include "pondrel/run_state.h"

namespace rv::pondrel {

class ArchiveDays {
  public:
    // Opens the configured archive, if any. A missing one is said on the
    // run's warnings and the histories are read alone.
    Stop open(Run& run);

    // Counts the line's archived days that the period takes, before its
    // history is read.
    Stop countLine(Run& run, std::size_t i, LocalTimeConverter& converter);

    // Whether the day of a history record's time (the history's clock
    // plus the shift) came from the archive for the line last counted.
    bool holds(std::int64_t shifted) {
        if (days_.empty()) return false;
        const std::int64_t day = dayOfTime(shifted);
        if (day != cachedDay_) {
            cachedDay_ = day;
            cachedHeld_ = std::binary_search(days_.begin(), days_.end(), day);
        }
        return cachedHeld_;
    }

  private:
    std::unique_ptr<DayArchive> archive_;
    std::vector<std::int64_t> days_;     // the line's archived days, in order
    std::vector<std::int64_t> counted_;  // those of them the period takes
    std::int64_t cachedDay_ = -1;
    bool cachedHeld_ = false;
};

}  // namespace rv::pondrel
