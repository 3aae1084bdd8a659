// The links and group tables and the totals box of ravlog's and pondrel's
// HTML reports: the text tables' rows and columns, numbers right-aligned,
// and, in ravlog's, each row's history as a timeline (pondrel's draws its
// rows' traffic per day).
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

#include "core/out_buffer.h"
#include "stats/chart_svg.h"
#include "stats/link_rows.h"

namespace rv {

struct LinkTableHtml {
    std::size_t addressWidth;         // the Address cell's width in the program's text table
    bool protColumn = false;          // the P column of protected links
    const ChartAxis* axis = nullptr;  // each row's timeline on this axis, or none
    // A last column that the caller draws (pondrel's traffic per day): its
    // heading, and the cell's content for row i of the links or group table.
    std::string_view lastHeading = "";
    std::function<void(OutBuffer& out, bool groups, std::size_t i)> lastCell = {};
};

// The table in its scrolling box; a group table has no P column.
void putLinkTableHtml(OutBuffer& out, const std::vector<LinkRow>& rows, const LinkTableHtml& form,
                      bool asGroups);

// The links table, the group table when there is one, and the start of the
// totals box, each under its heading; the caller adds the box's rows and
// ends it.
void putLinkTablesHtml(OutBuffer& out, const LinkTables& tables, const LinkTableHtml& form);
// The rows of a totals box under a heading row ("All lines", "Protected");
// whole is the box's first part, whose traffic gives its column's form.
void putTotalsRowsHtml(OutBuffer& out, std::string_view heading, const TrafficCounters& totals,
                       const TrafficCounters& whole);
void endTotalsHtml(OutBuffer& out);

}  // namespace rv
