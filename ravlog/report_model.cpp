#include "ravlog/report_model.h"

#include "ravlog/run_state.h"

namespace rv {

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

LineFooter lineFooter(const LineTotals& t) {
    return {t.sessionsIn + t.sessionsOut,
            t.sessionsIn,
            t.sessionsOut,
            t.timeOnline,
            t.bytesReceived,
            t.bytesSent,
            cps(t)};
}

PeriodView periodView(const RavlogRun& run) {
    return {run.config.settings.timeWindow, run.period.windowStart, run.period.windowEnd};
}

namespace {

HistoryItem historyItem(const AddrEntry& e) {
    HistoryItem item;
    item.figures = linkRow(e);
    return item;
}

SummaryTotals protectedPart(const LineTotals& t) {
    SummaryTotals p;
    p.received = t.protBytesReceived;
    p.sent = t.protBytesSent;
    p.sessionsIn = t.protSessionsIn;
    p.sessionsOut = t.protSessionsOut;
    p.sessions = t.protSessions;
    p.timeIn = t.protTimeIn;
    p.timeOut = t.protTimeOut;
    p.timeOnline = t.protTime;
    return p;
}

// What is left of the totals without the protected part (never below 0).
SummaryTotals without(const SummaryTotals& all, const SummaryTotals& part) {
    const auto less = [](std::uint64_t a, std::uint64_t b) { return a > b ? a - b : 0; };
    SummaryTotals u;
    u.received = less(all.received, part.received);
    u.sent = less(all.sent, part.sent);
    u.sessionsIn = less(all.sessionsIn, part.sessionsIn);
    u.sessionsOut = less(all.sessionsOut, part.sessionsOut);
    u.sessions = less(all.sessions, part.sessions);
    u.timeIn = less(all.timeIn, part.timeIn);
    u.timeOut = less(all.timeOut, part.timeOut);
    u.timeOnline = less(all.timeOnline, part.timeOnline);
    return u;
}

TotalsBox totalsBox(const RavlogRun& run) {
    LineTotals sum;
    bool protectionTypes = true;
    for (const LineResult& line : run.lines) {
        addTotals(sum, line.totals);
        if (!recordsProtection(line.type)) protectionTypes = false;
    }
    TotalsBox box;
    box.all = summaryTotals(sum);
    box.showsProtection = run.config.settings.protectSummary && protectionTypes;
    if (box.showsProtection) {
        box.protectedOnly = protectedPart(sum);
        box.unprotected = without(box.all, box.protectedOnly);
    }
    return box;
}

}  // namespace

RavlogReport makeReport(const RavlogRun& run) {
    const Settings& s = run.config.settings;
    RavlogReport report;
    report.period = periodView(run);
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

}  // namespace rv
