// The links statistic file and the sessions history file, written once all
// lines are read and the address entries are settled.
#pragma once

#include <cstdio>

#include "ravlog/report_model.h"

namespace rv::ravlog {

void writeLinkAndHistoryReports(std::FILE* links, std::FILE* history, const Report& report);

}  // namespace rv::ravlog
