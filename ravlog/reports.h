// The links statistic file and the sessions history file, written once all
// lines are read and the address entries are settled.
#pragma once

#include "ravlog/report_model.h"
#include "ravlog/run_state.h"

namespace rv::ravlog {

void writeLinkAndHistoryReports(Run& run, const Report& report);

}  // namespace rv::ravlog
