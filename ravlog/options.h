// ravlog's command line: options fix their settings (the keywords are
// then ignored), bare switches invert the configuration's value.
#pragma once

#include <cstdio>
#include <string_view>
#include <vector>

#include "core/config_model.h"
#include "core/config_reader.h"
#include "core/exit_request.h"
#include "core/local_clock.h"
#include "core/switch_option.h"

namespace rv::ravlog {

struct Options {
    FixedByOptions fixed;
    SwitchOption group = SwitchOption::notGiven;
    SwitchOption keepAll = SwitchOption::notGiven;
    SwitchOption noDrawZero = SwitchOption::notGiven;
    SwitchOption protectSummary = SwitchOption::notGiven;
};

extern const char* const usageText;
void writeBanner(std::FILE* out);

// Reads the arguments in order into config (settings and -h lines) and options.
Stop parseOptions(const std::vector<std::string_view>& args, Configuration& config,
                  Options& options, const RunClock& clock, std::FILE* warnings);

// After the configuration file: -g, -k, -n, -p take effect, the bare
// forms inverting what the file gave.
void applySwitchOptions(const Options& options, Settings& settings);

}  // namespace rv::ravlog
