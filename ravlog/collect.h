// Reading one line's history for ravlog: every record is tested, the
// selected sessions are settled, matched, counted and listed, and every
// record is offered to the history cutter.
#pragma once

#include "core/history_reader.h"
#include "ravlog/archive_recording.h"
#include "ravlog/cut/history_cut.h"
#include "ravlog/run_state.h"

namespace rv::ravlog {

// Reads the line at index i of the run; writes its table to the sessions
// file. With an archive (not null) the line's days go to it, and the
// history is not cut: cutLine does that once the archive is written.
void collectLine(Run& run, std::size_t i, HistoryReader& reader, HistoryCutter& cutter,
                 LocalTimeConverter& converter, ArchiveRecording* archive);

// Reads the line's history once more only to cut it, as CutHistory asks.
void cutLine(Run& run, std::size_t i, HistoryReader& reader, HistoryCutter& cutter,
             LocalTimeConverter& converter);

}  // namespace rv::ravlog
