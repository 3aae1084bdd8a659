// The period's days on pondrel's page: sessions in and out and traffic
// received and sent per day as bar charts in ravlog's form, and a row's
// traffic per day as a small chart in its table cell.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/out_buffer.h"
#include "pondrel/report_model.h"

namespace rv::pondrel {

// The page's own style rules for charts of that many days.
std::string dayChartStyle(std::size_t days);

// The two charts, one above the other.
void putDayCharts(OutBuffer& out, const std::vector<ReportDay>& days);

// A row's traffic per day over the period's days (from firstDay on);
// traffic null for a row without any.
void putDayTrafficSvg(OutBuffer& out, std::int64_t firstDay, std::size_t days,
                      const std::vector<DayBytes>* traffic);

}  // namespace rv::pondrel
