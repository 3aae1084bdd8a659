// Each program's command line. The first byte picks the program; the
// rest is cut into arguments at NUL bytes. Every ending must carry a
// message: the usage text (status 0) or an error (status 255).
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "brimsel/brimsel_run.h"
#include "core/config_model.h"
#include "fuzz_support.h"
#include "pondrel/options.h"
#include "ravlog/options.h"

namespace rv::fuzz {
namespace {

void checkLines(const Configuration& config) {
    for (const Line& line : config.lines)
        if (line.source.path.empty() || line.source.path.size() > maxHistoryPath) std::abort();
}

}  // namespace
}  // namespace rv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rv;
    using namespace rv::fuzz;
    const std::time_t now = prepareClock();
    InputCursor in(data, size);
    const std::uint8_t selector = in.byte();
    const std::vector<std::string_view> args = splitArguments(in.rest(), in.restSize());
    const RunClock clock = makeRunClock(now);

    switch (selector % 3) {
        case 0: {
            Configuration config;
            config.settings.reportDate = clock.midnight;
            ravlog::Options options;
            const Stop stop = parseOptions(args, config, options, clock, sink());
            checkStop(stop, {.usage = true});
            checkLines(config);
            if (!stop) applySwitchOptions(options, config.settings);
            break;
        }
        case 1: {
            Configuration config;
            pondrel::Options options;
            const Stop stop = pondrel::parseOptions(args, config, options, clock, sink());
            checkStop(stop, {.usage = true});
            checkLines(config);
            break;
        }
        case 2: {
            brimsel::DumpSettings settings;
            checkStop(brimsel::parseOptions(args, settings), {.usage = true});
            checkLines(settings.config);
            break;
        }
    }
    return 0;
}
