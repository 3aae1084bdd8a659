#include "stats/link_table_text.h"

#include "core/format.h"

namespace rv {

namespace {

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

// The sessions and time of one direction. While the count fits its
// columns: count, bar, time. A count one digit wider takes the bar's
// place; wider still, ravlog's form drops the closing bar to keep the row
// width, pondrel's widens the row.
void putSessionCell(OutBuffer& out, std::uint64_t count, std::uint64_t seconds,
                    const LinkTableStyle& style) {
    const DrawingSet& d = *style.set;
    const int countWidth = static_cast<int>(style.countWidth);
    if (count == 0) {
        for (int i = 1; i < countWidth; ++i)
            out.put(' ');
        out.put('-');
        out.put(d.innerBar);
        out.put(" -:--:-- ");
        out.put(d.outerBar);
        return;
    }
    const Duration t = splitDuration(seconds);
    out.putUnsigned(count, countWidth);
    const std::size_t n = digits(count);
    if (n <= style.countWidth) {
        out.put(d.innerBar);
        if (t.hours < 100) {
            putDuration(out, t, 2);
            out.put(' ');
        } else {
            putDuration(out, t, 0);
        }
        out.put(d.outerBar);
    } else if (n == style.countWidth + 1 || !style.ravlogForm) {
        if (t.hours < 10) {
            out.put(' ');
            putDuration(out, t, 1);
            out.put(' ');
        } else if (style.ravlogForm) {
            putDuration(out, t, 3);
        } else {
            out.put(' ');
            putDuration(out, t, 0);
        }
        out.put(d.outerBar);
    } else if (t.hours < 10) {
        out.put(' ');
        putDuration(out, t, 1);
        out.put(d.outerBar);
    } else {
        putDuration(out, t, 3);
    }
}

}  // namespace

LinkTableStyle ravlogLinkTable() {
    return {&drawingSet(false), 15, 3, true};
}

LinkTableStyle pondrelLinkTable(const DrawingSet& set) {
    return {&set, 14, 4, false};
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
    // Time online: beyond 999 hours ravlog's form widens the row, pondrel's
    // lets the time run into the traffic cell.
    const Duration online = splitDuration(row.timeOnline);
    if (online.hours < 100) {
        putDuration(out, online, 2);
        out.put(' ');
        out.put(d.outerBar);
    } else if (online.hours < 1000 || style.ravlogForm) {
        putDuration(out, online, 3);
        out.put(d.outerBar);
    } else {
        putDuration(out, online, 0);
    }
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
