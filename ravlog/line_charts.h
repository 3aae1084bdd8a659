// The busy chart blocks of every line in the sessions history file: each
// block of chart_blocks.h drawn from its values and framed by the line's
// figures.
#pragma once

#include <cstdio>
#include <vector>

#include "ravlog/report_model.h"

namespace rv::ravlog {

// The report's blocks, report.charts.
void writeLineCharts(std::FILE* out, const Report& report);

}  // namespace rv::ravlog
