// The forms a report can be written in: the classic text tables, data for
// other programs (JSON, CSV), or a page for a browser (HTML).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace rv {

enum class ReportFormat : std::uint8_t { text, json, csv, html };

// "text", "json", "csv" or "html" in any case; nothing for anything else.
std::optional<ReportFormat> parseReportFormat(std::string_view name);

}  // namespace rv
