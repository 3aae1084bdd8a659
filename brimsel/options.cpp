#include "brimsel/options.h"

#include "core/program_options.h"
#include "core/program_text.h"

namespace rv::brimsel {

const char* const usageText =
    "Usage:  brimsel [<options>...]\n"
    "\n"
    "options:\n"
    "\t-c<ctl_file>            Select Ravlog config file (default: ravlog.ctl)\n"
    "\t-h<history>[,n[,m]]     Add history file to processing (append 'History' to config file)\n"
    "\t-b<d.m.y>               Show records from day d, month m, year y\n"
    "\t-e<d.m.y>               Show records up to day d, month m, year y\n"
    "\t-a<address>             Show records of the address (Addr syntax) or event kind;\n"
    "\t                        may be given several times\n"
    "\t-f<format>              Output format: text (default), json or csv\n"
    "\t-u[+|-]                 -u+  UTF8 output (default)\n"
    "\t                        -u-  ASCII output\n"
    "\t                        -u   as -u+\n"
    "\t                        -u<charset>  text dump in UTF-8 (default), CP866 or CP437\n"
    "\t-q                      Leave out the banner\n"
    "\t-?, --help              This help\n";

void writeBanner(std::FILE* out) {
    rv::writeBanner(out, "Brimsel", "History Dump for T-Mail, BinkD, Argus, The Brake!, Bink/+,");
}

Stop parseOptions(const std::vector<std::string_view>& args, DumpSettings& settings) {
    return parseEachOption(
        args, settings.config, usageText,
        [&](std::string_view arg, std::string_view value) -> Stop {
            if (arg[1] == 'b' || arg[1] == 'e') {
                (arg[1] == 'b' ? settings.filterOptions.begin : settings.filterOptions.end) =
                    std::string(value);
            } else if (arg[1] == 'a') {
                if (Stop stop = addPattern(arg, settings.filterOptions)) return stop;
            } else if (arg[1] == 'f') {
                const std::optional<ReportFormat> format = parseReportFormat(arg.substr(2));
                // A dump of every record is no page for a browser.
                if (!format || *format == ReportFormat::html) return unknownOption(arg);
                settings.format = *format;
            } else if (arg[1] != 'u' ||
                       !readDrawingOption(arg.substr(2), settings.ascii, settings.config.settings,
                                          settings.fixed)) {
                return unknownOption(arg);
            }
            return std::nullopt;
        });
}

}  // namespace rv::brimsel
