#include "ravlog/entry_rows.h"

#include <string>
#include <string_view>

#include "core/format.h"

namespace rv::ravlog {

namespace {

// The value of a history row: up to 9999 as a number, above in the compact traffic form.
TrafficText valueText(std::uint64_t value) {
    return value > 9999 ? formatTraffic(value, true) : formatUnsigned(value, 6);
}

std::string_view from(const TrafficText& t, std::size_t pos) {
    std::string_view v = t.view();
    return pos < v.size() ? v.substr(pos) : std::string_view{};
}

bool blankAt(const TrafficText& t, std::size_t pos) {
    return pos < t.size && t.chars[pos] == ' ';
}

// The 15 columns right of a history row.
std::string historyFigures(const LinkRow& row, ShowValueMode showValue) {
    const std::uint64_t value = showValue == ShowValueMode::ses    ? row.sessions
                                : showValue == ShowValueMode::time ? row.timeOnline / 60
                                                                   : row.cps;
    const TrafficText v = valueText(value);
    const TrafficText rcvd = formatTraffic(row.received, true);
    const TrafficText sent = formatTraffic(row.sent, true);
    // Three six-column texts share 15 columns: leading blanks are cut.
    std::size_t vFrom = 0, rFrom = 0, sFrom = 0;
    if (showValue != ShowValueMode::cps) {
        if (blankAt(v, 2)) {
            vFrom = 3;
        } else {
            vFrom = 2;
            (blankAt(rcvd, 1) ? rFrom : sFrom) = 1;
        }
    } else {
        (blankAt(rcvd, 1) ? rFrom : sFrom) = 1;
        if (blankAt(v, 1)) {
            vFrom = 2;
        } else {
            vFrom = 1;
            if (blankAt(rcvd, 2))
                rFrom = 2;
            else
                ++sFrom;
        }
    }
    std::string text(from(v, vFrom));
    text.append(from(rcvd, rFrom));
    text.append(from(sent, sFrom));
    return text;
}

}  // namespace

void putHistoryRow(OutBuffer& out, const HistoryItem& item, ShowValueMode showValue) {
    out.put(formatAddress(item.figures.address, 15).view());
    for (char c : item.figures.marks) {
        switch (c) {
            case 'A':
                out.put("▌");
                break;
            case 'B':
                out.put("▐");
                break;
            case 'C':
                out.put("█");
                break;
            case '|':
                out.put("│");
                break;
            default:
                out.put(' ');
                break;
        }
    }
    out.put(historyFigures(item.figures, showValue));
    out.put('\n');
}

}  // namespace rv::ravlog
