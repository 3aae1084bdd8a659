#include "ravlog/options.h"

#include "core/busy_mask.h"
#include "core/dates.h"
#include "core/format.h"
#include "core/program_options.h"
#include "core/program_text.h"
#include "core/text_scan.h"

namespace rv::ravlog {

const char* const usageText =
    "Usage:  ravlog [<options>...]\n"
    "\n"
    "options:\n"
    "\t-c<ctl_file>            Select Ravlog config file (default: ravlog.ctl)\n"
    "\t-o<out_file>            Output file name (override 'Output' in config file)\n"
    "\t-l<lnk_file>            Links statistic filename (override 'Pondrel' in config file)\n"
    "\t-e<ses_file>            Sessions statistic filename (override 'SessionStat' in config "
    "file)\n"
    "\t-j<json_file>           JSON report filename (override 'JsonReport' in config file)\n"
    "\t-w<html_file>           HTML report filename (override 'HtmlReport' in config file)\n"
    "\t-h<history>[,n[,m]]     Add history file to processing (append 'History' to config file)\n"
    "\t-r<archive>             Day archive (override 'Archive' in config file; -r alone: none)\n"
    "\t-d<d.m.y>               Override 'Date' in config file\n"
    "\t-t<xx:xx:xx-yy:yy:yy>   Override 'Time' in config file\n"
    "\t-b[+|-|<mask>]          -b+       set 'BusyHist Yes'\n"
    "\t                        -b-       set 'BusyHist No'\n"
    "\t                        -b<mask>  set 'BusyHist <mask>'\n"
    "\t-g[+|-]                 -g+       set 'Group Yes'\n"
    "\t                        -g-       set 'Group No'\n"
    "\t                        -g        invert 'Group' in config file\n"
    "\t-k[+|-]                 -k+       set 'KeepAll Yes'\n"
    "\t                        -k-       set 'KeepAll No'\n"
    "\t                        -k        invert 'KeepAll' in config file\n"
    "\t-n[+|-]                 -n+       set 'NoDrawZero Yes'\n"
    "\t                        -n-       set 'NoDrawZero No'\n"
    "\t                        -n        invert 'NoDrawZero' in config file\n"
    "\t-m{+|-|g}               -m+       set 'MiddLine Yes'\n"
    "\t                        -m-       set 'MiddLine No'\n"
    "\t                        -mg       set 'MiddLine Group'\n"
    "\t-s{s|t|c}               -ss       set 'ShowValue Ses'\n"
    "\t                        -st       set 'ShowValue Time'\n"
    "\t                        -sc       set 'ShowValue CPS'\n"
    "\t-u<charset>             Reports in UTF-8, CP866 or CP437 (override 'Charset' in config "
    "file)\n"
    "\t-q                      Leave out the banner\n"
    "\t-?, --help              This help\n";

void writeBanner(std::FILE* out) {
    rv::writeBanner(out, "Ravlog", "History Utility for T-Mail, BinkD, Argus, Brake, Bink/+,");
}

namespace {

// The +, - or bare form of a switch: only the third character of the
// argument is looked at. The last form given decides whether the keyword
// is read.
bool readSwitch(std::string_view value, SwitchOption& option, FixedByOptions& fixed,
                Keyword keyword) {
    if (!readSwitchOption(value.substr(0, 1), option)) return false;
    fixed.set(keyword, fixesSetting(option));
    return true;
}

// The name of a report that is always written whole: a '+' is refused.
Stop readWholeReportName(std::string_view arg, std::string_view refusal, std::string& path) {
    bool append = false;
    readFileName(arg.substr(2), path, append);
    if (!append) return std::nullopt;
    return failure(format("%.*s: %.*s\n", static_cast<int>(refusal.size()), refusal.data(),
                          static_cast<int>(arg.size()), arg.data()));
}

}  // namespace

Stop parseOptions(const std::vector<std::string_view>& args, Configuration& config,
                  Options& options, const RunClock& clock, std::FILE* warnings) {
    Settings& s = config.settings;
    FixedByOptions& fixed = options.fixed;
    return parseEachOption(
        args, config, usageText, [&](std::string_view arg, std::string_view value) -> Stop {
            switch (arg[1]) {
                case 'o':
                    readFileName(value, s.outputPath, s.outputAppend);
                    fixed.set(Keyword::output);
                    break;
                case 'l':
                    readFileName(value, s.linksPath, s.linksAppend);
                    fixed.set(Keyword::pondrel);
                    break;
                case 'e':
                    readFileName(value, s.sessionsPath, s.sessionsAppend);
                    fixed.set(Keyword::sessionStat);
                    break;
                // A bare -j or -w writes no such report, whatever the keyword says.
                case 'j':
                    if (Stop refused =
                            readWholeReportName(arg, jsonAppendRefused, s.jsonReportPath))
                        return refused;
                    fixed.set(Keyword::jsonReport);
                    break;
                case 'w':
                    if (Stop refused =
                            readWholeReportName(arg, htmlAppendRefused, s.htmlReportPath))
                        return refused;
                    fixed.set(Keyword::htmlReport);
                    break;
                case 'r': {
                    bool append = false;
                    readFileName(value, s.archivePath, append);
                    fixed.set(Keyword::archive);
                    break;
                }
                case 'd': {
                    DateResult date = parseDate(value, clock, warnings);
                    if (date.stop) return date.stop;
                    s.reportDate = date.time;
                    fixed.set(Keyword::date);
                    break;
                }
                case 't':
                    if (!parseTimeWindow(value, s.timeWindow))
                        return failure(format("Invalid time %.*s\n", static_cast<int>(value.size()),
                                              value.data()));
                    fixed.set(Keyword::time);
                    break;
                case 'b':
                    s.busyHistMask = value == "+"   ? BusyMask::all
                                     : value == "-" ? 0
                                                    : parseBusyHistMask(value, warnings);
                    fixed.set(Keyword::busyHist);
                    break;
                case 'g':
                    if (!readSwitch(value, options.group, fixed, Keyword::group))
                        return unknownOption(arg);
                    break;
                case 'k':
                    if (!readSwitch(value, options.keepAll, fixed, Keyword::keepAll))
                        return unknownOption(arg);
                    break;
                case 'n':
                    if (!readSwitch(value, options.noDrawZero, fixed, Keyword::noDrawZero))
                        return unknownOption(arg);
                    break;
                case 'p':
                    if (!readSwitch(value, options.protectSummary, fixed, Keyword::protectSummary))
                        return unknownOption(arg);
                    break;
                case 'm':
                    if (value.empty()) return unknownOption(arg);
                    if (value[0] == '+')
                        s.middLine = MiddLineMode::yes;
                    else if (value[0] == '-')
                        s.middLine = MiddLineMode::no;
                    else if (value[0] == 'g' || value[0] == 'G')
                        s.middLine = MiddLineMode::group;
                    else
                        return unknownOption(arg);
                    fixed.set(Keyword::middLine);
                    break;
                case 's':
                    if (value.empty()) return unknownOption(arg);
                    if (value[0] == 's' || value[0] == 'S')
                        s.showValue = ShowValueMode::ses;
                    else if (value[0] == 't' || value[0] == 'T')
                        s.showValue = ShowValueMode::time;
                    else if (value[0] == 'c' || value[0] == 'C')
                        s.showValue = ShowValueMode::cps;
                    else
                        return unknownOption(arg);
                    fixed.set(Keyword::showValue);
                    break;
                case 'u': {
                    const std::optional<Charset> charset = parseCharset(value);
                    if (!charset) return unknownOption(arg);
                    s.charset = *charset;
                    fixed.set(Keyword::charset);
                    break;
                }
                default:
                    return unknownOption(arg);
            }
            return std::nullopt;
        });
}

void applySwitchOptions(const Options& options, Settings& settings) {
    applySwitchOption(options.group, settings.group);
    applySwitchOption(options.keepAll, settings.keepAll);
    applySwitchOption(options.noDrawZero, settings.noDrawZero);
    applySwitchOption(options.protectSummary, settings.protectSummary);
}

}  // namespace rv::ravlog
