#include "ravlog/line_charts.h"

#include <string>
#include <string_view>

#include "core/busy_mask.h"
#include "core/format.h"
#include "ravlog/chart_text.h"

namespace rv {

namespace {

using ull = unsigned long long;

constexpr const char* rule12 = "────────────";
constexpr const char* rule13 = "─────────────";
constexpr const char* blank15 = "               ";
constexpr const char* blank46 = "                                              ";

ull u(std::uint64_t v) {
    return static_cast<ull>(v);
}
// A difference of counters that cannot go below zero.
ull minus(std::uint64_t a, std::uint64_t b) {
    return a > b ? a - b : 0;
}

struct Hms {
    ull h, m, s;
};
Hms hms(std::uint64_t seconds) {
    const Duration d = splitDuration(seconds);
    return {d.hours, d.minutes, d.seconds};
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
    const RavlogRun& run;
    const LineResult& line;
    const ChartRows& r;
    const LineTotals& t;
    const ChartBlock& block;

    const char* row(int i) const { return r[static_cast<std::size_t>(i)].c_str(); }
    bool showsProtection() const {
        return line.type == HistoryTypes::long100 || t.protSessions > 0;
    }

    // The hour labels, then the chart's share behind ending.
    void hourLabels(const char* ending) const {
        const PercentText share = formatPercent(block.time, block.whole);
        const char* value = share.c_str();
        const unsigned end =
            writeHourLabels(out, *run.layout, run.config.settings.timeWindow.startHour);
        std::fprintf(out, "%.*s%2u%s%s\n\n", static_cast<int>(run.layout->labelGap.size()),
                     run.layout->labelGap.data(), end, ending, value);
    }
    void bottomRuler(const char* right) const {
        std::fprintf(out, "             0%%%.*s  %s\n",
                     static_cast<int>(run.layout->chartBottomRuler.size()),
                     run.layout->chartBottomRuler.data(), right);
    }
};

void writeBusyBlock(const Block& b) {
    const LineTotals& t = b.t;
    std::FILE* out = b.out;
    const Hms online = hms(t.timeOnline), in = hms(t.timeIn), outT = hms(t.timeOut);
    std::fprintf(out, "\n           100%%┬%s    Rcvd:  %s\n", blank46,
                 formatTraffic(t.bytesReceived, false).c_str());
    std::fprintf(out, "%s%s  Sent:  %s\n", blank15, b.row(0),
                 formatTraffic(t.bytesSent, false).c_str());
    std::fprintf(out, "   Sessions    %s  %s\n", b.row(1), rule13);
    std::fprintf(out, "%s%s  Average\n", blank15, b.row(2));
    std::fprintf(out, " Total: %5llu  %s  CPS:   %6llu\n", u(t.sessions), b.row(3), u(cps(t)));
    std::fprintf(out, " %s  %s  %s\n", rule12, b.row(4), rule13);
    std::fprintf(out, " In:    %5llu  %s  Time Online:\n", u(t.sessionsIn), b.row(5));
    std::fprintf(out, " Out:   %5llu  %s     %4llu:%02llu:%02llu\n", u(t.sessionsOut), b.row(6),
                 online.h, online.m, online.s);
    std::fprintf(out, " %s  %s  %s\n", rule12, b.row(7), rule13);
    if (b.line.type == HistoryTypes::brake)
        std::fprintf(out, " External:%3llu  %s  In:%4llu:%02llu:%02llu\n", u(t.externalEvents),
                     b.row(8), in.h, in.m, in.s);
    else
        std::fprintf(out, " Aborted:%4llu  %s  In:%4llu:%02llu:%02llu\n",
                     minus(t.sessions, t.normalSessions), b.row(8), in.h, in.m, in.s);
    if (b.line.type == HistoryTypes::brake)
        std::fprintf(out, " BBS:    %4llu  ", u(t.bbsEvents));
    else if (b.showsProtection())
        std::fprintf(out, " Protect:%4llu  ", u(t.protSessions));
    else
        std::fputs(blank15, out);
    std::fprintf(out, "%s  Out:%3llu:%02llu:%02llu\n", b.row(9), outT.h, outT.m, outT.s);
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
    const Hms time = hms(f.time);
    std::fprintf(out, "\n           100%%┬%s      %s\n", blank46, f.name);
    std::fprintf(out, "%s%s      Time\n", blank15, b.row(0));
    std::fprintf(out, "   %s    %s\n", f.name, b.row(1));
    std::fprintf(out, "   Sessions    %s  %s\n", b.row(2), f.totalText);
    std::fprintf(out, "%s%s     %4llu:%02llu:%02llu\n", blank15, b.row(3), time.h, time.m, time.s);
    std::fprintf(out, " Total: %5llu  %s  %s\n", u(f.sessions), b.row(4), rule13);
    const bool costType = recordsCost(b.line.type);
    if (costType)
        std::fprintf(out, " %s  %s\n", rule12, b.row(5));
    else
        std::fprintf(out, " %s  %s  %s:\n", rule12, b.row(5), "Protected");
    if (b.showsProtection()) {
        const Hms prot = hms(f.protTime), unprot = hms(minus(f.time, f.protTime));
        std::fprintf(out, " Protect:%4llu  %s     %4llu:%02llu:%02llu\n", u(f.protSessions),
                     b.row(6), prot.h, prot.m, prot.s);
        std::fprintf(out, " UnProt:%5llu  %s  %s:\n", minus(f.sessions, f.protSessions), b.row(7),
                     "UnProtected");
        std::fprintf(out, " %s  %s     %4llu:%02llu:%02llu\n", rule12, b.row(8), unprot.h, unprot.m,
                     unprot.s);
    } else if (costType) {
        if (incoming)
            std::fprintf(out, " Protect: N/A  %s  Cost In:%5llu\n", b.row(6), u(f.cost));
        else
            std::fprintf(out, " Protect: N/A  %s  Cost Out:%4llu\n", b.row(6), u(f.cost));
        std::fprintf(out, " UnProt:  N/A  %s\n", b.row(7));
        std::fprintf(out, " %s  %s\n", rule12, b.row(8));
    } else {
        std::fprintf(out, " Protect: N/A  %s            N/A\n", b.row(6));
        std::fprintf(out, " UnProt:  N/A  %s  %s:\n", b.row(7), "UnProtected");
        std::fprintf(out, " %s  %s            N/A\n", rule12, b.row(8));
    }
    std::fprintf(out, " Aborted:%4llu  %s  %s\n", minus(f.sessions, f.normal), b.row(9), rule13);
    b.bottomRuler("% of time");
    b.hourLabels("  online:");
}

// The Protected and UnProtected blocks differ only in their figures and
// in where the name stands.
struct ProtFigures {
    const char* headName;   // heading text after the 46 blanks
    const char* rcvdLine;   // the name line's start, up to the chart
    const char* totalName;  // after the chart on the Total line
    std::uint64_t bytesReceived, bytesSent, sessions, sessionsIn, sessionsOut, time, timeIn,
        timeOut, aborted;
};

void writeProtBlock(const Block& b, const ProtFigures& f) {
    std::FILE* out = b.out;
    const Hms tot = hms(f.time), in = hms(f.timeIn), outT = hms(f.timeOut);
    std::fprintf(out, "\n           100%%┬%s%s\n", blank46, f.headName);
    std::fprintf(out, "%s%s     Traffic\n", blank15, b.row(0));
    std::fprintf(out, "%s%s  Rcvd:  %s\n", f.rcvdLine, b.row(1),
                 formatTraffic(f.bytesReceived, false).c_str());
    std::fprintf(out, "   Sessions    %s  Sent:  %s\n", b.row(2),
                 formatTraffic(f.bytesSent, false).c_str());
    std::fprintf(out, "%s%s  %s\n", blank15, b.row(3), rule13);
    std::fprintf(out, " Total: %5llu  %s%s\n", u(f.sessions), b.row(4), f.totalName);
    std::fprintf(out, " %s  %s      Time\n", rule12, b.row(5));
    std::fprintf(out, " In:    %5llu  %s  Tot:%3llu:%02llu:%02llu\n", u(f.sessionsIn), b.row(6),
                 tot.h, tot.m, tot.s);
    std::fprintf(out, " Out:   %5llu  %s  In:%4llu:%02llu:%02llu\n", u(f.sessionsOut), b.row(7),
                 in.h, in.m, in.s);
    std::fprintf(out, " %s  %s  Out:%3llu:%02llu:%02llu\n", rule12, b.row(8), outT.h, outT.m,
                 outT.s);
    std::fprintf(out, " Aborted:%4llu  %s  %s\n", u(f.aborted), b.row(9), rule13);
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
            writeSideBlock(b,
                           {"Incoming", "Total In:", t.sessionsIn, t.timeIn, t.protSessionsIn,
                            t.protTimeIn, t.normalIn, t.costIn},
                           true);
            return;
        case ChartKind::outgoing:
            writeSideBlock(b,
                           {"Outgoing", "Total Out:", t.sessionsOut, t.timeOut, t.protSessionsOut,
                            t.protTimeOut, t.normalOut, t.costOut},
                           false);
            return;
        case ChartKind::protectedOnly:
            writeProtBlock(
                b, {"      Protected", "   Protected   ", "    Protected", t.protBytesReceived,
                    t.protBytesSent, t.protSessions, t.protSessionsIn, t.protSessionsOut,
                    t.protTime, t.protTimeIn, t.protTimeOut, minus(t.protSessions, t.protNormal)});
            return;
        case ChartKind::unprotected:
            writeProtBlock(
                b,
                {"     UnProtected", "  UnProtected  ", "   UnProtected",
                 minus(t.bytesReceived, t.protBytesReceived), minus(t.bytesSent, t.protBytesSent),
                 minus(t.sessions, t.protSessions), minus(t.sessionsIn, t.protSessionsIn),
                 minus(t.sessionsOut, t.protSessionsOut), b.block.time,
                 minus(t.timeIn, t.protTimeIn), minus(t.timeOut, t.protTimeOut),
                 minus(minus(t.sessions, t.protSessions), minus(t.normalSessions, t.protNormal))});
            return;
    }
}

}  // namespace

void writeLineCharts(std::FILE* out, const RavlogRun& run, const std::vector<ChartBlock>& blocks) {
    for (const ChartBlock& block : blocks) {
        const LineResult& result = run.lines[block.line];
        writeTitle(out, run.config.lines[block.line], block.number, chartKindName(block.kind));
        const ChartRows rows = renderChart(block.values, run.layout->slotSeconds);
        writeBlock(Block{out, run, result, rows, result.totals, block});
    }
}

void writeLineCharts(std::FILE* out, const RavlogRun& run) {
    writeLineCharts(out, run, chartBlocks(run));
}

}  // namespace rv
