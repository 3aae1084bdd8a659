// The columns of the links and group tables and the figures of a totals
// box, as tables: each column's key in the JSON rows and the CSV file, how
// its value reads, its figure in a row and in the CSV totals, and its
// headings on the page. The JSON, CSV and HTML writers go through them in
// their order. A new column is its row in linkColumns, its name in
// LinkColumn (at the same place), its field in LinkRow (filled by linkRow)
// and its cell in the text table beside the frames (link_table_text.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/format.h"
#include "stats/link_rows.h"
#include "stats/traffic_counters.h"

namespace rv {

// In the order of linkColumns below.
enum class LinkColumn : std::uint8_t {
    address,
    kind,
    sessionsIn,
    timeIn,
    sessionsOut,
    timeOut,
    timeOnline,
    received,
    sent,
    cps,
    label,
    protectedMark
};

// How a column's value reads.
enum class LinkValue : std::uint8_t {
    address,  // the Address cell's text, trimmed
    kind,     // a kind entry's kind name; null (an empty CSV field) for others
    count,    // the figures: sessions, seconds, bytes and bytes per second
    seconds,
    bytes,
    bytesPerSecond,
    label,       // the entry's label, or null
    protection,  // whether a protected session was counted: true or false
};

// Sessions, seconds, bytes or bytes per second.
constexpr bool isFigure(LinkValue value) {
    return value == LinkValue::count || value == LinkValue::seconds || value == LinkValue::bytes ||
           value == LinkValue::bytesPerSecond;
}

struct LinkColumnDef {
    std::string_view key;
    LinkColumn id;
    LinkValue value;
    bool inCsv;                                // the CSV file has the column
    std::uint64_t LinkRow::*figure = nullptr;  // a figure's value
    // The sessions whose absence the text table and the page show as a
    // dash ("-", "-:--:--") in place of the figure.
    std::uint64_t LinkRow::*dashWithout = nullptr;
    // The figure of the CSV totals row; none leaves its field empty.
    std::uint64_t TrafficCounters::*total = nullptr;
    // The page's headings of a figure: the one over the columns it shares
    // (empty for a column of its own) and its own.
    std::string_view group = "";
    std::string_view heading = "";
    // Its name on its own, where the narrow page shows a row as a card.
    std::string_view title = "";
};

// In the order of the JSON rows and the CSV columns (after its section).
// The page writes the figures in this order too, after the P, Address
// and Label columns, which it places itself.
inline constexpr std::array linkColumns{
    LinkColumnDef{"address", LinkColumn::address, LinkValue::address, true},
    LinkColumnDef{"kind", LinkColumn::kind, LinkValue::kind, true},
    LinkColumnDef{"sessions_in", LinkColumn::sessionsIn, LinkValue::count, true,
                  &LinkRow::sessionsIn, &LinkRow::sessionsIn, &TrafficCounters::sessionsIn,
                  "Incoming", "Ses", "Sessions in"},
    LinkColumnDef{"time_in", LinkColumn::timeIn, LinkValue::seconds, true, &LinkRow::timeIn,
                  &LinkRow::sessionsIn, &TrafficCounters::timeIn, "Incoming", "Time", "Time in"},
    LinkColumnDef{"sessions_out", LinkColumn::sessionsOut, LinkValue::count, true,
                  &LinkRow::sessionsOut, &LinkRow::sessionsOut, &TrafficCounters::sessionsOut,
                  "Outgoing", "Ses", "Sessions out"},
    LinkColumnDef{"time_out", LinkColumn::timeOut, LinkValue::seconds, true, &LinkRow::timeOut,
                  &LinkRow::sessionsOut, &TrafficCounters::timeOut, "Outgoing", "Time", "Time out"},
    LinkColumnDef{"time_online", LinkColumn::timeOnline, LinkValue::seconds, true,
                  &LinkRow::timeOnline, nullptr, &TrafficCounters::timeOnline, "", "Time online",
                  "Time online"},
    LinkColumnDef{"received", LinkColumn::received, LinkValue::bytes, true, &LinkRow::received,
                  nullptr, &TrafficCounters::bytesReceived, "Traffic", "Rcvd", "Received"},
    LinkColumnDef{"sent", LinkColumn::sent, LinkValue::bytes, true, &LinkRow::sent, nullptr,
                  &TrafficCounters::bytesSent, "Traffic", "Sent", "Sent"},
    // A sum of CPS figures means nothing: the totals row leaves it empty.
    LinkColumnDef{"cps", LinkColumn::cps, LinkValue::bytesPerSecond, true, &LinkRow::cps, nullptr,
                  nullptr, "", "CPS", "CPS"},
    // What the page shows beside the figures, after them so that readers
    // of the older keys keep their order.
    LinkColumnDef{"label", LinkColumn::label, LinkValue::label, false},
    LinkColumnDef{"protected", LinkColumn::protectedMark, LinkValue::protection, false},
};

// Row i holds LinkColumn i; a figure has its value, a column that reads
// otherwise has none.
inline constexpr bool linkColumnsInOrder = [] {
    for (std::size_t i = 0; i < linkColumns.size(); ++i) {
        const LinkColumnDef& c = linkColumns[i];
        if (static_cast<std::size_t>(c.id) != i) return false;
        const bool figure = isFigure(c.value);
        if (figure != (c.figure != nullptr) || figure == c.heading.empty() ||
            figure == c.title.empty())
            return false;
    }
    return true;
}();
static_assert(linkColumnsInOrder, "LinkColumn and linkColumns must list the columns alike");

// Hands the value of a column in a row to a sink with string(text),
// null(), number(figure) and boolean(flag), as JsonWriter has them: the
// one reading of a cell that the data forms share. addressWidth is the
// Address cell's width in the program's text table.
template <class Sink>
void putLinkCell(Sink& sink, const LinkColumnDef& column, const LinkRow& row,
                 std::size_t addressWidth) {
    switch (column.value) {
        case LinkValue::address:
            sink.string(trimmedCell(linkAddressCell(row, addressWidth).view()));
            return;
        case LinkValue::kind:
            if (row.kind)
                sink.string(kindName(*row.kind));
            else
                sink.null();
            return;
        case LinkValue::count:
        case LinkValue::seconds:
        case LinkValue::bytes:
        case LinkValue::bytesPerSecond:
            sink.number(row.*column.figure);
            return;
        case LinkValue::label:
            if (row.label.empty())
                sink.null();
            else
                sink.string(trimmedCell(row.label));
            return;
        case LinkValue::protection:
            sink.boolean(row.protectedSessions);
            return;
    }
}

// A figure of a totals box: its key in the JSON totals, its label on the
// page and how it reads there.
struct TotalsFigure {
    std::string_view key;
    std::string_view label;
    LinkValue value;
    std::uint64_t (*of)(const TrafficCounters&);
};

// The box's three rows (received, sent, both) of three figures (bytes,
// sessions, time), as the page shows them; the JSON totals give them a
// column at a time.
inline constexpr std::size_t totalsRows = 3;
inline constexpr std::array<std::array<TotalsFigure, 3>, totalsRows> totalsFigures{{
    {{{"received", "Received", LinkValue::bytes,
       [](const TrafficCounters& t) { return t.bytesReceived; }},
      {"sessions_in", "Sessions in", LinkValue::count,
       [](const TrafficCounters& t) { return t.sessionsIn; }},
      {"time_in", "Time in", LinkValue::seconds,
       [](const TrafficCounters& t) { return t.timeIn; }}}},
    {{{"sent", "Sent", LinkValue::bytes, [](const TrafficCounters& t) { return t.bytesSent; }},
      {"sessions_out", "Sessions out", LinkValue::count,
       [](const TrafficCounters& t) { return t.sessionsOut; }},
      {"time_out", "Time out", LinkValue::seconds,
       [](const TrafficCounters& t) { return t.timeOut; }}}},
    {{{"traffic", "Traffic", LinkValue::bytes, [](const TrafficCounters& t) { return traffic(t); }},
      {"sessions", "Sessions", LinkValue::count,
       [](const TrafficCounters& t) { return t.sessions; }},
      {"time_online", "Time online", LinkValue::seconds,
       [](const TrafficCounters& t) { return t.timeOnline; }}}},
}};

}  // namespace rv
