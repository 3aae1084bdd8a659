// The pages the report programs write for a browser: one self-contained
// HTML5 file each, with its style sheet inline and nothing fetched. Every
// text from the configuration or a file name goes through putHtmlText,
// which escapes it and keeps the page valid UTF-8 whatever bytes it holds.
#pragma once

#include <cstdint>
#include <ctime>
#include <string_view>

#include "core/format.h"
#include "core/out_buffer.h"

namespace rv {

// The text escaped for an element or a quoted attribute; a piece that is
// not valid UTF-8, and a control character other than a tab or a line
// end, shows as U+FFFD.
void putHtmlText(OutBuffer& out, std::string_view text);

// The doctype, the head with the shared style sheet, and the opening of
// the body; title is escaped. A page's own rules (extraStyle) follow the
// shared ones.
void putHtmlStart(OutBuffer& out, std::string_view title, std::string_view extraStyle = "");
// The credit line and the end of the page.
void putHtmlEnd(OutBuffer& out, std::string_view createdAt);

// A cell of the text tables without the blanks around it.
std::string_view bareCell(std::string_view cell);

// "2024-03-05 10:15:00".
void putHtmlDateTime(OutBuffer& out, const std::tm& tm);

// Counters as table cells, right-aligned. heading, where given, is the
// cell's name in the narrow layout, where a table's rows stand as cards
// of named figures (a table in a box of class "w r"); the header rows are
// then in <thead>, the rows in <tbody>.
void putCountCell(OutBuffer& out, std::uint64_t value, std::string_view heading = "");
// Seconds as H:MM:SS.
void putDurationCell(OutBuffer& out, std::uint64_t seconds, std::string_view heading = "");

// A traffic figure in its column's form (trafficForm of the column's
// largest, core/format.h), so that a column never mixes bytes with M
// ("0.1M" beside "4.2M", not "131242"); the exact value and its unit in
// the tooltip where the cell shows it rounded.
void putTrafficCell(OutBuffer& out, std::uint64_t value, std::string_view unit,
                    const TrafficForm& form, std::string_view heading = "");

}  // namespace rv
