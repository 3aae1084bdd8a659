// ravlog and pondrel over a fixed node with a fuzzed configuration: the
// histories are histgen's seeded node of 4 and 5 March 2024 (the names of
// examples/demo.ctl), so that names, labels, masks, windows, groups and
// per-line settings from the text reach every report. ravlog's reports go
// to the scratch directory (the options fix their paths, so the keywords
// cannot move them: JsonReport and HtmlReport are written there or not at
// all, and no Archive is read or written), pondrel's to the sink.
//
// Input: a control byte (bit 0 picks the program, bit 1 ravlog's JSON and
// HTML reports), then the configuration. A text that names CUTHISTORY is
// passed over: cutting rewrites real files.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_source.h"
#include "core/dates.h"
#include "fuzz_support.h"
#include "pondrel/pondrel_run.h"
#include "ravlog/ravlog_run.h"
#include "tools/node_history.h"

namespace rv::fuzz {
namespace {

MemoryOpener& nodeFiles() {
    static MemoryOpener opener = [] {
        MemoryOpener files;
        histgen::NodeOptions options;
        options.days = 2;
        options.seed = 7;
        options.endDay = daysFromCivil(2024, 3, 5);
        for (histgen::GeneratedFile& f : histgen::generateNode(options))
            files.add(f.name, std::move(f.bytes));
        return files;
    }();
    return opener;
}

bool namesCutting(const std::uint8_t* data, std::size_t size) {
    static constexpr std::string_view keyword = "cuthistory";
    const auto same = [](std::uint8_t a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    };
    return std::search(data, data + size, keyword.begin(), keyword.end(), same) != data + size;
}

}  // namespace
}  // namespace rv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rv;
    using namespace rv::fuzz;
    const std::time_t now = prepareClock();
    InputCursor in(data, size);
    const std::uint8_t control = in.byte();
    if (namesCutting(in.rest(), in.restSize())) return 0;
    MemoryOpener& opener = nodeFiles();
    opener.add("fuzz.ctl", std::vector<std::uint8_t>(in.rest(), in.rest() + in.restSize()));

    if ((control & 1) == 0) {
        const std::string& dir = scratchDir();
        const bool data = (control & 2) != 0;
        const std::vector<std::string> args{"-cfuzz.ctl",
                                            "-e" + dir + "/ses",
                                            "-l" + dir + "/lnk",
                                            "-o" + dir + "/out",
                                            data ? "-j" + dir + "/report.json" : "-j",
                                            data ? "-w" + dir + "/report.html" : "-w",
                                            "-r"};
        ravlog::Run run(now, sink(), sink());
        checkStop(runRavlog(run, std::vector<std::string_view>(args.begin(), args.end()), opener));
    } else {
        const std::vector<std::string_view> args{"-cfuzz.ctl", "-b1.3.2024", "-e6.3.2024", "-r"};
        pondrel::Run run(now, sink());
        checkStop(runPondrel(run, args, opener, sink()));
    }
    return 0;
}
