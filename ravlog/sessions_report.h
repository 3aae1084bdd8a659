// The sessions statistic file: every listed session of every line in a
// table, with the line's totals under it.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

#include "core/config_model.h"
#include "core/session_record.h"
#include "ravlog/report_model.h"
#include "ravlog/report_period.h"
#include "stats/line_stats.h"

namespace rv::ravlog {

void writeSessionsBanner(std::FILE* out);

// The heading above a line's table: its Name, "Line %d" when more than one
// line is configured, or nothing.
void writeLineHeading(std::FILE* out, const Line& line, int lineNumber,
                      std::size_t configuredLines);
void writeTableHeader(std::FILE* out, HistoryType type);

void writeSessionRow(std::FILE* out, const SessionRow& row);
void writeTableFooter(std::FILE* out, const LineTotals& totals);
void writeSessionsFooter(std::FILE* out, const std::string& createdAt);

}  // namespace rv::ravlog
