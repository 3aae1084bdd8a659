// brimsel's command line: the dates and addresses of the records shown,
// the format, and the settings they make with the configuration's.
#pragma once

#include <cstdio>
#include <ctime>
#include <memory>
#include <string_view>
#include <vector>

#include "brimsel/dump_filter.h"
#include "core/config_model.h"
#include "core/config_reader.h"
#include "core/exit_request.h"
#include "core/file_directory.h"
#include "core/report_format.h"

namespace rv::brimsel {

struct DumpSettings {
    Configuration config;  // configPath, supportNewFormat and the lines are what brimsel uses
    bool ascii = false;
    FixedByOptions fixed;  // by -u<charset>: the Charset keyword is ignored
    ReportFormat format = ReportFormat::text;
    FilterOptions filterOptions;  // as given
    DumpFilter filter;            // made from them once the banner is out
    std::time_t now = 0;          // the run's time, for the year of a text log's lines
    // Where a text log's rotated copies are looked for (memory in tests).
    std::unique_ptr<FileDirectory> directory = std::make_unique<SystemDirectory>();
};

extern const char* const usageText;
void writeBanner(std::FILE* out);

// Reads the options in order; a stop ends the run (usage, bad option).
Stop parseOptions(const std::vector<std::string_view>& args, DumpSettings& settings);

}  // namespace rv::brimsel
