#include "ravlog/sessions_report.h"

#include "core/drawing_set.h"
#include "core/format.h"
#include "core/history_formats.h"
#include "core/program_text.h"

namespace rv::ravlog {

using ull = unsigned long long;

void writeSessionsBanner(std::FILE* out) {
    std::fprintf(out, "\n%s\n\n               ",
                 titleBox(drawingSet(false), 14, "Sessions  Statistic").c_str());
}

void writeLineHeading(std::FILE* out, const Line& line, int lineNumber,
                      std::size_t configuredLines) {
    const std::size_t width = line.hasName ? line.nameWidth : configuredLines > 1 ? 6 : 0;
    if (width >= 1 && width <= 78) {
        for (std::size_t i = 0; i < (80 - width) / 2; ++i)
            std::fputc(' ', out);
    }
    if (line.hasName)
        std::fprintf(out, "%s\n\n", line.name.c_str());
    else if (configuredLines > 1)
        std::fprintf(out, "Line %d\n\n", lineNumber);
}

void writeTableHeader(std::FILE* out, HistoryType type) {
    std::fprintf(
        out,
        "╔════════════╤═════╤════════════════════╤══════════╤═════════════════╤════════╗\n"
        "║  Session   │ Dir │    Address     %s│   Time   │     Traffic     │   CPS  ║\n"
        "║   start    │     │                %s│  Online  │  Rcvd     Sent  │        ║\n"
        "╠════════════╪═════╪════════════════════╪══════════╪════════╤════════╪════════╣\n",
        recordsProtection(type) ? "Prot" : "    ", recordsAborts(type) ? "Abrt" : "    ");
}

void writeSessionRow(std::FILE* out, const SessionRow& row) {
    const char* dir = row.direction == SessionDirection::in    ? "In "
                      : row.direction == SessionDirection::out ? "Out"
                                                               : "   ";
    const Duration d = splitDuration(row.duration);
    std::fprintf(out, "║  %02d:%02d:%02d  │ %s │  %s %c%c│%3llu:%02llu:%02llu │ %s │ %s │ %s ║\n",
                 row.start.tm_hour, row.start.tm_min, row.start.tm_sec, dir,
                 formatAddress(row.address, 15).c_str(), row.protectedMark ? 'P' : ' ',
                 row.abortedMark ? 'A' : ' ', static_cast<ull>(d.hours),
                 static_cast<ull>(d.minutes), static_cast<ull>(d.seconds),
                 formatTraffic(row.received, false).c_str(), formatTraffic(row.sent, false).c_str(),
                 formatTraffic(row.cps, false).c_str());
}

void writeTableFooter(std::FILE* out, const LineTotals& t) {
    const std::uint64_t lineCps = cps(t);
    // A CPS past seven digits takes the traffic form, in MiB and up.
    const NumberText cpsDigits = formatUnsigned(lineCps, 7);
    const TrafficText cpsTraffic = formatTraffic(lineCps, false);
    const bool digitsFit = cpsDigits.size <= 7;
    std::fprintf(out,
                 "╟────────────┴─────┴────────────────────┼──────────┼────────┼────────┼────────╢\n"
                 "║   Total:%s    In:%s    Out:%s   │%s │ %s │ %s │%s%s ║\n"
                 "╚═══════════════════════════════════════╧══════════╧════════╧════════╧════════╝\n"
                 "\n\n",
                 formatCount(footerSessions(t), 4).c_str(), formatCount(t.sessionsIn, 4).c_str(),
                 formatCount(t.sessionsOut, 4).c_str(), formatDuration(t.timeOnline, 9).c_str(),
                 formatTraffic(t.bytesReceived, false).c_str(),
                 formatTraffic(t.bytesSent, false).c_str(), digitsFit ? "" : " ",
                 digitsFit ? cpsDigits.c_str() : cpsTraffic.c_str());
}

void writeSessionsFooter(std::FILE* out, const std::string& createdAt) {
    std::fprintf(out, "Sessions Statistic created at %s\n%.*s\n", createdAt.c_str(),
                 static_cast<int>(creditLine.size()), creditLine.data());
}

}  // namespace rv::ravlog
