// brimsel: dumps every record of every configured history as a table row.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "brimsel/options.h"
#include "core/byte_source.h"
#include "core/config_model.h"
#include "core/config_reader.h"
#include "core/exit_request.h"
#include "core/file_directory.h"
#include "core/history_source.h"
#include "core/report_format.h"

namespace rv::brimsel {

// Reads the configuration text with brimsel's rule set (History,
// TimeShift, SupportNewFormat and the section headers take effect) and
// fills in the unset time shifts.
Stop readConfig(ByteSource& config, DumpSettings& settings, std::time_t now);

// Writes the records of every line (and of the twin of a pair) to out in
// the settings' format; files that cannot be opened are reported on err.
// Stops with status 255 (its messages already on err) when out could not
// be written or not a single history could be read.
Stop dumpLines(DumpSettings& settings, SourceOpener& opener, std::FILE* out, std::FILE* err);

// The whole run: options, banner (on out, or on err when the dump is
// data), the filter's dates, configuration (read through opener at the clock's now), then the
// dump. A stop is how it ends early.
Stop runBrimsel(DumpSettings& settings, const std::vector<std::string_view>& args,
                SourceOpener& opener, std::time_t now, std::FILE* out, std::FILE* err);

}  // namespace rv::brimsel
