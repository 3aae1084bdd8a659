// The rows of address entries in ravlog's sessions history: their chart
// row (their line in the links statistic is stats/link_table_text.h's).
#pragma once

#include <cstdio>

#include "core/config_model.h"
#include "core/out_buffer.h"
#include "ravlog/report_model.h"

namespace rv::ravlog {

// Address, chart row in glyphs and the value, received and sent texts.
void putHistoryRow(OutBuffer& out, const HistoryItem& item, ShowValueMode showValue);

}  // namespace rv::ravlog
