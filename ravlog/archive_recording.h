// ravlog's part of the day archive: before any history is read for the
// reports (and so before any cut), every complete day that a line's
// history holds and the archive lacks, or holds with fewer records than
// the history now does, is recorded, all lines in one transaction.
#pragma once

#include <string>

#include "core/byte_source.h"
#include "ravlog/run_state.h"

namespace rv::ravlog {

// Empty when every such day is in the archive; otherwise the reason.
std::string recordArchive(Run& run, SourceOpener& opener);

}  // namespace rv::ravlog
