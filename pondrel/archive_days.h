// pondrel's part of the day archive: a line's days that the archive holds
// are counted from their archived sums, and the history's records that
// they took are passed over, so that every session counts once whether
// its day is still in the history or was cut away.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "archive/day_archive.h"
#include "core/dates.h"
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

    // Whether a history record's time (the history's clock plus the
    // shift) lies in the span of a day the archive holds for the line
    // last counted: the line's days take the history's records up to the
    // last one's end (archive/line_days.h).
    bool holds(std::int64_t shifted) const { return shifted < end_; }

  private:
    std::unique_ptr<DayArchive> archive_;
    std::int64_t end_ = noDay;           // the line's last archived day's end
    std::vector<std::int64_t> counted_;  // the archived days the period takes
};

}  // namespace rv::pondrel
