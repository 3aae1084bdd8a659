#include "ravlog/reports.h"

#include <ctime>
#include <string>

#include "core/drawing_set.h"
#include "core/format.h"
#include "core/out_buffer.h"
#include "core/program_text.h"
#include "core/time_text.h"
#include "ravlog/chart_text.h"
#include "ravlog/entry_rows.h"
#include "ravlog/line_charts.h"
#include "ravlog/report_period.h"
#include "stats/link_table_text.h"

namespace rv::ravlog {

namespace {

constexpr const char* tableBottom =
    "╚═════════════════╩═══╧═════════╩═══╧═════════╩═════════╩══════╩══════╩═══════╝";
constexpr const char* blank15 = "               ";

void putMiddleLine(OutBuffer& out, const ChartLayout& layout) {
    out.put(layout.middleLine);
    out.put('\n');
}

void putLabel(OutBuffer& out, const HistoryItem& item) {
    const std::string_view label = item.figures.label;
    out.put(label.empty() ? std::string_view(blank15) : label);
}

void writeHeadings(const Run& run, const Report& report) {
    const DrawingSet& d = drawingSet(false);
    std::FILE* links = run.linksFile.get();
    std::FILE* history = run.historyFile.get();
    std::fprintf(links, "\n%s\n\n               ", titleBox(d, 15, " Links Statistic ").c_str());
    writePeriodHeader(links, report.period);
    writeLinkTableHeader(links, run.hasProtectedSessions);
    const std::string title = run.openedLines > 1
                                  ? format("Summary Sessions History for %d lines", run.openedLines)
                                  : std::string("Sessions  History");
    std::fprintf(history, "\n%s\n\n               ",
                 titleBox(d, run.openedLines > 1 ? 6 : 15, title).c_str());
    writePeriodHeader(history, report.period);
}

void writeTableRows(std::FILE* file, const std::vector<LinkRow>& rows, bool asGroups) {
    OutBuffer out(file);
    const LinkTableStyle style = ravlogLinkTable();
    for (const LinkRow& row : rows) {
        putLinkRow(out, row, style, asGroups);
        out.maybeFlush();
    }
}

void writeLinkHistory(const Run& run, const Report& report) {
    const Settings& s = run.config.settings;
    std::FILE* history = run.historyFile.get();
    const unsigned startHour = s.timeWindow.startHour;
    writeHistoryHeader(history, *run.layout, startHour, s.showValue);
    {
        OutBuffer out(history);
        std::size_t rowsLeft = 0;
        for (const HistoryItem& item : report.links)
            rowsLeft += item.groupMark ? 0 : 1;
        for (const HistoryItem& item : report.links) {
            if (item.groupMark) {
                if (s.middLine == MiddLineMode::group) {
                    out.put(blank15);
                    putMiddleLine(out, *run.layout);
                }
                continue;
            }
            --rowsLeft;
            putHistoryRow(out, item, s.showValue);
            if (s.middLine == MiddLineMode::yes) {
                putLabel(out, item);
                if (rowsLeft > 0) putMiddleLine(out, *run.layout);
            }
            out.maybeFlush();
        }
        if (s.middLine != MiddLineMode::yes) out.put(blank15);
    }
    writeHistoryFooter(history, *run.layout, startHour);
}

void writeGroupSection(const Run& run, const Report& report) {
    const Settings& s = run.config.settings;
    std::FILE* links = run.linksFile.get();
    std::FILE* history = run.historyFile.get();
    const unsigned startHour = s.timeWindow.startHour;
    std::fprintf(links, "%s\n\n%s\n\n", tableBottom,
                 titleBox(drawingSet(false), 15, " Group Statistic ").c_str());
    writeLinkTableHeader(links, false);
    writeTableRows(links, report.tables.groups, true);
    std::fputs("                                 Groups History\n\n", history);
    writeHistoryHeader(history, *run.layout, startHour, s.showValue);
    {
        OutBuffer out(history);
        std::size_t rowsLeft = report.groups.size();
        for (const HistoryItem& item : report.groups) {
            --rowsLeft;
            putHistoryRow(out, item, s.showValue);
            if (s.middLine != MiddLineMode::no) {
                putLabel(out, item);
                if (rowsLeft > 0) putMiddleLine(out, *run.layout);
            }
            out.maybeFlush();
        }
        if (s.middLine == MiddLineMode::no) out.put(blank15);
    }
    writeHistoryFooter(history, *run.layout, startHour);
}

void writeTotalsRows(std::FILE* out, const char* const labels[3], const TrafficCounters& t) {
    const std::uint64_t bytes[3] = {t.bytesReceived, t.bytesSent, traffic(t)};
    const std::uint64_t counts[3] = {t.sessionsIn, t.sessionsOut, t.sessions};
    const std::uint64_t times[3] = {t.timeIn, t.timeOut, t.timeOnline};
    for (int i = 0; i < 3; ++i) {
        std::fprintf(out, labels[i], formatTraffic(bytes[i], false).c_str(),
                     formatCount(counts[i], 6).c_str(), formatDuration(times[i], 10).c_str());
    }
}

void writeTotalsBox(std::FILE* out, const TotalsBox& box, const std::string& createdAt) {
    static const char* const totalLabels[3] = {
        "│ Total Received :  %s │ Total Ses In  :%s │ Time In      :%s │\n",
        "│ Total Sent     :  %s │ Total Ses Out :%s │ Time Out     :%s │\n",
        "│ Total Traffic  :  %s │ Total Sessions:%s │ Time Online  :%s │\n"};
    static const char* const protLabels[3] = {
        "│ Protected Rcvd :  %s │ Prot Ses In   :%s │ Protected In :%s │\n",
        "│ Protected Sent :  %s │ Prot Ses Out  :%s │ Protected Out:%s │\n",
        "│ Protected Total:  %s │ Prot Ses Total:%s │ Protected Tot:%s │\n"};
    static const char* const unprotLabels[3] = {
        "│ UnProt Received:  %s │ UnProt Ses In :%s │ UnProt In    :%s │\n",
        "│ UnProt Sent    :  %s │ UnProt Ses Out:%s │ UnProt Out   :%s │\n",
        "│ UnProt Total   :  %s │ UnProt Ses Tot:%s │ UnProt Total :%s │\n"};
    constexpr const char* separator =
        "├──────────────────────────┼───────────────────────┼──────────────────────────┤\n";
    std::fputs("┌──────────────────────────┬───────────────────────┬──────────────────────────┐\n",
               out);
    writeTotalsRows(out, totalLabels, box.all);
    if (box.showsProtection) {
        std::fputs(separator, out);
        writeTotalsRows(out, protLabels, box.protectedOnly);
        std::fputs(separator, out);
        writeTotalsRows(out, unprotLabels, box.unprotected);
    }
    std::fprintf(out,
                 "└──────────────────────────┴───────────────────────┴──────────────────────────┘\n"
                 "\nSessions History created at %s\n%.*s\n",
                 createdAt.c_str(), static_cast<int>(creditLine.size()), creditLine.data());
}

}  // namespace

void writeLinkAndHistoryReports(Run& run, const Report& report) {
    writeHeadings(run, report);
    writeTableRows(run.linksFile.get(), report.tables.links, false);
    if (report.linkHistory) writeLinkHistory(run, report);
    if (report.tables.groupTable) writeGroupSection(run, report);
    writeLineCharts(run.historyFile.get(), run, report.charts);
    const std::string createdAt = creationTimeText(std::time(nullptr));
    writeTotalsBox(run.historyFile.get(), report.totals, createdAt);
    std::fprintf(run.linksFile.get(), "%s\n\nLinks Statistic created at %s\n%.*s\n", tableBottom,
                 createdAt.c_str(), static_cast<int>(creditLine.size()), creditLine.data());
}

}  // namespace rv::ravlog
