#include "pondrel/html_report.h"

#include <ctime>

#include "core/dates.h"
#include "core/html_page.h"
#include "core/time_text.h"
#include "pondrel/day_charts.h"
#include "stats/link_rows_html.h"

namespace rv::pondrel {

namespace {

// Which days of the period each line took from the day archive, so that a
// new or lost archive shows on the page as a line with none.
void putArchiveUseHtml(OutBuffer& out, const ArchiveUse& use) {
    out.put("<h2>Day archive</h2>\n<p>");
    putHtmlText(out, *use.file);
    if (!use.found) out.put(" (not there yet)");
    out.put(
        "</p>\n<div class=\"w\"><table>\n<tr><th>Line</th><th>Days from the archive</th></tr>\n");
    for (const ArchiveUse::LineDays& l : use.lines) {
        out.put("<tr><td>");
        putHtmlText(out, l.line->hasName ? l.line->name : *l.history);
        out.put("</td><td class=\"a x\">");
        if (l.days.empty()) out.put("none");
        for (const DayRun& run : l.days) {
            if (&run != &l.days.front()) out.put(", ");
            out.put(dayText(run.first));
            if (run.last != run.first) {
                out.put(" to ");
                out.put(dayText(run.last));
            }
        }
        out.put("</td></tr>\n");
    }
    out.put("</table></div>\n");
}

}  // namespace

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
    putTotalsRowsHtml(out, "All lines", report.totals, report.totals);
    endTotalsHtml(out);
    if (report.archive) putArchiveUseHtml(out, *report.archive);
    putHtmlEnd(out, creationTimeText(std::time(nullptr)));
}

}  // namespace rv::pondrel
