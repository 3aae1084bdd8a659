// pondrel's command line: the period of days, the output, and the group
// and keep-all switches.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "core/config_model.h"
#include "core/config_reader.h"
#include "core/exit_request.h"
#include "core/local_clock.h"
#include "core/report_format.h"
#include "core/switch_option.h"

namespace rv::pondrel {

struct Options {
    std::string outputPath;  // empty: standard output
    bool outputAppend = false;
    std::string outputArgument;  // the whole -o argument, for the refusal of '+'
    std::time_t begin = 0;
    std::time_t end = 2147483647;
    bool beginGiven = false;
    bool endGiven = false;
    bool daysGiven = false;
    std::int16_t days = 0;
    std::string daysArgument;  // the whole -d argument, for its warning
    SwitchOption group = SwitchOption::notGiven;
    SwitchOption keepAll = SwitchOption::notGiven;
    bool ascii = false;
    ReportFormat format = ReportFormat::text;
    FixedByOptions fixed;  // the keywords that -g, -k, -u<charset> and -r make ignored
};

extern const char* const usageText;
void writeBanner(std::FILE* out);

// Reads the arguments in order: the configuration path and -h lines go
// into config, the rest into options.
Stop parseOptions(const std::vector<std::string_view>& args, Configuration& config,
                  Options& options, const RunClock& clock, std::FILE* warnings);

}  // namespace rv::pondrel
