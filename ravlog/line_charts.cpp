#include "ravlog/line_charts.h"

#include <string>
#include <string_view>

#include "core/busy_mask.h"
#include "core/format.h"
#include "core/history_formats.h"
#include "ravlog/chart_text.h"

namespace rv::ravlog {

namespace {

using ull = unsigned long long;

constexpr const char* rule12 = "────────────";
constexpr const char* rule13 = "─────────────";
constexpr const char* blank15 = "               ";
constexpr const char* blank46 = "                                              ";

// A difference of counters that cannot go below zero.
ull minus(std::uint64_t a, std::uint64_t b) {
    return a > b ? a - b : 0;
}

// The figures beside a chart keep their columns over any period.
NumberText count(std::uint64_t value, std::size_t width) {
    return formatCount(value, width);
}
// A CPS past six digits in the traffic form, in MiB and up.
NumberText cpsText(std::uint64_t value) {
    const NumberText digits = formatUnsigned(value, 6);
    return digits.size <= 6 ? digits : formatTraffic(value, false);
}

void writeTitle(std::FILE* out, const Line& line, int lineNo, std::string_view kind) {
    const std::string kindName(kind);
    const std::size_t len = kindName.size();
    const std::size_t width = line.hasName  ? line.nameWidth + len + 13
                              : lineNo != 0 ? len + 19
                                            : len + 10;
    if (width <= 78) std::fprintf(out, "%*s", static_cast<int>((80 - width) / 2), "");
    if (line.hasName)
        std::fprintf(out, "%s - %s Histogram\n", line.name.c_str(), kindName.c_str());
    else if (lineNo != 0)
        std::fprintf(out, "Line %d - %s Histogram\n", lineNo, kindName.c_str());
    else
        std::fprintf(out, "%s Histogram\n", kindName.c_str());
}

struct Block {
    std::FILE* out;
    const Report& report;
    const LineResult& line;
    const ChartRows& r;
    const LineTotals& t;
    const ChartBlock& block;

    const char* row(int i) const { return r[static_cast<std::size_t>(i)].c_str(); }
    bool showsProtection() const {
        return line.type == HistoryType::long100 || t.protectedPart.sessions > 0;
    }

