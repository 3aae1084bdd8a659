// pondrel's report as data for other programs: one JSON object, or CSV
// with a row per link, per group and one of totals.
#pragma once

#include <cstdio>

#include "pondrel/report_model.h"

namespace rv::pondrel {

void writeJsonReport(std::FILE* out, const Report& report);
void writeCsvReport(std::FILE* out, const Report& report);

}  // namespace rv::pondrel
