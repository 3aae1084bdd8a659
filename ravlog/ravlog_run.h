// One run of ravlog, from the command line to the last report, and the
// program around it: banner, standard streams and the single exit.
#pragma once

#include <string_view>
#include <vector>

#include "core/byte_source.h"
#include "core/exit_request.h"
#include "ravlog/run_state.h"

namespace rv::ravlog {

// The whole run after the banner; a stop is how it ends early.
Stop runRavlog(Run& run, const std::vector<std::string_view>& args, SourceOpener& opener);

// The program: banner, run, the single exit. cutProbe is null but in the
// test program that proves the cut's journal.
int ravlogMain(int argc, char** argv, CutProbe* cutProbe);

}  // namespace rv::ravlog
