#include "ravlog/link_rows.h"

#include <string>
#include <string_view>

#include "core/format.h"

namespace rv {

namespace {

using ull = unsigned long long;

// The sessions and time of one direction: 14 columns with its closing bar
// while the hours stay below 1000; wider figures widen the row.
void writeSessionCell(std::FILE* out, std::uint64_t count, std::uint64_t seconds) {
    if (count == 0) {
        std::fputs("  -│ -:--:-- ║", out);
        return;
    }
    const Duration d = splitDuration(seconds);
    const ull h = d.hours, m = d.minutes, s = d.seconds;
    std::fprintf(out, "%3llu", static_cast<ull>(count));
    if (count < 1000) {
        if (h < 100)
            std::fprintf(out, "│%2llu:%02llu:%02llu ║", h, m, s);
        else
            std::fprintf(out, "│%3llu:%02llu:%02llu║", h, m, s);
    } else if (count < 10000) {
        if (h < 10)
            std::fprintf(out, " %1llu:%02llu:%02llu ║", h, m, s);
        else
            std::fprintf(out, "%3llu:%02llu:%02llu║", h, m, s);
    } else {
        if (h < 10)
            std::fprintf(out, " %1llu:%02llu:%02llu║", h, m, s);
        else
            std::fprintf(out, "%3llu:%02llu:%02llu", h, m, s);
    }
}

// The value of a history row: up to 9999 as a number, above in the compact traffic form.
TrafficText valueText(std::uint64_t value) {
    if (value > 9999) return formatTraffic(value, true);
    TrafficText t;
    t.size = static_cast<std::size_t>(
        std::snprintf(t.chars.data(), t.chars.size(), "%6llu", static_cast<ull>(value)));
    return t;
}

std::string_view from(const TrafficText& t, std::size_t pos) {
    std::string_view v = t.view();
    return pos < v.size() ? v.substr(pos) : std::string_view{};
}

bool blankAt(const TrafficText& t, std::size_t pos) {
    return pos < t.size && t.chars[pos] == ' ';
}

}  // namespace

void writeLinkTableHeader(std::FILE* out, bool withProtected) {
    std::fprintf(
        out,
        "╔═════════════════╦═══════════════════════════╦═════════╦═════════════╦═══════╗\n"
        "║                 ║      Sessions / Time      ║  Time   ║   Traffic   ║       ║\n"
        "║     Address     ╠═════════════╦═════════════╣ online  ╠══════╦══════╣  CPS  ║\n"
        "║%s             ║   Incoming  ║   Outgoing  ║ In+Out  ║ Rcvd ║ Sent ║       ║\n"
        "╠%s════════════════╬═══╤═════════╬═══╤═════════╬═════════╬══════╬══════╬═══════╣\n",
        withProtected ? "Prot" : "    ", withProtected ? "│" : "═");
}

void writeLinkTableRow(std::FILE* out, const AddrEntry& entry, bool asGroup) {
    const AddressText address = formatAddress(entry.pattern, 15);
    if (asGroup)
        std::fprintf(out, "║  %s║", address.c_str());
    else
        std::fprintf(out, "║%c %s║", entry.has(AddrFlags::hasProtected) ? 'P' : ' ',
                     address.c_str());
    writeSessionCell(out, entry.sessionsIn, entry.timeIn);
    writeSessionCell(out, entry.sessionsOut, entry.timeOut);
    const Duration d = splitDuration(entry.timeOnline);
    if (d.hours < 100)
        std::fprintf(out, "%2llu:%02llu:%02llu ║", static_cast<ull>(d.hours),
                     static_cast<ull>(d.minutes), static_cast<ull>(d.seconds));
    else
        std::fprintf(out, "%3llu:%02llu:%02llu║", static_cast<ull>(d.hours),
                     static_cast<ull>(d.minutes), static_cast<ull>(d.seconds));
    std::fprintf(out, "%s║%s║", formatTraffic(entry.bytesReceived, false).c_str(),
                 formatTraffic(entry.bytesSent, false).c_str());
    const std::uint64_t entryCps = cps(entry);
    if (entryCps < 1000000)
        std::fprintf(out, " %6llu║\n", static_cast<ull>(entryCps));
    else
        std::fprintf(out, " %s║\n", formatTraffic(entryCps, false).c_str());
}

std::string historyFigures(const AddrEntry& entry, ShowValueMode showValue) {
    const std::uint64_t value = showValue == ShowValueMode::ses    ? entry.sessions
                                : showValue == ShowValueMode::time ? entry.timeOnline / 60
                                                                   : cps(entry);
    const TrafficText v = valueText(value);
    const TrafficText rcvd = formatTraffic(entry.bytesReceived, true);
    const TrafficText sent = formatTraffic(entry.bytesSent, true);
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

void writeHistoryRow(std::FILE* out, const AddrEntry& entry, ShowValueMode showValue) {
    std::string row;
    row.reserve(chartCells * 3 + 32);
    row.append(formatAddress(entry.pattern, 15).view());
    for (char c : entry.historyRow.view()) {
        switch (c) {
            case 'A':
                row.append("▌");
                break;
            case 'B':
                row.append("▐");
                break;
            case 'C':
                row.append("█");
                break;
            case '|':
                row.append("│");
                break;
            default:
                row.push_back(' ');
                break;
        }
    }
    row.append(historyFigures(entry, showValue));
    row.push_back('\n');
    std::fputs(row.c_str(), out);
}

}  // namespace rv
