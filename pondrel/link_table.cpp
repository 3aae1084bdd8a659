#include "pondrel/link_table.h"

#include <algorithm>
#include <string>

#include "core/format.h"
#include "core/out_buffer.h"
#include "core/program_text.h"
#include "core/time_text.h"
#include "stats/link_table_text.h"

namespace rv::pondrel {

namespace {

std::string periodText(const std::tm& tm) {
    char text[120];
    return std::string(text, std::strftime(text, sizeof text, "%H:%M:%S, %d %B %Y, %A", &tm));
}

void putHeading(OutBuffer& out, const DrawingSet& d, const char* title) {
    out.put(titleBox(d, 15, title));
    out.put("\n\n");
}

void putTable(OutBuffer& out, const std::vector<LinkRow>& rows, const DrawingSet& d) {
    const LinkTableStyle style = pondrelLinkTable(d);
    out.put(linkTableHeader(style));
    for (const LinkRow& row : rows) {
        putLinkRow(out, row, style, false);
        out.maybeFlush();
    }
    out.put(linkTableBottom(style));
    out.put('\n');
}

// "%s %s :  %s %s %s:%6llu %s %s:%5llu:%02llu:%02llu %s\n": one row of the totals box.
void putTotalsRow(OutBuffer& out, const DrawingSet& d, const char* trafficLabel,
                  std::uint64_t bytes, const char* sessionsLabel, std::uint64_t sessions,
                  const char* timeLabel, std::uint64_t seconds) {
    out.put(d.innerBar);
    out.put(trafficLabel);
    out.put(formatTraffic(bytes, false).view());
    out.put(' ');
    out.put(d.innerBar);
    out.put(sessionsLabel);
    out.put(formatCount(sessions, 6).view());
    out.put(' ');
    out.put(d.innerBar);
    out.put(timeLabel);
    out.put(formatDuration(seconds, 11).view());
    out.put(' ');
    out.put(d.innerBar);
    out.put('\n');
}

}  // namespace

void writeTextReport(std::FILE* file, const Report& report, const DrawingSet& d) {
    OutBuffer out(file);
    out.put('\n');
    putHeading(out, d, " Links Statistic ");
    const std::string from = periodText(report.from);
    const std::string to = periodText(report.to);
    const long pad = 37 - static_cast<long>(std::max(from.size(), to.size()) / 2);
    const std::string blanks(pad > 0 ? static_cast<std::size_t>(pad) : 0, ' ');
    out.put(blanks + "From: " + from + "\n" + blanks + "To  : " + to + "\n\n");

    putTable(out, report.tables.links, d);
    if (report.tables.groupTable) {
        putHeading(out, d, " Group Statistic ");
        putTable(out, report.tables.groups, d);
    }

    const TrafficCounters& sum = report.totals;
    out.put(d.boxTop);
    putTotalsRow(out, d, " Total Received :  ", sum.bytesReceived,
                 " Sessions In   :", sum.sessionsIn, " Time In     :", sum.timeIn);
    putTotalsRow(out, d, " Total Sent     :  ", sum.bytesSent, " Sessions Out  :", sum.sessionsOut,
                 " Time Out    :", sum.timeOut);
    putTotalsRow(out, d, " Total Traffic  :  ", traffic(sum), " Sessions Total:", sum.sessions,
                 " Time Online :", sum.timeOnline);
    // The box bottom ends its own line; the footer leaves an empty one below it.
    out.put(d.boxBottom);
    out.put("\nLinks Statistic created at ");
    out.put(creationTimeText(std::time(nullptr)));
    out.put('\n');
    out.put(creditLine);
    out.put('\n');
}

}  // namespace rv::pondrel
