#include "ravlog/reports.h"

#include <ctime>

#include "core/format.h"
#include "core/program_text.h"
#include "core/time_text.h"
#include "ravlog/chart_text.h"
#include "ravlog/line_charts.h"
#include "ravlog/link_rows.h"
#include "ravlog/report_period.h"

namespace rv {

namespace {

using ull = unsigned long long;

constexpr const char* boxTop = "┌───────────────────────────────────────────────";
constexpr const char* boxLeft = "│ ░░░▒▒▒▓▓▓███  ";
constexpr const char* boxRight = "  ███▓▓▓▒▒▒░░░ │\n";
constexpr const char* boxBottom = "└───────────────────────────────────────────────";
constexpr const char* tableBottom =
    "╚═════════════════╩═══╧═════════╩═══╧═════════╩═════════╩══════╩══════╩═══════╝";
constexpr const char* blank15 = "               ";

void writeMiddleLine(std::FILE* out, const ChartLayout& layout) {
    std::fprintf(out, "%s%.*s\n", blank15, static_cast<int>(layout.middleLine.size()),
                 layout.middleLine.data());
}

void writeLabel(std::FILE* out, const AddrEntry& entry) {
    std::fputs(entry.displayName.empty() ? blank15 : entry.displayName.c_str(), out);
}

void writeHeadings(RavlogRun& run, const PeriodView& period) {
    std::FILE* links = run.linksFile.get();
    std::FILE* history = run.historyFile.get();
    std::fprintf(links,
                 "\n               %s┐\n               %s Links Statistic %s               %s┘\n\n "
                 "              ",
                 boxTop, boxLeft, boxRight, boxBottom);
    writePeriodHeader(links, period);
    writeLinkTableHeader(links, run.hasProtectedSessions);
    if (run.openedLines > 1) {
        const char* x = run.openedLines > 9 ? "─" : "";
        std::fprintf(history,
                     "\n      %s───────────────────%s┐\n      %sSummary Sessions History for %d "
                     "lines%s      "
                     "%s───────────────────%s┘",
                     boxTop, x, boxLeft, run.openedLines, boxRight, boxBottom, x);
    } else {
        std::fprintf(history,
                     "\n               %s┐\n               %sSessions  History%s               %s┘",
                     boxTop, boxLeft, boxRight, boxBottom);
    }
    std::fputs("\n\n               ", history);
    writePeriodHeader(history, period);
}

void writeLinkSection(RavlogRun& run) {
    const Settings& s = run.config.settings;
    std::FILE* links = run.linksFile.get();
    std::FILE* history = run.historyFile.get();
    const unsigned startHour = s.timeWindow.startHour;
    writeHistoryHeader(history, *run.layout, startHour, s.showValue);
    std::size_t linksLeft = run.printable.links;
    bool linkHandled = false;
    for (const AddrEntry& entry : run.book->entries()) {
        if (!isPrintable(entry, s.keepAll)) continue;
        if (entry.has(AddrFlags::group)) {
            // Separates the entries that follow a group from those before it.
            if (linkHandled && s.middLine == MiddLineMode::group && entry.has(AddrFlags::matched))
                writeMiddleLine(history, *run.layout);
            continue;
        }
        linkHandled = true;
        --linksLeft;
        const std::uint16_t kinds = entry.flags & AddrFlags::kindMask;
        if (kinds == 0 || (kinds & s.brakeSesStatMask) != 0) writeLinkTableRow(links, entry, false);
        writeHistoryRow(history, entry, s.showValue);
        if (s.middLine == MiddLineMode::yes) {
            writeLabel(history, entry);
            if (linksLeft > 0)
                std::fprintf(history, "%.*s\n", static_cast<int>(run.layout->middleLine.size()),
                             run.layout->middleLine.data());
        }
    }
    if (s.middLine != MiddLineMode::yes) std::fputs(blank15, history);
    writeHistoryFooter(history, *run.layout, startHour);
}

void writeGroupSection(RavlogRun& run) {
    const Settings& s = run.config.settings;
    std::FILE* links = run.linksFile.get();
    std::FILE* history = run.historyFile.get();
    const unsigned startHour = s.timeWindow.startHour;
    std::fprintf(
        links,
        "%s\n\n               %s┐\n               %s Group Statistic %s               %s┘\n\n",
        tableBottom, boxTop, boxLeft, boxRight, boxBottom);
    writeLinkTableHeader(links, false);
    std::fputs("                                 Groups History\n\n", history);
    writeHistoryHeader(history, *run.layout, startHour, s.showValue);
    std::size_t groupsLeft = run.printable.groups;
    for (const AddrEntry& entry : run.book->entries()) {
        if (!entry.has(AddrFlags::group) || !isPrintable(entry, s.keepAll)) continue;
        --groupsLeft;
        writeLinkTableRow(links, entry, true);
        writeHistoryRow(history, entry, s.showValue);
        if (s.middLine != MiddLineMode::no) {
            writeLabel(history, entry);
            if (groupsLeft > 0)
                std::fprintf(history, "%.*s\n", static_cast<int>(run.layout->middleLine.size()),
                             run.layout->middleLine.data());
        }
    }
    if (s.middLine == MiddLineMode::no) std::fputs(blank15, history);
    writeHistoryFooter(history, *run.layout, startHour);
}

struct Hms {
    ull h, m, s;
};
Hms hms(std::uint64_t seconds) {
    const Duration d = splitDuration(seconds);
    return {d.hours, d.minutes, d.seconds};
}

void writeTotalsRows(std::FILE* out, const char* const labels[3], std::uint64_t rcvd,
                     std::uint64_t sent, std::uint64_t in, std::uint64_t outCount,
                     std::uint64_t all, std::uint64_t timeIn, std::uint64_t timeOut,
                     std::uint64_t timeAll) {
    const std::uint64_t bytes[3] = {rcvd, sent, rcvd + sent};
    const std::uint64_t counts[3] = {in, outCount, all};
    const std::uint64_t times[3] = {timeIn, timeOut, timeAll};
    for (int i = 0; i < 3; ++i) {
        const Hms t = hms(times[i]);
        std::fprintf(out, labels[i], formatTraffic(bytes[i], false).c_str(),
                     static_cast<ull>(counts[i]), t.h, t.m, t.s);
    }
}

void writeTotalsBox(RavlogRun& run, const std::string& createdAt) {
    std::FILE* out = run.historyFile.get();
    LineTotals sum;
    bool protectionTypes = true;
    for (std::size_t i = 0; i < run.lines.size(); ++i) {
        addTotals(sum, run.lines[i].totals);
        if (!recordsProtection(run.lines[i].type)) protectionTypes = false;
    }
    static const char* const totalLabels[3] = {
        "│ Total Received :  %s │ Total Ses In  :%6llu │ Time In      :%4llu:%02llu:%02llu │\n",
        "│ Total Sent     :  %s │ Total Ses Out :%6llu │ Time Out     :%4llu:%02llu:%02llu │\n",
        "│ Total Traffic  :  %s │ Total Sessions:%6llu │ Time Online  :%4llu:%02llu:%02llu │\n"};
    static const char* const protLabels[3] = {
        "│ Protected Rcvd :  %s │ Prot Ses In   :%6llu │ Protected In :%4llu:%02llu:%02llu │\n",
        "│ Protected Sent :  %s │ Prot Ses Out  :%6llu │ Protected Out:%4llu:%02llu:%02llu │\n",
        "│ Protected Total:  %s │ Prot Ses Total:%6llu │ Protected Tot:%4llu:%02llu:%02llu │\n"};
    static const char* const unprotLabels[3] = {
        "│ UnProt Received:  %s │ UnProt Ses In :%6llu │ UnProt In    :%4llu:%02llu:%02llu │\n",
        "│ UnProt Sent    :  %s │ UnProt Ses Out:%6llu │ UnProt Out   :%4llu:%02llu:%02llu │\n",
        "│ UnProt Total   :  %s │ UnProt Ses Tot:%6llu │ UnProt Total :%4llu:%02llu:%02llu │\n"};
    constexpr const char* separator =
        "├──────────────────────────┼───────────────────────┼──────────────────────────┤\n";
    std::fputs("┌──────────────────────────┬───────────────────────┬──────────────────────────┐\n",
               out);
    writeTotalsRows(out, totalLabels, sum.bytesReceived, sum.bytesSent, sum.sessionsIn,
                    sum.sessionsOut, sum.sessions, sum.timeIn, sum.timeOut, sum.timeOnline);
    if (run.config.settings.protectSummary && protectionTypes) {
        std::fputs(separator, out);
        writeTotalsRows(out, protLabels, sum.protBytesReceived, sum.protBytesSent,
                        sum.protSessionsIn, sum.protSessionsOut, sum.protSessions, sum.protTimeIn,
                        sum.protTimeOut, sum.protTime);
        std::fputs(separator, out);
        auto less = [](std::uint64_t a, std::uint64_t b) { return a > b ? a - b : 0; };
        writeTotalsRows(out, unprotLabels, less(sum.bytesReceived, sum.protBytesReceived),
                        less(sum.bytesSent, sum.protBytesSent),
                        less(sum.sessionsIn, sum.protSessionsIn),
                        less(sum.sessionsOut, sum.protSessionsOut),
                        less(sum.sessions, sum.protSessions), less(sum.timeIn, sum.protTimeIn),
                        less(sum.timeOut, sum.protTimeOut), less(sum.timeOnline, sum.protTime));
    }
    std::fprintf(out,
                 "└──────────────────────────┴───────────────────────┴──────────────────────────┘\n"
                 "\nSessions "
                 "History created at %s\n%.*s\n",
                 createdAt.c_str(), static_cast<int>(creditLine.size()), creditLine.data());
}

}  // namespace

void writeLinkAndHistoryReports(RavlogRun& run) {
    const Settings& s = run.config.settings;
    const PeriodView period{s.timeWindow, run.period.windowStart, run.period.windowEnd};
    writeHeadings(run, period);
    if (run.printable.links > 0) writeLinkSection(run);
    if (run.printable.groups > 0 && s.group) writeGroupSection(run);
    writeLineCharts(run.historyFile.get(), run);
    const std::string createdAt = creationTimeText(std::time(nullptr));
    writeTotalsBox(run, createdAt);
    std::fprintf(run.linksFile.get(), "%s\n\nLinks Statistic created at %s\n%.*s\n", tableBottom,
                 createdAt.c_str(), static_cast<int>(creditLine.size()), creditLine.data());
}

}  // namespace rv
