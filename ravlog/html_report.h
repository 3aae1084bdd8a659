// ravlog's HTML report: one self-contained page of the run's report model,
// with the period, every line read with its totals and its busy charts
// (the blocks the text report draws, as SVG bar charts, one bar per slot),
// the links and group tables with each row's timeline over the window, and
// the totals box.
#pragma once

#include <cstdio>

#include "ravlog/report_model.h"

namespace rv::ravlog {

void writeHtmlReport(std::FILE* file, const Report& report);

}  // namespace rv::ravlog
