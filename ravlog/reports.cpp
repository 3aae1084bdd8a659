#include "ravlog/reports.h"

namespace rv {

void writeLinkAndHistoryReports(RavlogRun&) {}

}  // namespace rv
