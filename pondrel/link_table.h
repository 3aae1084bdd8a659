// pondrel's text report: the links table, the group table and the totals
// box, in UTF-8 box drawing or plain ASCII.
#pragma once

#include <cstdio>

#include "core/drawing_set.h"
#include "pondrel/report_model.h"

namespace rv::pondrel {

void writeTextReport(std::FILE* out, const Report& report, const DrawingSet& set);

}  // namespace rv::pondrel
