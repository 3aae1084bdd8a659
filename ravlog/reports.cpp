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

constexpr const char* blank15 = "               ";

void putMiddleLine(OutBuffer& out, const ChartLayout& layout) {
    out.put(layout.middleLine);
    out.put('\n');
}

void putLabel(OutBuffer& out, const HistoryItem& item) {
    const std::string_view label = item.figures.label;
    out.put(label.empty() ? std::string_view(blank15) : label);
}

// The two files the writers fill.
struct Files {
    std::FILE* links;
    std::FILE* history;
};

void writeHeadings(const Files& files, const Report& report) {
    const DrawingSet& d = drawingSet(false);
    std::FILE* links = files.links;
    std::FILE* history = files.history;
    std::fprintf(links, "\n%s\n\n               ", titleBox(d, 15, " Links Statistic ").c_str());
    writePeriodHeader(links, report.period);
    std::fputs(linkTableHeader(ravlogLinkTable(), report.protectedMarks).c_str(), links);
    const int lines = report.openedLines;
    const std::string title = lines > 1 ? format("Summary Sessions History for %d lines", lines)
                                        : std::string("Sessions  History");
    std::fprintf(history, "\n%s\n\n               ",
                 titleBox(d, lines > 1 ? 6 : 15, title).c_str());
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

void writeLinkHistory(std::FILE* history, const Report& report) {
    const ChartLayout& layout = *report.layout;
    const unsigned startHour = report.period.window.startHour;
    writeHistoryHeader(history, layout, startHour, report.showValue);
    {
        OutBuffer out(history);
        std::size_t rowsLeft = 0;
        for (const HistoryItem& item : report.links)
            rowsLeft += item.groupMark ? 0 : 1;
        for (const HistoryItem& item : report.links) {
            if (item.groupMark) {
                if (report.middLine == MiddLineMode::group) {
                    out.put(blank15);
                    putMiddleLine(out, layout);
                }
                continue;
            }
            --rowsLeft;
            putHistoryRow(out, item, report.showValue);
            if (report.middLine == MiddLineMode::yes) {
                putLabel(out, item);
                if (rowsLeft > 0) putMiddleLine(out, layout);
            }
            out.maybeFlush();
        }
        if (report.middLine != MiddLineMode::yes) out.put(blank15);
    }
    writeHistoryFooter(history, layout, startHour);
}

void writeGroupSection(const Files& files, const Report& report) {
    std::FILE* links = files.links;
    std::FILE* history = files.history;
    const ChartLayout& layout = *report.layout;
    const unsigned startHour = report.period.window.startHour;
    const LinkTableStyle style = ravlogLinkTable();
    std::fprintf(links, "%s\n%s\n\n", linkTableBottom(style),
                 titleBox(drawingSet(false), 15, " Group Statistic ").c_str());
    std::fputs(linkTableHeader(style).c_str(), links);
    writeTableRows(links, report.tables.groups, true);
    std::fputs("                                 Groups History\n\n", history);
    writeHistoryHeader(history, layout, startHour, report.showValue);
    {
        OutBuffer out(history);
        std::size_t rowsLeft = report.groups.size();
        for (const HistoryItem& item : report.groups) {
            --rowsLeft;
            putHistoryRow(out, item, report.showValue);
            if (report.middLine != MiddLineMode::no) {
                putLabel(out, item);
                if (rowsLeft > 0) putMiddleLine(out, layout);
            }
            out.maybeFlush();
        }
        if (report.middLine == MiddLineMode::no) out.put(blank15);
    }
    writeHistoryFooter(history, layout, startHour);
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

void writeLinkAndHistoryReports(std::FILE* links, std::FILE* history, const Report& report) {
    const Files files{links, history};
    writeHeadings(files, report);
    writeTableRows(links, report.tables.links, false);
    if (report.linkHistory) writeLinkHistory(history, report);
    if (report.tables.groupTable) writeGroupSection(files, report);
    writeLineCharts(history, report);
    const std::string createdAt = creationTimeText(std::time(nullptr));
    writeTotalsBox(history, report.totals, createdAt);
    std::fprintf(links, "%s\nLinks Statistic created at %s\n%.*s\n",
                 linkTableBottom(ravlogLinkTable()), createdAt.c_str(),
                 static_cast<int>(creditLine.size()), creditLine.data());
}

}  // namespace rv::ravlog
