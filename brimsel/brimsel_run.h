// brimsel: dumps every record of every configured history as a table row.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_source.h"
#include "core/exit_request.h"
#include "core/history_source.h"

namespace rv::brimsel {

inline constexpr std::int16_t timeShiftUnset = 0x7FFF;

struct DumpLine {
    HistorySource source;
    std::int16_t timeShift = timeShiftUnset;
};

struct DumpSettings {
    std::string configPath = "ravlog.ctl";
    bool ascii = false;
    bool supportNewFormat = true;
    std::int16_t commonTimeShift = 0;
    std::vector<DumpLine> lines;
    bool sawLineSection = false;
    bool lastLineHasHistory = true;
};

extern const char* const usageText;
void writeBanner(std::FILE* out);

// Reads the options in order; a stop ends the run (usage, bad option).
Stop parseOptions(const std::vector<std::string_view>& args, DumpSettings& settings);

// Reads the configuration text with brimsel's own rules and fills in the
// unset time shifts.
Stop readConfig(ByteSource& config, DumpSettings& settings, std::time_t now);

// Writes the table of every line (and of the twin of a pair) to out;
// files that cannot be opened are reported on err.
void dumpLines(DumpSettings& settings, SourceOpener& opener, std::FILE* out, std::FILE* err);

}  // namespace rv::brimsel
