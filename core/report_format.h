// The forms a report can be written in: the classic text tables, or data
// for other programs (JSON, CSV).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace rv {

enum class ReportFormat : std::uint8_t { text, json, csv };

// "text", "json" or "csv" in any case; nothing for anything else.
std::optional<ReportFormat> parseReportFormat(std::string_view name);

}  // namespace rv
