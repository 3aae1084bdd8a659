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
    out.put("</p>\n<h2>Links</h2>\n");
    // The Address cell's width in pondrel's text table.
    const LinkTableHtml form{14};
    putLinkTableHtml(out, report.tables.links, form, false);
    if (report.tables.groupTable) {
        out.put("<h2>Groups</h2>\n");
        putLinkTableHtml(out, report.tables.groups, form, true);
    }
    out.put("<h2>Totals</h2>\n");
    beginTotalsHtml(out);
    putTotalsRowsHtml(out, "All lines", report.totals);
    endTotalsHtml(out);
    putHtmlEnd(out, creationTimeText(std::time(nullptr)));
}

}  // namespace rv::pondrel
