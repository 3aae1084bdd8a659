// pondrel's HTML report: the period, the links and group tables and the
// totals box as one self-contained page.
#pragma once

#include <cstdio>

#include "pondrel/report_model.h"

namespace rv::pondrel {

void writeHtmlReport(std::FILE* out, const Report& report);

}  // namespace rv::pondrel
