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

void endTotalsHtml(OutBuffer& out) {
    out.put("</table></div>\n");
}

void putTotalsRowsHtml(OutBuffer& out, std::string_view heading, const TrafficCounters& t) {
    struct Row {
        std::string_view traffic, sessions, time;
        std::uint64_t bytes, count, seconds;
    };
    const Row rows[] = {
        {"Received", "Sessions in", "Time in", t.bytesReceived, t.sessionsIn, t.timeIn},
        {"Sent", "Sessions out", "Time out", t.bytesSent, t.sessionsOut, t.timeOut},
        {"Traffic", "Sessions", "Time online", traffic(t), t.sessions, t.timeOnline},
    };
    out.put("<tr><th colspan=\"6\" class=\"a\">");
    putHtmlText(out, heading);
    out.put("</th></tr>\n");
    for (const Row& row : rows) {
        out.put("<tr><td class=\"a\">");
        out.put(row.traffic);
        out.put("</td>");
        putTrafficCell(out, row.bytes, "bytes");
        out.put("<td class=\"a\">");
        out.put(row.sessions);
        out.put("</td>");
        putCountCell(out, row.count);
        out.put("<td class=\"a\">");
        out.put(row.time);
        out.put("</td>");
        putDurationCell(out, row.seconds);
        out.put("</tr>\n");
    }
}

void putLinkTablesHtml(OutBuffer& out, const LinkTables& tables, const LinkTableHtml& form) {
    out.put("<h2>Links</h2>\n");
    putLinkTableHtml(out, tables.links, form, false);
    if (tables.groupTable) {
        out.put("<h2>Groups</h2>\n");
        putLinkTableHtml(out, tables.groups, form, true);
    }
    out.put("<h2>Totals</h2>\n<div class=\"w\"><table>\n");
}

}  // namespace rv
