#include "stats/link_rows_html.h"

#include <algorithm>

#include "core/html_page.h"

namespace rv {

namespace {

// A direction's sessions and time; "-" and "-:--:--" without sessions,
// as the text table shows them.
void putSessionCells(OutBuffer& out, std::uint64_t sessions, std::uint64_t seconds) {
    if (sessions == 0) {
        out.put("<td>-</td><td>-:--:--</td>");
        return;
    }
    putCountCell(out, sessions);
    putDurationCell(out, seconds);
}

void putHourHeading(OutBuffer& out, const ChartAxis& axis) {
    out.put("<th rowspan=\"2\" class=\"a v\"><div class=\"hx\">");
    for (const HourLabel& label : hourLabels(axis)) {
        out.put("<span>");
        out.putUnsigned(label.hour, 0);
        out.put("</span>");
    }
    out.put("</div></th>");
}

}  // namespace

void putLinkTableHtml(OutBuffer& out, const std::vector<LinkRow>& rows, const LinkTableHtml& form,
                      bool asGroups) {
    const bool prot = form.protColumn && !asGroups;
    const bool labels = std::any_of(rows.begin(), rows.end(),
                                    [](const LinkRow& row) { return !row.label.empty(); });
    out.put("<div class=\"w\"><table>\n<tr>");
    if (prot) out.put("<th rowspan=\"2\" class=\"a\" title=\"protected sessions\">P</th>");
    out.put("<th rowspan=\"2\" class=\"a\">Address</th>");
    if (labels) out.put("<th rowspan=\"2\" class=\"a\">Label</th>");
    out.put(
        "<th colspan=\"2\">Incoming</th>"
        "<th colspan=\"2\">Outgoing</th><th rowspan=\"2\">Time online</th>"
        "<th colspan=\"2\">Traffic</th><th rowspan=\"2\">CPS</th>");
    if (form.axis) putHourHeading(out, *form.axis);
    out.put(
        "</tr>\n<tr><th>Ses</th><th>Time</th><th>Ses</th><th>Time</th><th>Rcvd</th>"
        "<th>Sent</th></tr>\n");
    for (const LinkRow& row : rows) {
        out.put("<tr>");
        if (prot) out.put(row.protectedSessions ? "<td class=\"a\">P</td>" : "<td></td>");
        out.put("<td class=\"a\">");
        putHtmlText(out, trimmedCell(linkAddressCell(row, form.addressWidth).view()));
        out.put("</td>");
        if (labels) {
            out.put("<td class=\"a\">");
            putHtmlText(out, trimmedCell(row.label));
            out.put("</td>");
        }
        putSessionCells(out, row.sessionsIn, row.timeIn);
        putSessionCells(out, row.sessionsOut, row.timeOut);
        putDurationCell(out, row.timeOnline);
        putTrafficCell(out, row.received, "bytes");
        putTrafficCell(out, row.sent, "bytes");
        putTrafficCell(out, row.cps, "bytes per second");
        if (form.axis) {
            out.put("<td class=\"v\">");
            putTimelineSvg(out, *form.axis, row.marks);
            out.put("</td>");
        }
        out.put("</tr>\n");
        out.maybeFlush();
    }
    out.put("</table></div>\n");
}

void beginTotalsHtml(OutBuffer& out) {
    out.put("<div class=\"w\"><table>\n");
}

void endTotalsHtml(OutBuffer& out) {
    out.put("</table></div>\n");
}

void putTotalsRowsHtml(OutBuffer& out, std::string_view heading, const SummaryTotals& t) {
    out.put("<tr><th colspan=\"6\" class=\"a\">");
    putHtmlText(out, heading);
    out.put("</th></tr>\n<tr><td class=\"a\">Received</td>");
    putTrafficCell(out, t.received, "bytes");
    out.put("<td class=\"a\">Sessions in</td>");
    putCountCell(out, t.sessionsIn);
    out.put("<td class=\"a\">Time in</td>");
    putDurationCell(out, t.timeIn);
    out.put("</tr>\n<tr><td class=\"a\">Sent</td>");
    putTrafficCell(out, t.sent, "bytes");
    out.put("<td class=\"a\">Sessions out</td>");
    putCountCell(out, t.sessionsOut);
    out.put("<td class=\"a\">Time out</td>");
    putDurationCell(out, t.timeOut);
    out.put("</tr>\n<tr><td class=\"a\">Traffic</td>");
    putTrafficCell(out, t.traffic(), "bytes");
    out.put("<td class=\"a\">Sessions</td>");
    putCountCell(out, t.sessions);
    out.put("<td class=\"a\">Time online</td>");
    putDurationCell(out, t.timeOnline);
    out.put("</tr>\n");
}

}  // namespace rv
