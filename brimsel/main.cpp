// brimsel: the history dump. main adds the standard streams to the run.
#include <cstdio>
#include <ctime>

#include "brimsel/brimsel_run.h"
#include "core/program_main.h"

int main(int argc, char** argv) {
    return rv::programMain(argc, argv, [](const rv::ProgramArgs& args) {
        rv::brimsel::DumpSettings settings;
        rv::FileOpener opener;
        return rv::brimsel::runBrimsel(settings, args, opener, std::time(nullptr), stdout, stderr);
    });
}