    // The hour labels, then the chart's share behind ending.
    void hourLabels(const char* ending) const {
        const PercentText share = formatPercent(block.time, block.whole);
        const char* value = share.c_str();
        const ChartLayout& layout = *report.layout;
        const unsigned end = writeHourLabels(out, layout, report.period.window.startHour);
        std::fprintf(out, "%.*s%2u%s%s\n\n", static_cast<int>(layout.labelGap.size()),
                     layout.labelGap.data(), end, ending, value);
    }
    void bottomRuler(const char* right) const {
        std::fprintf(out, "             0%%%.*s  %s\n",
                     static_cast<int>(report.layout->chartBottomRuler.size()),
                     report.layout->chartBottomRuler.data(), right);
    }
};

void writeBusyBlock(const Block& b) {
    const LineTotals& t = b.t;
    std::FILE* out = b.out;
    std::fprintf(out, "\n           100%%┬%s    Rcvd:  %s\n", blank46,
                 formatTraffic(t.bytesReceived, false).c_str());
    std::fprintf(out, "%s%s  Sent:  %s\n", blank15, b.row(0),
                 formatTraffic(t.bytesSent, false).c_str());
    std::fprintf(out, "   Sessions    %s  %s\n", b.row(1), rule13);
    std::fprintf(out, "%s%s  Average\n", blank15, b.row(2));
    std::fprintf(out, " Total: %s  %s  CPS:   %s\n", count(t.sessions, 5).c_str(), b.row(3),
                 cpsText(cps(t)).c_str());
    std::fprintf(out, " %s  %s  %s\n", rule12, b.row(4), rule13);
    std::fprintf(out, " In:    %s  %s  Time Online:\n", count(t.sessionsIn, 5).c_str(), b.row(5));
    std::fprintf(out, " Out:   %s  %s     %s\n", count(t.sessionsOut, 5).c_str(), b.row(6),
                 formatDuration(t.timeOnline, 10).c_str());
    std::fprintf(out, " %s  %s  %s\n", rule12, b.row(7), rule13);
    if (recordsEvents(b.line.type))
        std::fprintf(out, " External:%s  %s  In:%s\n", count(t.externalEvents, 3).c_str(), b.row(8),
                     formatDuration(t.timeIn, 10).c_str());
    else
        std::fprintf(out, " Aborted:%s  %s  In:%s\n",
                     count(minus(t.sessions, t.normalSessions), 4).c_str(), b.row(8),
                     formatDuration(t.timeIn, 10).c_str());
    if (recordsEvents(b.line.type))
        std::fprintf(out, " BBS:    %s  ", count(t.bbsEvents, 4).c_str());
    else if (b.showsProtection())
        std::fprintf(out, " Protect:%s  ", count(t.protectedPart.sessions, 4).c_str());
    else
        std::fputs(blank15, out);
    std::fprintf(out, "%s  Out:%s\n", b.row(9), formatDuration(t.timeOut, 9).c_str());
    b.bottomRuler(rule13);
    b.hourLabels("  Usage: ");
}

struct SideFigures {
    const char* name;       // "Incoming" / "Outgoing"
    const char* totalText;  // "Total In:" / "Total Out:"
    std::uint64_t sessions, time, protSessions, protTime, normal, cost;
};

void writeSideBlock(const Block& b, const SideFigures& f, bool incoming) {
    std::FILE* out = b.out;
    std::fprintf(out, "\n           100%%┬%s      %s\n", blank46, f.name);
    std::fprintf(out, "%s%s      Time\n", blank15, b.row(0));
    std::fprintf(out, "   %s    %s\n", f.name, b.row(1));
    std::fprintf(out, "   Sessions    %s  %s\n", b.row(2), f.totalText);
    std::fprintf(out, "%s%s     %s\n", blank15, b.row(3), formatDuration(f.time, 10).c_str());
    std::fprintf(out, " Total: %s  %s  %s\n", count(f.sessions, 5).c_str(), b.row(4), rule13);
    const bool costType = recordsCost(b.line.type);
    if (costType)
        std::fprintf(out, " %s  %s\n", rule12, b.row(5));
    else
        std::fprintf(out, " %s  %s  %s:\n", rule12, b.row(5), "Protected");
    if (b.showsProtection()) {
        std::fprintf(out, " Protect:%s  %s     %s\n", count(f.protSessions, 4).c_str(), b.row(6),
                     formatDuration(f.protTime, 10).c_str());
        std::fprintf(out, " UnProt:%s  %s  %s:\n",
                     count(minus(f.sessions, f.protSessions), 5).c_str(), b.row(7), "UnProtected");
        std::fprintf(out, " %s  %s     %s\n", rule12, b.row(8),
                     formatDuration(minus(f.time, f.protTime), 10).c_str());
    } else if (costType) {
        if (incoming)
            std::fprintf(out, " Protect: N/A  %s  Cost In:%s\n", b.row(6),
                         count(f.cost, 5).c_str());
        else
            std::fprintf(out, " Protect: N/A  %s  Cost Out:%s\n", b.row(6),
                         count(f.cost, 4).c_str());
        std::fprintf(out, " UnProt:  N/A  %s\n", b.row(7));
        std::fprintf(out, " %s  %s\n", rule12, b.row(8));
    } else {
        std::fprintf(out, " Protect: N/A  %s            N/A\n", b.row(6));
        std::fprintf(out, " UnProt:  N/A  %s  %s:\n", b.row(7), "UnProtected");
        std::fprintf(out, " %s  %s            N/A\n", rule12, b.row(8));
    }
    std::fprintf(out, " Aborted:%s  %s  %s\n", count(minus(f.sessions, f.normal), 4).c_str(),
                 b.row(9), rule13);
    b.bottomRuler("% of time");
    b.hourLabels("  online:");
}

// The Protected and UnProtected blocks differ only in their figures and
// in where the name stands.
struct ProtFigures {
    const char* headName;   // heading text after the 46 blanks
    const char* rcvdLine;   // the name line's start, up to the chart
    const char* totalName;  // after the chart on the Total line
    const TrafficCounters& part;
    std::uint64_t aborted;
};

void writeProtBlock(const Block& b, const ProtFigures& f) {
    std::FILE* out = b.out;
    const TrafficCounters& c = f.part;
    std::fprintf(out, "\n           100%%┬%s%s\n", blank46, f.headName);
    std::fprintf(out, "%s%s     Traffic\n", blank15, b.row(0));
    std::fprintf(out, "%s%s  Rcvd:  %s\n", f.rcvdLine, b.row(1),
                 formatTraffic(c.bytesReceived, false).c_str());
    std::fprintf(out, "   Sessions    %s  Sent:  %s\n", b.row(2),
                 formatTraffic(c.bytesSent, false).c_str());
    std::fprintf(out, "%s%s  %s\n", blank15, b.row(3), rule13);
    std::fprintf(out, " Total: %s  %s%s\n", count(c.sessions, 5).c_str(), b.row(4), f.totalName);
    std::fprintf(out, " %s  %s      Time\n", rule12, b.row(5));
    std::fprintf(out, " In:    %s  %s  Tot:%s\n", count(c.sessionsIn, 5).c_str(), b.row(6),
                 formatDuration(c.timeOnline, 9).c_str());
    std::fprintf(out, " Out:   %s  %s  In:%s\n", count(c.sessionsOut, 5).c_str(), b.row(7),
                 formatDuration(c.timeIn, 10).c_str());
    std::fprintf(out, " %s  %s  Out:%s\n", rule12, b.row(8), formatDuration(c.timeOut, 9).c_str());
    std::fprintf(out, " Aborted:%s  %s  %s\n", count(f.aborted, 4).c_str(), b.row(9), rule13);
    b.bottomRuler("% of time");
    b.hourLabels("  online:");
}

void writeBlock(const Block& b) {
    const LineTotals& t = b.t;
    switch (b.block.kind) {
        case ChartKind::busy:
            writeBusyBlock(b);
            return;
        case ChartKind::incoming:
            writeSideBlock(
                b,
                {"Incoming", "Total In:", t.sessionsIn, t.timeIn, t.protectedPart.sessionsIn,
                 t.protectedPart.timeIn, t.normalIn, t.costIn},
                true);
            return;
        case ChartKind::outgoing:
            writeSideBlock(
                b,
                {"Outgoing", "Total Out:", t.sessionsOut, t.timeOut, t.protectedPart.sessionsOut,
                 t.protectedPart.timeOut, t.normalOut, t.costOut},
                false);
            return;
        case ChartKind::protectedOnly:
            writeProtBlock(b,
                           {"      Protected", "   Protected   ", "    Protected", t.protectedPart,
                            minus(t.protectedPart.sessions, t.protectedNormal)});
            return;
        case ChartKind::unprotected: {
            const TrafficCounters part = without(t, t.protectedPart);
            writeProtBlock(b, {"     UnProtected", "  UnProtected  ", "   UnProtected", part,
                               minus(part.sessions, minus(t.normalSessions, t.protectedNormal))});
            return;
        }
    }
}

}  // namespace

void writeLineCharts(std::FILE* out, const Report& report) {
    for (const ChartBlock& block : report.charts) {
        const ReportLine& line = report.lines[block.line];
        writeTitle(out, *line.line, block.number, chartKindName(block.kind));
        const ChartRows rows = renderChart(block.values, *report.layout);
        writeBlock(Block{out, report, *line.result, rows, line.result->totals, block});
    }
}

}  // namespace rv::ravlog
