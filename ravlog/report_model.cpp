#include "ravlog/report_model.h"

#include "core/history_formats.h"
#include "ravlog/run_state.h"

namespace rv::ravlog {

SessionRow sessionRow(const SessionRecord& r, const std::tm& shown, HistoryType type) {
    using namespace SessionFlags;
    SessionRow row;
    row.start = shown;
    row.direction = r.has(incoming)   ? SessionDirection::in
                    : r.has(outgoing) ? SessionDirection::out
                                      : SessionDirection::none;
    row.address = r.address;
    row.protectedMark = r.has(protectedSession) && recordsProtection(type);
    row.abortedMark = !r.has(normal) && recordsAborts(type);
    row.duration = r.duration;
    row.received = r.bytesReceived;
    row.sent = r.bytesSent;
    const std::uint64_t bytes = row.received + row.sent;
    row.cps = row.duration ? bytes / row.duration : bytes;
    return row;
}

PeriodView periodView(const Run& run) {
    return {run.config.settings.timeWindow, run.period.windowStart, run.period.windowEnd};
}

namespace {

HistoryItem historyItem(const AddrEntry& e) {
    HistoryItem item;
    item.figures = linkRow(e);
    return item;
}

TotalsBox totalsBox(const Run& run) {
    TotalsBox box;
    TrafficCounters protectedPart;
    bool protectionTypes = true;
    for (const LineResult& line : run.lines) {
        addCounters(box.all, line.totals);
        addCounters(protectedPart, line.totals.protectedPart);
        if (!recordsProtection(line.type)) protectionTypes = false;
    }
    box.showsProtection = run.config.settings.protectSummary && protectionTypes;
    if (box.showsProtection) {
        box.protectedOnly = protectedPart;
        box.unprotected = without(box.all, protectedPart);
    }
    return box;
}

}  // namespace

Report makeReport(const Run& run) {
    const Settings& s = run.config.settings;
    Report report;
    report.period = periodView(run);
    report.layout = run.layout;
    report.showValue = s.showValue;
    report.middLine = s.middLine;
    report.protectedMarks = run.hasProtectedSessions;
    report.openedLines = run.openedLines;
    report.lines.reserve(run.lines.size());
    for (std::size_t i = 0; i < run.lines.size(); ++i)
        report.lines.push_back({&run.config.lines[i], &run.lines[i]});
    report.tables = linkTables(*run.book, s.keepAll, s.group, s.brakeSesStatMask);
    report.linkHistory = run.printable.links > 0;
    bool linkSeen = false;
    for (const AddrEntry& e : run.book->entries()) {
        if (!isPrintable(e, s.keepAll)) continue;
        if (e.has(AddrFlags::group)) {
            if (report.tables.groupTable) report.groups.push_back(historyItem(e));
            // Separates the entries that follow a group from those before it.
            if (linkSeen && e.has(AddrFlags::matched)) {
                HistoryItem mark;
                mark.groupMark = true;
                report.links.push_back(mark);
            }
            continue;
        }
        linkSeen = true;
        report.links.push_back(historyItem(e));
    }
    report.charts = chartBlocks(run);
    report.totals = totalsBox(run);
    return report;
}

}  // namespace rv::ravlog
