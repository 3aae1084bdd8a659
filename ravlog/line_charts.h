// The busy chart blocks of every line in the sessions history file: each
// block of chart_blocks.h drawn from its values and framed by the line's
// figures.
#pragma once

#include <cstdio>
#include <vector>

#include "ravlog/chart_blocks.h"
#include "ravlog/run_state.h"

namespace rv::ravlog {

void writeLineCharts(std::FILE* out, const Run& run, const std::vector<ChartBlock>& blocks);

// The same with the run's blocks.
void writeLineCharts(std::FILE* out, const Run& run);

}  // namespace rv::ravlog
