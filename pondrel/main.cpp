// pondrel: link statistics over a period of days. main adds the standard
// streams and the run's single exit.
#include <ctime>
#include <new>
#include <string_view>
#include <vector>

#include "core/program_text.h"
#include "pondrel/pondrel_run.h"

int main(int argc, char** argv) {
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
