// ravlog's part of the day archive: every complete day that a line's
// history holds and the archive lacks, or holds with fewer records than
// the history now does, is recorded, and records after the last recorded
// day that the line's clock puts on it are added to it (LineDays), all
// lines in one transaction. The
// days are gathered from the reading for the reports (the history is read
// once); the transaction is committed after the last line was read and
// before any history is cut.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/day_archive.h"
#include "archive/line_days.h"
#include "core/byte_source.h"
#include "ravlog/run_state.h"

namespace rv::ravlog {

class ArchiveRecording {
  public:
    // Opens the archive and takes its write lock.
    ArchiveRecording(Run& run, SourceOpener& opener);

    // Before a line's history is opened: the line as configured (a pair's
    // twin takes the source's place while it is read).
    void lineStarts(const Line& line) { line_ = line; }
    // Its history opened: where its records go (LineDays::take), or null
    // once the archive failed.
    LineDays* lineOpened(const LineDirectionRules& rules);
    // After the reading: whole is false when the history could not be
    // read to its end (its days are then left for a later run).
    void lineRead(bool whole);

    // Commits, and says on the run's output when the archive or a line in
    // it was created. True when every such day is in the archive;
    // otherwise nothing of this run is kept and failure() says why.
    [[nodiscard]] bool finish();
    const std::string& failure() const { return failure_; }

  private:
    // The archive failed: its first reason is the run's.
    void fail();
    // Adds a day's records gathered after its span to what the archive holds.
    [[nodiscard]] bool addToDay(const ArchivedDay& added);

    Run& run_;
    SourceOpener& opener_;
    DayArchive archive_;
    bool failed_ = false;
    std::string failure_;
    std::int64_t today_ = 0;
    Line line_;  // the line being read, as configured
    bool reading_ = false;
    std::vector<ArchivedDay> recorded_;
    LineDays history_;
};

}  // namespace rv::ravlog
