// The rows of address entries in ravlog's reports: their line in the
// links statistic table and their chart row in the sessions history.
#pragma once

#include <cstdio>

#include "core/config_model.h"
#include "core/out_buffer.h"
#include "ravlog/report_model.h"

namespace rv::ravlog {

// The table header; with the "Prot" column marker when a protected session was counted.
void writeLinkTableHeader(std::FILE* out, bool withProtected);

// Address, chart row in glyphs and the value, received and sent texts.
void putHistoryRow(OutBuffer& out, const HistoryItem& item, ShowValueMode showValue);

}  // namespace rv::ravlog
