#include "pondrel/options.h"

#include "core/config_reader.h"
#include "core/dates.h"
#include "core/format.h"
#include "core/program_options.h"
#include "core/program_text.h"
#include "core/text_scan.h"

namespace rv::pondrel {

const char* const usageText =
    "Usage:  pondrel [<options>...]\n"
    "\n"
    "options:\n"
    "\t-c<ctl_file>            Select Ravlog config file (default: ravlog.ctl)\n"
    "\t-o<out_file>            Output file name (default: output to stdout)\n"
    "\t-h<history>[,n[,m]]     Add history file to processing (append 'History' to config file)\n"
    "\t-b<d.m.y>               Begin from day d, month m, year y\n"
    "\t-e<d.m.y>               End at day d, month m, year y\n"
    "\t-d<n>                   Get statistic for n days only\n"
    "\t-r<archive>             Day archive (override 'Archive' in config file; -r alone: none)\n"
    "\t-g[+|-]                 -g+  set 'Group Yes'\n"
    "\t                        -g-  set 'Group No'\n"
    "\t                        -g   invert 'Group' in config file\n"
    "\t-k[+|-]                 -k+  set 'KeepAll Yes'\n"
    "\t                        -k-  set 'KeepAll No'\n"
    "\t                        -k   invert 'KeepAll' in config file\n"
    "\t-f<format>              Report format: text (default), json, csv or html\n"
    "\t-u[+|-]                 -u+  UTF8 output (default)\n"
    "\t                        -u-  ASCII output\n"
    "\t                        -u   as -u+\n"
    "\t                        -u<charset>  text report in UTF-8 (default), CP866 or CP437\n"
    "\t-q                      Leave out the banner\n"
    "\t-?, --help              This help\n";

void writeBanner(std::FILE* out) {
    rv::writeBanner(out, "Pondrel", "Link Statistic for T-Mail, BinkD, Argus, Brake, Bink/+,");
}

Stop parseOptions(const std::vector<std::string_view>& args, Configuration& config,
                  Options& options, const RunClock& clock, std::FILE* warnings) {
    const Stop stop = parseEachOption(
        args, config, usageText, [&](std::string_view arg, std::string_view value) -> Stop {
            switch (arg[1]) {
                case 'o':
                    options.outputAppend = false;  // the last -o names the output whole
                    readFileName(value, options.outputPath, options.outputAppend);
                    options.outputArgument = arg;
                    break;
                case 'b':
                case 'e': {
                    const bool isEnd = arg[1] == 'e';
                    DateResult bound = parsePeriodBound(value, isEnd, clock, warnings);
                    if (bound.stop) return bound.stop;
                    (isEnd ? options.end : options.begin) = bound.time;
                    (isEnd ? options.endGiven : options.beginGiven) = true;
                    break;
                }
                case 'd': {
                    // Digits only: "x" or "3x" read as a number would quietly give
                    // another period than the one asked for.
                    const bool digits =
                        !value.empty() && value.find_first_not_of("0123456789") == value.npos;
                    const std::int32_t days = digits ? leadingInt(value) : -1;
                    if (days < 0 || days > INT16_MAX)
                        return failure(format("Invalid days period: %.*s\n",
                                              static_cast<int>(value.size()), value.data()));
                    options.days = static_cast<std::int16_t>(days);
                    options.daysGiven = true;
                    options.daysArgument = arg;
                    break;
                }
                case 'r': {
                    bool append = false;
                    readFileName(value, config.settings.archivePath, append);
                    options.fixed.set(Keyword::archive);
                    break;
                }
                case 'g':
                    if (!readSwitchOption(value, options.group)) return unknownOption(arg);
                    options.fixed.set(Keyword::group, fixesSetting(options.group));
                    break;
                case 'k':
                    if (!readSwitchOption(value, options.keepAll)) return unknownOption(arg);
                    options.fixed.set(Keyword::keepAll, fixesSetting(options.keepAll));
                    break;
                case 'u':
                    if (!readDrawingOption(value, options.ascii, config.settings, options.fixed))
                        return unknownOption(arg);
                    break;
                case 'f': {
                    const std::optional<ReportFormat> format = parseReportFormat(value);
                    if (!format) return unknownOption(arg);
                    options.format = *format;
                    break;
                }
                default:
                    return unknownOption(arg);
            }
            return std::nullopt;
        });
    if (stop) return stop;
    // A second JSON document or page behind the first is no report a
    // reader can take; CSV rows append well (the header is written once).
    if (options.outputAppend &&
        (options.format == ReportFormat::json || options.format == ReportFormat::html)) {
        const std::string_view refusal =
            options.format == ReportFormat::json ? jsonAppendRefused : htmlAppendRefused;
        return failure(format("%.*s: %s\n", static_cast<int>(refusal.size()), refusal.data(),
                              options.outputArgument.c_str()));
    }
    return std::nullopt;
}

}  // namespace rv::pondrel
