#include "pondrel/link_table.h"

#include <algorithm>
#include <string>
#include <string_view>

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

// A row is put together in memory and written at once: a busy report has
// tens of thousands of rows, and a printf call per cell cost more than
// counting the sessions behind them. The widths are those of the printf
// forms named beside each use.
class RowText {
  public:
    void text(std::string_view piece) {
        const std::size_t n = std::min(piece.size(), sizeof text_ - size_);
        piece.copy(text_ + size_, n);
        size_ += n;
    }
    void blank() { text(" "); }
    // "%*llu": right-aligned in width columns; a wider number widens.
    void number(std::uint64_t value, std::size_t width) {
        text(formatUnsigned(value, width).view());
    }
    // "%*llu:%02llu:%02llu" with the hours in width columns.
    void duration(const Duration& t, std::size_t width) {
        number(t.hours, width);
        text(":");
        twoDigits(t.minutes);
        text(":");
        twoDigits(t.seconds);
    }
    // "%02llu" of a value below 100.
    void twoDigits(std::uint64_t value) {
        number(value / 10, 1);
        number(value % 10, 1);
    }
    void write(std::FILE* out) const { std::fwrite(text_, 1, size_, out); }

  private:
    char text_[512];
    std::size_t size_ = 0;
};

void putSessionCell(RowText& row, std::uint64_t count, std::uint64_t seconds, const DrawingSet& d) {
    if (count == 0) {
        row.text("   -");  // "   -%s -:--:-- %s"
        row.text(d.innerBar);
        row.text(" -:--:-- ");
        row.text(d.outerBar);
        return;
    }
    const Duration t = splitDuration(seconds);
    row.number(count, 4);  // "%4u"
    if (count <= 9999) {
        row.text(d.innerBar);
        if (t.hours <= 99) {
            row.duration(t, 2);  // "%2lu:%02lu:%02lu %s"
            row.blank();
        } else {
            row.duration(t, 0);  // "%lu:%02lu:%02lu%s"
        }
    } else if (t.hours <= 9) {
        row.duration(t, 2);  // "%2lu:%02lu:%02lu %s"
        row.blank();
    } else {
        row.blank();  // " %lu:%02lu:%02lu%s"
        row.duration(t, 0);
    }
    row.text(d.outerBar);
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

std::string periodText(std::int64_t shown) {
    std::tm tm{};
    breakDownUtc(shown, tm);
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
    RowText row;
    row.text(d.outerBar);  // "%s %s%s"
    row.blank();
    row.text(formatAddress(e.pattern, 14).c_str());
    row.text(d.outerBar);
    putSessionCell(row, e.sessionsIn, e.timeIn, d);
    putSessionCell(row, e.sessionsOut, e.timeOut, d);
    const Duration t = splitDuration(e.timeOnline);
    if (t.hours <= 99) {
        row.duration(t, 2);  // "%2lu:%02lu:%02lu %s"
        row.blank();
        row.text(d.outerBar);
    } else if (t.hours <= 999) {
        row.duration(t, 3);  // "%3lu:%02lu:%02lu%s"
        row.text(d.outerBar);
    } else {
        row.duration(t, 0);  // "%lu:%02lu:%02lu"
    }
    row.text(formatTraffic(e.bytesReceived, false).c_str());  // "%s%s%s%s"
    row.text(d.outerBar);
    row.text(formatTraffic(e.bytesSent, false).c_str());
    row.text(d.outerBar);
    row.blank();  // " %s%s\n"
    row.text(formatTraffic(cps(e), false).c_str());
    row.text(d.outerBar);
    row.text("\n");
    row.write(out);
}

void writeReport(std::FILE* out, const Run& run) {
    const DrawingSet& d = drawingSet(run.options.ascii);
    const Settings& s = run.config.settings;
    std::fputs("\n", out);
    writeHeading(out, d, "Links Statistic");
    const std::string from = periodText(run.earliestShown);
    const std::string to = periodText(run.latestShown);
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
