#include "pondrel/html_report.h"

#include <ctime>

#include "core/html_page.h"
#include "core/time_text.h"
#include "stats/link_rows_html.h"

namespace rv::pondrel {

void writeHtmlReport(std::FILE* file, const Report& report) {
    OutBuffer out(file);
    putHtmlStart(out, "Links Statistic");
    out.put("<h1>Links Statistic</h1>\n<p>From: ");
    putHtmlDateTime(out, report.from);
    out.put("<br>To: ");
    putHtmlDateTime(out, report.to);
    out.put("</p>\n");
    // The Address cell's width in pondrel's text table.
    putLinkTablesHtml(out, report.tables, LinkTableHtml{14});
    putTotalsRowsHtml(out, "All lines", report.totals);
    endTotalsHtml(out);
    putHtmlEnd(out, creationTimeText(std::time(nullptr)));
}

}  // namespace rv::pondrel
