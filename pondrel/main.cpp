// pondrel: link statistics over a period of days. main adds the standard
// streams and the run's single exit.
#include <csignal>
#include <ctime>
#include <new>
#include <string_view>
#include <vector>

#include "core/program_text.h"
#include "pondrel/pondrel_run.h"

int main(int argc, char** argv) {
    // A write past a file size limit must fail with an error that is
    // reported, not kill the run.
    std::signal(SIGXFSZ, SIG_IGN);
    rv::ExitRequest ending{0, {}};
    try {
        rv::pondrel::writeBanner(stderr);
        rv::pondrel::Run run(std::time(nullptr));
        rv::FileOpener opener;
        std::vector<std::string_view> args(argv + 1, argv + argc);
        if (rv::Stop stop = rv::pondrel::runPondrel(run, args, opener, stdout)) ending = *stop;
    } catch (const std::bad_alloc&) {
        ending = rv::failure("Memory allocation failed\n");
    }
    return rv::finishRun(ending);
}
