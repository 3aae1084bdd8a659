#include "stats/link_table_text.h"

#include "core/format.h"

namespace rv {

namespace {

// ravlog's table, in UTF-8 only, and pondrel's in either set.
constexpr LinkTableFrame ravlogFrame{
    "╔═════════════════╦═══════════════════════════╦═════════╦═════════════╦═══════╗\n"
    "║                 ║      Sessions / Time      ║  Time   ║   Traffic   ║       ║\n"
    "║     Address     ╠═════════════╦═════════════╣ online  ╠══════╦══════╣  CPS  ║\n"
    "║%s             ║   Incoming  ║   Outgoing  ║ In+Out  ║ Rcvd ║ Sent ║       ║\n"
    "╠%s════════════════╬═══╤═════════╬═══╤═════════╬═════════╬══════╬══════╬═══════╣\n",
    "╚═════════════════╩═══╧═════════╩═══╧═════════╩═════════╩══════╩══════╩═══════╝\n",
};

constexpr LinkTableFrame pondrelUtf8Frame{
    "╔═══════════════╦═════════════════════════════╦═════════╦═════════════╦═══════╗\n"
    "║               ║       Sessions / Time       ║  Time   ║   Traffic   ║       ║\n"
    "║    Address    ╠══════════════╦══════════════╣ online  ╠══════╦══════╣  CPS  ║\n"
    "║               ║   Incoming   ║   Outgoing   ║ In+Out  ║ Rcvd ║ Sent ║       ║\n"
    "╠═══════════════╬════╤═════════╬════╤═════════╬═════════╬══════╬══════╬═══════╣\n",
    "╚═══════════════╩════╧═════════╩════╧═════════╩═════════╩══════╩══════╩═══════╝\n",
};

constexpr LinkTableFrame pondrelAsciiFrame{
    "+=============================================================================+\n"
    "|               |       Sessions / Time       |  Time   |   Traffic   |       |\n"
    "|    Address    |=============================| online  |=============|  CPS  |\n"
    "|               |   Incoming   |   Outgoing   | In+Out  | Rcvd | Sent |       |\n"
    "|===============+==============+==============+=========+======+======+=======|\n",
    "+=============================================================================+\n",
};

// Hours right-aligned in width columns, then ":MM:SS".
void putDuration(OutBuffer& out, const Duration& t, int width) {
    out.putUnsigned(t.hours, width);
    out.put(':');
    out.put(static_cast<char>('0' + t.minutes / 10));
    out.put(static_cast<char>('0' + t.minutes % 10));
    out.put(':');
    out.put(static_cast<char>('0' + t.seconds / 10));
    out.put(static_cast<char>('0' + t.seconds % 10));
}

std::size_t digits(std::uint64_t value) {
    std::size_t n = 1;
    for (; value >= 10; value /= 10)
        ++n;
    return n;
}

// A time in the 9 columns that follow a count and its bar: two-digit
// hours with a blank after them, three digits flush, and beyond 999 hours
// days ("60d18:32").
void putTimeAfterBar(OutBuffer& out, const Duration& t, std::uint64_t seconds) {
    if (t.hours < 100) {
        putDuration(out, t, 2);
        out.put(' ');
    } else {
        out.put(formatDuration(seconds, 9).view());
    }
}

// A time in the 9 columns behind a count that took its bar's place: a
// blank before it (after it too under 10 hours), beyond 99 hours in days
// and hours.
void putTimeAfterCount(OutBuffer& out, const Duration& t, std::uint64_t seconds) {
    out.put(' ');
    if (t.hours < 10) {
        putDuration(out, t, 1);
        out.put(' ');
    } else {
        out.put(formatDuration(seconds, 8).view());
    }
}

// The sessions and time of one direction, 14 columns with the closing
// bar. While the count fits its columns: count, bar, time. A count one
// digit wider takes the bar's place as long as the time beside it leaves
// a blank (under 100 hours, or in days beyond 999, where the time is made
// short anyway); ravlog's form also lets a 5-digit count stand before a
// time under 10 hours, as it always has. Otherwise the count, the figure
// that does not fit, is written in thousands or more, and never runs into
// the time.
void putSessionCell(OutBuffer& out, std::uint64_t count, std::uint64_t seconds,
                    const LinkTableStyle& style) {
    const DrawingSet& d = *style.set;
    const std::size_t countWidth = style.countWidth;
    if (count == 0) {
        for (std::size_t i = 1; i < countWidth; ++i)
            out.put(' ');
        out.put('-');
        out.put(d.innerBar);
        out.put(" -:--:-- ");
        out.put(d.outerBar);
        return;
    }
    const Duration t = splitDuration(seconds);
    const std::size_t n = digits(count);
    const bool takesBar = n == countWidth + 1
                              ? t.hours < 100 || t.hours >= 1000
                              : style.ravlogForm && n == countWidth + 2 && t.hours < 10;
    const NumberText inColumns = formatCount(count, countWidth);
    if (takesBar) {
        out.putUnsigned(count, 0);
        if (n == countWidth + 2) {
            out.put(' ');
            putDuration(out, t, 1);
        } else {
            putTimeAfterCount(out, t, seconds);
        }
    } else if (inColumns.size <= countWidth) {
        out.put(inColumns.view());
        out.put(d.innerBar);
        putTimeAfterBar(out, t, seconds);
    } else {
        out.put(formatCount(count, countWidth + 1).view());
        putTimeAfterCount(out, t, seconds);
    }
    out.put(d.outerBar);
}

}  // namespace

LinkTableStyle ravlogLinkTable() {
    return {&drawingSet(false), &ravlogFrame, 15, 3, true};
}

LinkTableStyle pondrelLinkTable(const DrawingSet& set) {
    const bool ascii = &set == &drawingSet(true);
    return {&set, ascii ? &pondrelAsciiFrame : &pondrelUtf8Frame, 14, 4, false};
}

std::string linkTableHeader(const LinkTableStyle& style, bool withProtected) {
    if (!style.ravlogForm) return style.frame->header;
    return format(style.frame->header, withProtected ? "Prot" : "    ", withProtected ? "│" : "═");
}

const char* linkTableBottom(const LinkTableStyle& style) {
    return style.frame->bottom;
}

void putLinkRow(OutBuffer& out, const LinkRow& row, const LinkTableStyle& style, bool asGroup) {
    const DrawingSet& d = *style.set;
    out.put(d.outerBar);
    if (style.ravlogForm) out.put(!asGroup && row.protectedSessions ? 'P' : ' ');
    out.put(' ');
    out.put(linkAddressCell(row, style.addressWidth).view());
    out.put(d.outerBar);
    putSessionCell(out, row.sessionsIn, row.timeIn, style);
    putSessionCell(out, row.sessionsOut, row.timeOut, style);
    // Time online: beyond 999 hours in days, hours and minutes.
    putTimeAfterBar(out, splitDuration(row.timeOnline), row.timeOnline);
    out.put(d.outerBar);
    out.put(formatTraffic(row.received, false).view());
    out.put(d.outerBar);
    out.put(formatTraffic(row.sent, false).view());
    out.put(d.outerBar);
    out.put(' ');
    out.put(formatTraffic(row.cps, false).view());
    out.put(d.outerBar);
    out.put('\n');
}

}  // namespace rv
