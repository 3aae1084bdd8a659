// brimsel: the history dump. main adds the standard streams and the run's
// single exit to the run.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <new>
#include <string_view>
#include <vector>

#include "brimsel/brimsel_run.h"
#include "core/program_text.h"

int main(int argc, char** argv) {
    // A write past a file size limit must fail with an error that is
    // reported, not kill the run.
    std::signal(SIGXFSZ, SIG_IGN);
    rv::ExitRequest ending{0, {}};
    try {
        rv::brimsel::DumpSettings settings;
        rv::FileOpener opener;
        std::vector<std::string_view> args(argv + 1, argv + argc);
        if (rv::Stop stop =
                rv::brimsel::runBrimsel(settings, args, opener, std::time(nullptr), stdout, stderr))
            ending = *stop;
    } catch (const std::bad_alloc&) {
        ending = rv::failure("Memory allocation failed\n");
    }
    return rv::finishRun(ending);
}
