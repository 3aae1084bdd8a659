#include "pondrel/link_table.h"

#include <algorithm>
#include <string>

#include "core/format.h"
#include "core/program_text.h"
#include "core/time_text.h"

namespace rv::pondrel {

namespace {

using ull = unsigned long long;

const DrawingSet utf8Set{
    "║",
    "│",
    "┌───────────────────────────────────────────────┐",
    "└───────────────────────────────────────────────┘",
    "│ ░░░▒▒▒▓▓▓███  ",
    "  ███▓▓▓▒▒▒░░░ │\n",
    "╔═══════════════╦═════════════════════════════╦═════════╦═════════════╦═══════╗\n"
    "║               ║       Sessions / Time       ║  Time   ║   Traffic   ║       ║\n"
    "║    Address    ╠══════════════╦══════════════╣ online  ╠══════╦══════╣  CPS  ║\n"
    "║               ║   Incoming   ║   Outgoing   ║ In+Out  ║ Rcvd ║ Sent ║       ║\n"
    "╠═══════════════╬════╤═════════╬════╤═════════╬═════════╬══════╬══════╬═══════╣\n",
    "╚═══════════════╩════╧═════════╩════╧═════════╩═════════╩══════╩══════╩═══════╝\n",
    "┌──────────────────────────┬───────────────────────┬──────────────────────────┐\n",
    "└──────────────────────────┴───────────────────────┴──────────────────────────┘\n",
};

const DrawingSet asciiSet{
    "|",
    "|",
    "+-----------------------------------------------+",
    "+-----------------------------------------------+",
    "| ############  ",
    "  ############ |\n",
    "+=============================================================================+\n"
    "|               |       Sessions / Time       |  Time   |   Traffic   |       |\n"
    "|    Address    |=============================| online  |=============|  CPS  |\n"
    "|               |   Incoming   |   Outgoing   | In+Out  | Rcvd | Sent |       |\n"
    "|===============+==============+==============+=========+======+======+=======|\n",
    "+=============================================================================+\n",
    "+-----------------------------------------------------------------------------+\n",
    "+-----------------------------------------------------------------------------+\n",
};

void writeSessionCell(std::FILE* out, std::uint64_t count, std::uint64_t seconds,
                      const DrawingSet& d) {
    if (count == 0) {
        std::fprintf(out, "   -%s -:--:-- %s", d.innerBar, d.outerBar);
        return;
    }
    const Duration t = splitDuration(seconds);
    const ull h = t.hours, m = t.minutes, s = t.seconds;
    std::fprintf(out, "%4llu", static_cast<ull>(count));
    if (count <= 9999) {
        std::fputs(d.innerBar, out);
        if (h <= 99)
            std::fprintf(out, "%2llu:%02llu:%02llu %s", h, m, s, d.outerBar);
        else
            std::fprintf(out, "%llu:%02llu:%02llu%s", h, m, s, d.outerBar);
    } else if (h <= 9) {
        std::fprintf(out, "%2llu:%02llu:%02llu %s", h, m, s, d.outerBar);
    } else {
        std::fprintf(out, " %llu:%02llu:%02llu%s", h, m, s, d.outerBar);
    }
}

bool isLinkRow(const AddrEntry& e, bool keepAll, std::uint16_t brakeMask) {
    const std::uint16_t kinds = e.flags & AddrFlags::kindMask;
    if (e.has(AddrFlags::excluded) || e.has(AddrFlags::group)) return false;
    if (!e.has(AddrFlags::matched) && !(keepAll && kinds == 0)) return false;
    return kinds == 0 || (kinds & brakeMask) != 0;
}

bool isGroupRow(const AddrEntry& e, bool keepAll) {
    return !e.has(AddrFlags::excluded) && e.has(AddrFlags::group) &&
           (e.has(AddrFlags::matched) || keepAll);
}

std::string periodText(std::time_t t) {
    std::tm tm = localBreakdown(t);
    char text[120];
    return std::string(text, std::strftime(text, sizeof text, "%H:%M:%S, %d %B %Y, %A", &tm));
}

void writeHeading(std::FILE* out, const DrawingSet& d, const char* title) {
    std::fprintf(out, "               %s\n               %s %s %s               %s\n\n",
                 d.headingTop, d.headingLeft, title, d.headingRight, d.headingBottom);
}

}  // namespace

const DrawingSet& drawingSet(bool ascii) {
    return ascii ? asciiSet : utf8Set;
}

void writeEntryRow(std::FILE* out, const AddrEntry& e, const DrawingSet& d) {
    std::fprintf(out, "%s %s%s", d.outerBar, formatAddress(e.pattern, 14).c_str(), d.outerBar);
    writeSessionCell(out, e.sessionsIn, e.timeIn, d);
    writeSessionCell(out, e.sessionsOut, e.timeOut, d);
    const Duration t = splitDuration(e.timeOnline);
    const ull h = t.hours, m = t.minutes, s = t.seconds;
    if (h <= 99)
        std::fprintf(out, "%2llu:%02llu:%02llu %s", h, m, s, d.outerBar);
    else if (h <= 999)
        std::fprintf(out, "%3llu:%02llu:%02llu%s", h, m, s, d.outerBar);
    else
        std::fprintf(out, "%llu:%02llu:%02llu", h, m, s);
    std::fprintf(out, "%s%s%s%s", formatTraffic(e.bytesReceived, false).c_str(), d.outerBar,
                 formatTraffic(e.bytesSent, false).c_str(), d.outerBar);
    std::fprintf(out, " %s%s\n", formatTraffic(entryCps(e), false).c_str(), d.outerBar);
}

void writeReport(std::FILE* out, const Run& run) {
    const DrawingSet& d = drawingSet(run.options.ascii);
    const Settings& s = run.config.settings;
    std::fputs("\n", out);
    writeHeading(out, d, "Links Statistic");
    const std::string from = periodText(run.earliest);
    const std::string to = periodText(run.latest);
    const long pad = 37 - static_cast<long>(std::max(from.size(), to.size()) / 2);
    const std::string blanks(pad > 0 ? static_cast<std::size_t>(pad) : 0, ' ');
    std::fprintf(out, "%sFrom: %s\n%sTo  : %s\n\n", blanks.c_str(), from.c_str(), blanks.c_str(),
                 to.c_str());

    std::fputs(d.tableHeader, out);
    for (const AddrEntry& e : run.book->entries())
        if (isLinkRow(e, s.keepAll, s.brakeSesStatMask)) writeEntryRow(out, e, d);
    std::fprintf(out, "%s\n", d.tableBottom);

    if (run.printable.groups > 0 && s.group) {
        writeHeading(out, d, "Group Statistic");
        std::fputs(d.tableHeader, out);
        for (const AddrEntry& e : run.book->entries())
            if (isGroupRow(e, s.keepAll)) writeEntryRow(out, e, d);
        std::fprintf(out, "%s\n", d.tableBottom);
    }

    LineTotals sum;
    for (const LineTotals& t : run.totals)
        addTotals(sum, t);
    const Duration in = splitDuration(sum.timeIn), outT = splitDuration(sum.timeOut),
                   all = splitDuration(sum.timeOnline);
    const char* b = d.innerBar;
    std::fprintf(out,
                 "%s%s Total Received :  %s %s Sessions In   :%6llu %s Time In     "
                 ":%5llu:%02llu:%02llu %s\n",
                 d.boxTop, b, formatTraffic(sum.bytesReceived, false).c_str(), b,
                 static_cast<ull>(sum.sessionsIn), b, static_cast<ull>(in.hours),
                 static_cast<ull>(in.minutes), static_cast<ull>(in.seconds), b);
    std::fprintf(
        out,
        "%s Total Sent     :  %s %s Sessions Out  :%6llu %s Time Out    :%5llu:%02llu:%02llu %s\n",
        b, formatTraffic(sum.bytesSent, false).c_str(), b, static_cast<ull>(sum.sessionsOut), b,
        static_cast<ull>(outT.hours), static_cast<ull>(outT.minutes),
        static_cast<ull>(outT.seconds), b);
    std::fprintf(
        out,
        "%s Total Traffic  :  %s %s Sessions Total:%6llu %s Time Online :%5llu:%02llu:%02llu %s\n",
        b, formatTraffic(sum.bytesReceived + sum.bytesSent, false).c_str(), b,
        static_cast<ull>(sum.sessions), b, static_cast<ull>(all.hours),
        static_cast<ull>(all.minutes), static_cast<ull>(all.seconds), b);
    std::tm now = localBreakdown(std::time(nullptr));
    char created[512];
    const std::size_t n = std::strftime(created, sizeof created, "%A, %d %B %Y, %X", &now);
    // The box bottom ends its own line; the footer leaves an empty one below it.
    std::fprintf(out, "%s\nLinks Statistic created at %.*s\n%.*s\n", d.boxBottom,
                 static_cast<int>(n), created, static_cast<int>(creditLine.size()),
                 creditLine.data());
}

}  // namespace rv::pondrel
