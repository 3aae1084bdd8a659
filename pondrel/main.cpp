// pondrel: link statistics over a period of days. main adds the standard
// streams to the run.
#include <cstdio>
#include <ctime>

#include "core/program_main.h"
#include "core/program_options.h"
#include "pondrel/pondrel_run.h"

int main(int argc, char** argv) {
    return rv::programMain(argc, argv, [](const rv::ProgramArgs& args) {
        if (!rv::bannerLeftOut(args)) rv::pondrel::writeBanner(stderr);
        rv::pondrel::Run run(std::time(nullptr));
        rv::FileOpener opener;
        return rv::pondrel::runPondrel(run, args, opener, stdout);
    });
}
