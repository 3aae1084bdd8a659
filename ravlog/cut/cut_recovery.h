// Before ravlog reads a history it finishes the cut that a crash or a
// kill interrupted, from the journal left beside the history. The
// operator does nothing: one line on standard error says what was done.
#pragma once

#include <cstdio>
#include <string>

#include "ravlog/cut/cut_io.h"

namespace rv::ravlog {

// A journal that was still being written (the history was not touched
// yet) is removed; a committed one is replayed. A journal that cannot be
// trusted, or a history that is not the one it was made for, is left as
// it is, with a warning. probe is null outside the fault tests.
void restoreInterruptedCut(const std::string& historyPath, std::FILE* warnings, CutProbe* probe);

}  // namespace rv::ravlog
