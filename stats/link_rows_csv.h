// The links and group rows and the totals of pondrel's CSV report, the
// columns of linkColumns that the CSV file has, after each record's
// section.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "core/csv_writer.h"
#include "stats/link_rows.h"

namespace rv {

// The header record: "section" and the columns' keys.
void putLinkCsvHeader(CsvWriter& csv);
// A record per row under its section ("link", "group"); addressWidth is
// the Address cell's width in the program's text table.
void putLinkRowsCsv(CsvWriter& csv, std::string_view section, const std::vector<LinkRow>& rows,
                    std::size_t addressWidth);
// The "total" record: the totals' figure in each column that has one.
void putTotalsCsv(CsvWriter& csv, const TrafficCounters& totals);

}  // namespace rv
