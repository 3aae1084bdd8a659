// The shell the three programs run in: from main's arguments to the
// status main returns.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "core/exit_request.h"

namespace rv {

using ProgramArgs = std::vector<std::string_view>;
using ProgramBody = std::function<Stop(const ProgramArgs& args)>;

// Runs body on the arguments after the program's name. A write past a
// file size limit fails with an error that the run reports instead of
// killing it (in the middle of a history rewrite, say); memory running
// out ends the run with its message.
ExitRequest runShell(int argc, char** argv, const ProgramBody& body);

// runShell, then the one way a program ends (finishRun).
int programMain(int argc, char** argv, const ProgramBody& body);

}  // namespace rv
