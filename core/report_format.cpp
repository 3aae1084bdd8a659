#include "core/report_format.h"

#include "core/text_scan.h"

namespace rv {

std::optional<ReportFormat> parseReportFormat(std::string_view name) {
    struct Name {
        std::string_view text;
        ReportFormat format;
    };
    static constexpr Name names[] = {{"text", ReportFormat::text},
                                     {"json", ReportFormat::json},
                                     {"csv", ReportFormat::csv},
                                     {"html", ReportFormat::html}};
    for (const Name& n : names) {
        if (name.size() == n.text.size() && startsWithNoCase(name, n.text)) return n.format;
    }
    return std::nullopt;
}

}  // namespace rv
