#include "pondrel/html_report.h"

#include <ctime>

#include "core/html_page.h"
#include "core/time_text.h"
#include "pondrel/day_charts.h"
#include "stats/link_rows_html.h"

namespace rv::pondrel {

void writeHtmlReport(std::FILE* file, const Report& report) {
    OutBuffer out(file);
    // A period of one day has no days to chart: its page stays as it was.
    const bool daily = report.days.size() >= 2;
    putHtmlStart(out, "Links Statistic", daily ? dayChartStyle(report.days.size()) : "");
    out.put("<h1>Links Statistic</h1>\n<p>From: ");
    putHtmlDateTime(out, report.from);
    out.put("<br>To: ");
    putHtmlDateTime(out, report.to);
    out.put("</p>\n");
    // The Address cell's width in pondrel's text table.
    LinkTableHtml form{14};
    if (daily) {
        putDayCharts(out, report.days);
        form.lastHeading = "Traffic per day";
        form.lastCell = [&](OutBuffer& o, bool groups, std::size_t i) {
            const auto& rows = groups ? report.groupDays : report.linkDays;
            putDayTrafficSvg(o, report.days.front().day, report.days.size(),
                             i < rows.size() ? rows[i] : nullptr);
        };
    }
    putLinkTablesHtml(out, report.tables, form);
    putTotalsRowsHtml(out, "All lines", report.totals);
    endTotalsHtml(out);
    putHtmlEnd(out, creationTimeText(std::time(nullptr)));
}

}  // namespace rv::pondrel
