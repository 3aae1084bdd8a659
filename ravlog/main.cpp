// ravlog: the history utility. main adds the standard streams and the
// run's single exit to the run.
#include <csignal>
#include <ctime>
#include <new>
#include <string_view>
#include <vector>

#include "core/program_text.h"
#include "ravlog/ravlog_run.h"

int main(int argc, char** argv) {
    // A write past a file size limit must fail with an error, not kill the
    // run in the middle of a history rewrite.
    std::signal(SIGXFSZ, SIG_IGN);
    rv::ExitRequest ending{0, {}};
    try {
        rv::writeRavlogBanner(stdout);
        rv::RavlogRun run(std::time(nullptr));
        rv::FileOpener opener;
        std::vector<std::string_view> args(argv + 1, argv + argc);
        if (rv::Stop stop = rv::runRavlog(run, args, opener)) ending = *stop;
    } catch (const std::bad_alloc&) {
        ending = rv::failure("Memory allocation failed\n");
    }
    return rv::finishRun(ending);
}
