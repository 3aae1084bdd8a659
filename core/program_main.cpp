#include "core/program_main.h"

#include <csignal>
#include <new>

#include "core/program_text.h"

namespace rv {

ExitRequest runShell(int argc, char** argv, const ProgramBody& body) {
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        if (Stop stop = body(ProgramArgs(argv + 1, argv + argc))) return *stop;
    } catch (const std::bad_alloc&) {
        return failure("Memory allocation failed\n");
    }
    return {0, {}};
}

int programMain(int argc, char** argv, const ProgramBody& body) {
    return finishRun(runShell(argc, argv, body));
}

}  // namespace rv
