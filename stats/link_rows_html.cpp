#include "stats/link_rows_html.h"

#include <algorithm>
#include <array>
#include <string>

#include "core/html_page.h"
#include "stats/link_columns.h"

namespace rv {

namespace {

void putFigureCell(OutBuffer& out, LinkValue value, std::uint64_t figure, const TrafficForm& form,
                   std::string_view heading) {
    switch (value) {
        case LinkValue::count:
            putCountCell(out, figure, heading);
            return;
        case LinkValue::seconds:
            putDurationCell(out, figure, heading);
            return;
        case LinkValue::bytes:
            putTrafficCell(out, figure, "bytes", form, heading);
            return;
        case LinkValue::bytesPerSecond:
            putTrafficCell(out, figure, "bytes per second", form, heading);
            return;
        case LinkValue::address:
        case LinkValue::kind:
        case LinkValue::label:
        case LinkValue::protection:
            break;
    }
}

// A figure's cell; "-" and "-:--:--" for a direction without sessions,
// as the text table shows them.
void putFigureCell(OutBuffer& out, const LinkColumnDef& column, const LinkRow& row,
                   const TrafficForm& form) {
    if (column.dashWithout && row.*column.dashWithout == 0) {
        out.put("<td data-h=\"");
        out.put(column.title);
        out.put(column.value == LinkValue::seconds ? "\">-:--:--</td>" : "\">-</td>");
    } else {
        putFigureCell(out, column.value, row.*column.figure, form, column.title);
    }
}

// Each column's traffic form, from its largest figure in the rows.
std::array<TrafficForm, linkColumns.size()> trafficForms(const std::vector<LinkRow>& rows) {
    std::array<TrafficForm, linkColumns.size()> forms{};
    for (std::size_t i = 0; i < linkColumns.size(); ++i) {
        const LinkColumnDef& column = linkColumns[i];
        if (column.value != LinkValue::bytes && column.value != LinkValue::bytesPerSecond) continue;
        std::uint64_t largest = 0;
        for (const LinkRow& row : rows)
            largest = std::max(largest, row.*column.figure);
        forms[i] = trafficForm(largest);
    }
    return forms;
}

// The figures' headings of the first row: a shared one over its columns,
// one of its own over both rows.
void putGroupHeadings(OutBuffer& out) {
    for (std::size_t i = 0; i < linkColumns.size(); ++i) {
        const LinkColumnDef& column = linkColumns[i];
        if (!isFigure(column.value)) continue;
        if (column.group.empty()) {
            out.put("<th rowspan=\"2\">");
            out.put(column.heading);
            out.put("</th>");
            continue;
        }
        if (i > 0 && linkColumns[i - 1].group == column.group) continue;
        std::size_t span = 1;
        while (i + span < linkColumns.size() && linkColumns[i + span].group == column.group)
            ++span;
        out.put("<th colspan=\"");
        out.putUnsigned(span, 0);
        out.put("\">");
        out.put(column.group);
        out.put("</th>");
    }
}

// The second row: the headings under a shared one.
void putSharedHeadings(OutBuffer& out) {
    for (const LinkColumnDef& column : linkColumns) {
        if (!isFigure(column.value) || column.group.empty()) continue;
        out.put("<th>");
        out.put(column.heading);
        out.put("</th>");
    }
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

// The timeline cell's opening with its name in a card, "Online 0\u201324"
// (the hours of its axis): the same for every row.
std::string timelineCellStart(const ChartAxis& axis) {
    const std::vector<HourLabel> labels = hourLabels(axis);
    return "<td class=\"v\" data-h=\"Online " + std::to_string(labels.front().hour) +
           "\xE2\x80\x93" + std::to_string(labels.back().hour) + "\">";
}

}  // namespace

void putLinkTableHtml(OutBuffer& out, const std::vector<LinkRow>& rows, const LinkTableHtml& form,
                      bool asGroups) {
    const bool prot = form.protColumn && !asGroups;
    const std::string timelineCell = form.axis ? timelineCellStart(*form.axis) : "";
    const bool labels = std::any_of(rows.begin(), rows.end(),
                                    [](const LinkRow& row) { return !row.label.empty(); });
    const auto forms = trafficForms(rows);
    out.put("<div class=\"w r\"><table>\n<thead><tr>");
    if (prot) out.put("<th rowspan=\"2\" class=\"a\" title=\"protected sessions\">P</th>");
    out.put("<th rowspan=\"2\" class=\"a\">Address</th>");
    if (labels) out.put("<th rowspan=\"2\" class=\"a\">Label</th>");
    putGroupHeadings(out);
    if (form.axis) putHourHeading(out, *form.axis);
    if (form.lastCell) {
        out.put("<th rowspan=\"2\" class=\"a\">");
        out.put(form.lastHeading);
        out.put("</th>");
    }
    out.put("</tr>\n<tr>");
    putSharedHeadings(out);
    out.put("</tr></thead>\n<tbody>\n");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const LinkRow& row = rows[i];
        out.put("<tr>");
        if (prot)
            out.put(row.protectedSessions ? "<td class=\"a\" data-h=\"Protected\">P</td>"
                                          : "<td></td>");
        out.put("<td class=\"a n\">");
        putHtmlText(out, trimmedCell(linkAddressCell(row, form.addressWidth).view()));
        out.put("</td>");
        if (labels) {
            out.put("<td class=\"a\" data-h=\"Label\">");
            putHtmlText(out, trimmedCell(row.label));
            out.put("</td>");
        }
        for (std::size_t c = 0; c < linkColumns.size(); ++c)
            if (isFigure(linkColumns[c].value)) putFigureCell(out, linkColumns[c], row, forms[c]);
        if (form.axis) {
            out.put(timelineCell);
            putTimelineSvg(out, *form.axis, row.marks);
            out.put("</td>");
        }
        if (form.lastCell) {
            out.put("<td class=\"a\" data-h=\"");
            out.put(form.lastHeading);
            out.put("\">");
            form.lastCell(out, asGroups, i);
            out.put("</td>");
        }
        out.put("</tr>\n");
        out.maybeFlush();
    }
    out.put("</tbody></table></div>\n");
}

void endTotalsHtml(OutBuffer& out) {
    out.put("</tbody></table></div>\n");
}

void putTotalsRowsHtml(OutBuffer& out, std::string_view heading, const TrafficCounters& t,
                       const TrafficCounters& whole) {
    const TrafficForm form = trafficForm(traffic(whole));
    out.put("<tr><th colspan=\"6\" class=\"a\">");
    putHtmlText(out, heading);
    out.put("</th></tr>\n");
    for (const auto& row : totalsFigures) {
        out.put("<tr>");
        for (const TotalsFigure& figure : row) {
            out.put("<td class=\"a\">");
            out.put(figure.label);
            out.put("</td>");
            putFigureCell(out, figure.value, figure.of(t), form, "");
        }
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
    out.put("<h2>Totals</h2>\n<div class=\"w r tb\"><table><tbody>\n");
}

}  // namespace rv
