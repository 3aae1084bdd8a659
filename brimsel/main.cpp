// brimsel: the history dump. Option parsing and the run's one ending.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <new>
#include <string_view>
#include <vector>

#include "brimsel/brimsel_run.h"
#include "core/program_text.h"

namespace {

rv::Stop run(int argc, char** argv) {
    using namespace rv;
    brimsel::writeBanner(stdout);
    brimsel::DumpSettings settings;
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (Stop stop = brimsel::parseOptions(args, settings)) return stop;
    FileOpener opener;
    auto config = opener.open(settings.config.settings.configPath);
    if (!config) return failure(cantOpen(settings.config.settings.configPath, opener.failure()));
    if (Stop stop = brimsel::readConfig(*config, settings, std::time(nullptr))) return stop;
    config.reset();
    return brimsel::dumpLines(settings, opener, stdout, stderr);
}

}  // namespace

int main(int argc, char** argv) {
    // A write past a file size limit must fail with an error that is
    // reported, not kill the run.
    std::signal(SIGXFSZ, SIG_IGN);
    rv::ExitRequest ending{0, {}};
    try {
        if (rv::Stop stop = run(argc, argv)) ending = *stop;
    } catch (const std::bad_alloc&) {
        ending = rv::failure("Memory allocation failed\n");
    }
    return rv::finishRun(ending);
}
