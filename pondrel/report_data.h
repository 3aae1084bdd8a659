// pondrel's report as data for other programs: one JSON object, or CSV
// with a row per link, per group and one of totals.
#pragma once

#include <cstdio>

#include "pondrel/report_model.h"

namespace rv::pondrel {

void writeJsonReport(std::FILE* out, const Report& report);
// A continued CSV file (appended to one that holds rows) gets no second header.
void writeCsvReport(std::FILE* out, const Report& report, bool continued = false);

}  // namespace rv::pondrel
