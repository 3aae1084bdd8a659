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

namespace rv {

enum class SwitchOption : std::uint8_t { notGiven, on, off, invert };

struct RavlogOptions {
    FixedByOptions fixed;
    SwitchOption group = SwitchOption::notGiven;
    SwitchOption keepAll = SwitchOption::notGiven;
    SwitchOption noDrawZero = SwitchOption::notGiven;
    SwitchOption protectSummary = SwitchOption::notGiven;
};

extern const char* const ravlogUsage;
void writeRavlogBanner(std::FILE* out);

// Reads the arguments in order into config (settings and -h lines) and options.
Stop parseRavlogOptions(const std::vector<std::string_view>& args, Configuration& config,
                        RavlogOptions& options, const RunClock& clock, std::FILE* warnings);

// After the configuration file: the bare -g, -k, -n, -p invert their settings.
void applySwitchInversions(const RavlogOptions& options, Settings& settings);

}  // namespace rv
