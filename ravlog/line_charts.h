// The busy chart blocks of every line in the sessions history file: for
// each chart kind (Busy, Incoming, Outgoing, Protected, UnProtected), one
// block per line whose BusyHist mask asks for it, framed by the line's figures.
#pragma once

#include <cstdio>

#include "ravlog/run_state.h"

namespace rv {

// Scales and draws the busy arrays of every line (they are changed in place).
void writeLineCharts(std::FILE* out, RavlogRun& run);

}  // namespace rv
