// The one writer of links and group table rows, for ravlog's links
// statistic and pondrel's report. The two tables differ in their address
// column and in how a cell whose figures outgrow it is fitted.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/drawing_set.h"
#include "core/out_buffer.h"
#include "stats/link_rows.h"

namespace rv {

// The lines above and below a table's rows.
struct LinkTableFrame {
    // With ravlog's P column its two %s, where a protected session was
    // counted, mark it ("Prot", and its bar in the rule under the headings).
    const char* header;
    const char* bottom;  // with its line end
};

struct LinkTableStyle {
    const DrawingSet* set;
    const LinkTableFrame* frame;
    std::size_t addressWidth;  // columns of the Address cell
    std::size_t countWidth;    // columns of a session count before its bar
    // ravlog's table marks protected links in a column before the address,
    // and keeps its row width where it can when a count outgrows its
    // columns; pondrel's table widens the row instead.
    bool ravlogForm;
};

// ravlog's links statistic (UTF-8 only) and pondrel's table.
LinkTableStyle ravlogLinkTable();
LinkTableStyle pondrelLinkTable(const DrawingSet& set);

// The headings, each line with its line end; ravlog's with the P column
// marked when a protected session was counted.
std::string linkTableHeader(const LinkTableStyle& style, bool withProtected = false);
const char* linkTableBottom(const LinkTableStyle& style);

// One row, its line end included. A group row carries no protection mark.
void putLinkRow(OutBuffer& out, const LinkRow& row, const LinkTableStyle& style, bool asGroup);

}  // namespace rv
