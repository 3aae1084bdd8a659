// One run of pondrel: options, period check, configuration, every
// history read whole through the record filter, then the report.
#pragma once

#include <cstdio>
#include <ctime>
#include <string_view>
#include <vector>

#include "core/byte_source.h"
#include "core/exit_request.h"
#include "pondrel/run_state.h"

namespace rv::pondrel {

// The run up to the report; out receives the report when the run gets
// that far (standard output, or the file of -o when openOutput opens it).
Stop runPondrel(Run& run, const std::vector<std::string_view>& args, SourceOpener& opener,
                std::FILE* standardOut);

// The record filter's period test: whether a record at local time t is
// counted, updating earliest and latest, with shown beside them (the
// record's time as the report prints it).
bool passesPeriod(Run& run, std::time_t t, std::int64_t shown);

}  // namespace rv::pondrel
