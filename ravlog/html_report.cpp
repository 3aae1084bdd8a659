#include "ravlog/html_report.h"

#include <algorithm>
#include <ctime>
#include <iterator>
#include <string>

#include "core/history_formats.h"
#include "core/html_page.h"
#include "core/time_text.h"
#include "ravlog/chart_text.h"
#include "stats/chart_svg.h"
#include "stats/link_rows_html.h"

namespace rv::ravlog {

namespace {

// The class of a chart's bars and of its legend key, by ChartKind.
constexpr std::string_view kindClass[] = {"b", "i", "o", "p", "u"};

std::string_view classOf(ChartKind kind) {
    return kindClass[static_cast<std::size_t>(kind)];
}

void putPeriod(OutBuffer& out, const PeriodView& period) {
    const PeriodBounds bounds = periodBounds(period);
    out.put("<p>Period: ");
    putHtmlDateTime(out, bounds.start);
    out.put(" \xE2\x80\x93 ");
    putHtmlDateTime(out, bounds.end);
    out.put("</p>\n");
}

// The key of each kind of chart the page draws, in ChartKind order; none
// without a chart.
void putLegend(OutBuffer& out, const std::vector<ChartBlock>& charts) {
    constexpr std::string_view keys[] = {
        "<span class=\"e\"><span class=\"k\"></span>Busy</span>",
        "<span class=\"e\"><span class=\"k i\"></span>Incoming</span>",
        "<span class=\"e\"><span class=\"k o\"></span>Outgoing (striped)</span>",
        "<span class=\"e\"><span class=\"k p\"></span>Protected</span>",
        "<span class=\"e\"><span class=\"k u\"></span>UnProtected (striped)</span>"};
    bool drawn[std::size(keys)] = {};
    for (const ChartBlock& block : charts)
        drawn[static_cast<std::size_t>(block.kind)] = true;
    if (std::find(std::begin(drawn), std::end(drawn), true) == std::end(drawn)) return;
    out.put("<p class=\"m\">Bars: share of each slot in use.");
    for (std::size_t kind = 0; kind < std::size(keys); ++kind)
        if (drawn[kind]) out.put(keys[kind]);
    out.put("</p>\n");
}

void putLineTotals(OutBuffer& out, const LineTotals& t) {
    out.put(
        "<div class=\"w r\"><table><thead><tr><th>Sessions</th><th>In</th><th>Out</th>"
        "<th>Time online</th><th>Time in</th><th>Time out</th><th>Rcvd</th><th>Sent</th>"
        "<th>CPS</th></tr></thead>\n<tbody><tr>");
    putCountCell(out, footerSessions(t), "Sessions");
    putCountCell(out, t.sessionsIn, "Sessions in");
    putCountCell(out, t.sessionsOut, "Sessions out");
    putDurationCell(out, t.timeOnline, "Time online");
    putDurationCell(out, t.timeIn, "Time in");
    putDurationCell(out, t.timeOut, "Time out");
    putTrafficCell(out, t.bytesReceived, "bytes", trafficForm(t.bytesReceived), "Received");
    putTrafficCell(out, t.bytesSent, "bytes", trafficForm(t.bytesSent), "Sent");
    putTrafficCell(out, cps(t), "bytes per second", trafficForm(cps(t)), "CPS");
    out.put("</tr></tbody></table></div>\n");
}

// Plot units: a slot is svgSlotWidth wide, a percent one unit high.
void putBarChart(OutBuffer& out, const ChartBlock& block, const ChartAxis& axis) {
    out.put("<figure><figcaption>");
    out.put(chartKindName(block.kind));
    out.put("<span class=\"k ");
    out.put(classOf(block.kind));
    out.put("\"></span><span class=\"m\">");
    // The share the text prints under the chart.
    const PercentText share = formatPercent(block.time, block.whole);
    if (block.kind == ChartKind::busy) out.put("Usage ");
    out.put(bareCell(share.view()));
    if (block.kind != ChartKind::busy) out.put(" of the time online");
    out.put("</span></figcaption>\n");
    const std::string name = std::string(chartKindName(block.kind)) + " per slot, percent";
    putPlotStart(out, {"100%", "50%", "0%"}, svgAxisWidth, "c", name);
    putValueGrid(out, svgAxisWidth, 2);
    putHourGrid(out, axis, 0, 100);
    out.put("\n<g class=\"");
    out.put(classOf(block.kind));
    out.put("\">");
    for (int slot = 0; slot < chartSlots; ++slot) {
        const std::uint64_t seconds = block.values[static_cast<std::size_t>(slot)];
        const std::uint64_t percent =
            slotPercent(seconds, slotLength(*axis.layout, static_cast<std::uint64_t>(slot)));
        // A BinkD line's channels can add up to more than the slot.
        const std::uint64_t height = std::min<std::uint64_t>(percent, 100);
        out.put("<path d=\"M");
        out.putUnsigned(static_cast<unsigned>(slot * svgSlotWidth + svgSlotWidth / 2), 0);
        out.put(" 100");
        // An empty slot's bar is its place alone: a line of no length would
        // still show its stripes' caps.
        if (height > 0) {
            out.put('V');
            out.putUnsigned(100 - height, 0);
        }
        out.put("\"><title>");
        putSlotSpan(out, axis, slot);
        out.put(' ');
        out.putUnsigned(percent, 0);
        out.put("% (");
        out.putUnsigned(seconds, 0);
        out.put(" s)</title></path>");
        if (slot % 8 == 7) out.put('\n');
    }
    out.put("</g>");
    std::vector<AxisMark> marks;
    for (const HourLabel& label : hourLabels(axis))
        marks.push_back({static_cast<double>(label.x) / svgAxisWidth, std::to_string(label.hour)});
    putPlotEnd(out, marks);
    out.put("</figure>\n");
    out.maybeFlush();
}

void putLine(OutBuffer& out, const Report& report, std::size_t i, const ChartAxis& axis) {
    const Line& line = *report.lines[i].line;
    const LineResult& result = *report.lines[i].result;
    out.put("<section>\n<h2>");
    if (line.hasName) {
        putHtmlText(out, line.name);
    } else {
        out.put("Line ");
        out.putUnsigned(i + 1, 0);
    }
    out.put("</h2>\n<p class=\"m\">History ");
    putHtmlText(out, result.history);
    out.put(", ");
    // The mailer's name where the format is known as one.
    const std::string_view mailer = formatOf(result.type).mailer;
    if (!mailer.empty()) {
        out.put(mailer);
        out.put(" (type ");
    } else {
        out.put("type ");
    }
    out.putUnsigned(number(result.type), 0);
    if (!mailer.empty()) out.put(')');
    out.put("</p>\n");
    if (!result.opened) {
        out.put("<p>Not read: the history could not be opened.</p>\n</section>\n");
        return;
    }
    putLineTotals(out, result.totals);
    out.put("<div class=\"cs\">\n");
    for (const ChartBlock& block : report.charts)
        if (block.line == i) putBarChart(out, block, axis);
    out.put("</div>\n</section>\n");
}

}  // namespace

void writeHtmlReport(std::FILE* file, const Report& report) {
    OutBuffer out(file);
    const ChartAxis axis{report.layout, report.period.window.startHour};
    putHtmlStart(out, "Sessions History");
    out.put("<h1>Sessions History</h1>\n");
    putPeriod(out, report.period);
    putLegend(out, report.charts);
    for (std::size_t i = 0; i < report.lines.size(); ++i)
        putLine(out, report, i, axis);
    putLinkTablesHtml(out, report.tables, LinkTableHtml{15, report.protectedMarks, &axis});
    const TrafficCounters& all = report.totals.all;
    putTotalsRowsHtml(out, "All lines", all, all);
    if (report.totals.showsProtection) {
        putTotalsRowsHtml(out, "Protected", report.totals.protectedOnly, all);
        putTotalsRowsHtml(out, "UnProtected", report.totals.unprotected, all);
    }
    endTotalsHtml(out);
    putHtmlEnd(out, creationTimeText(std::time(nullptr)));
}

}  // namespace rv::ravlog
