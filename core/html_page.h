// The pages the report programs write for a browser: one self-contained
// HTML5 file each, with its style sheet inline and nothing fetched. Every
// text from the configuration or a file name goes through putHtmlText,
// which escapes it and keeps the page valid UTF-8 whatever bytes it holds.
#pragma once

#include <cstdint>
#include <ctime>
#include <string_view>

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

// Counters as table cells, right-aligned: a count as it is, and a traffic
// figure in the text tables' form ("55.4M"), with the exact value and its
// unit in the tooltip where the cell shows it rounded.
void putCountCell(OutBuffer& out, std::uint64_t value);
void putTrafficCell(OutBuffer& out, std::uint64_t value, std::string_view unit);
// Seconds as H:MM:SS.
void putDurationCell(OutBuffer& out, std::uint64_t seconds);

}  // namespace rv
