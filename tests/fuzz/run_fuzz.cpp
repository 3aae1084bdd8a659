// A whole run of ravlog or pondrel over a fixed configuration whose lines
// all read the fuzzed history: as a plain file, as a BinkD line, and as an
// .OHS/.IHS pair whose twin is the rest of the input. ravlog's three
// report files go to the scratch directory, pondrel's report to the sink.
//
// Input: a control byte (bit 0 picks the program, the others its
// options), a 16-bit little-endian length of the first file, then the
// first file and its twin.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_source.h"
#include "fuzz_support.h"
#include "pondrel/pondrel_run.h"
#include "ravlog/ravlog_run.h"

namespace rv::fuzz {
namespace {

const char configText[] =
    "[COMMON]\n"
    "TimeShift 0\n"
    "BusyHist TIOPU$\n"
    "Group Yes\n"
    "MiddLine Group\n"
    "ProtectSummary Yes\n"
    "BrakeSesStat ABDTE\n"
    "Addr !2:5020/9999\n"
    "Addr 2:5020/#           \"Moscow\"\n"
    "Addr 2:*                \"Zone 2\"\n"
    "Addr 1:3634/12          \"Friend\"\n"
    "Addr *:*/*.#\n"
    "Addr ANSWER\n"
    "Addr BBS\n"
    "[LINE]\n"
    "History h.his\n"
    "Name \"Plain\"\n"
    "[LINE]\n"
    "History b.his,2,1\n"
    "BinkDAborted Out\n"
    "AdvancedCPS Yes\n"
    "[LINE]\n"
    "History p.ohs\n"
    "TimeShift AUTO\n"
    "SwapInOut Yes\n"
    "[LINE]\n"
    "History absent.his\n";

const char* const ravlogWindows[] = {"-t0-24", "-t22:30-6", "-t9-9:45", "-t23-0"};
const char* const ravlogMasks[] = {"-b+", "-b-", "-bTIO", "-bPU$"};

std::vector<std::string> ravlogArguments(std::uint8_t c) {
    const std::string& dir = scratchDir();
    std::vector<std::string> args{
        "-cfuzz.ctl", "-e" + dir + "/ses",       "-l" + dir + "/lnk",    "-o" + dir + "/out",
        "-d5.3.2024", ravlogWindows[c >> 1 & 3], ravlogMasks[c >> 3 & 3]};
    if (c & 0x20) args.emplace_back("-g");
    if (c & 0x40) args.emplace_back("-k+");
    if (c & 0x80) args.emplace_back("-n");
    return args;
}

std::vector<std::string> pondrelArguments(std::uint8_t c) {
    std::vector<std::string> args{"-cfuzz.ctl"};
    if (c & 0x02)
        args.emplace_back("-d3");
    else
        args.insert(args.end(), {"-b1.3.2024", "-e6.3.2024"});
    if (c & 0x04) args.emplace_back("-u-");
    if (c & 0x08) args.emplace_back("-g");
    if (c & 0x10) args.emplace_back("-k+");
    if (c & 0x20) args.emplace_back("-hx.ihs");
    return args;
}

}  // namespace
}  // namespace rv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rv;
    using namespace rv::fuzz;
    const std::time_t now = prepareClock();
    InputCursor in(data, size);
    const std::uint8_t control = in.byte();
    PairPayload payload = splitPair(in);

    MemoryOpener opener;
    opener.add("fuzz.ctl",
               std::vector<std::uint8_t>(configText, configText + sizeof configText - 1));
    opener.add("h.his", payload.first);
    opener.add("b.his", payload.first);
    opener.add("p.ohs", payload.first);
    opener.add("p.ihs", payload.twin);
    opener.add("x.ihs", payload.whole);

    if ((control & 1) == 0) {
        const std::vector<std::string> args = ravlogArguments(control);
        ravlog::Run run(now, sink(), sink());
        checkStop(runRavlog(run, std::vector<std::string_view>(args.begin(), args.end()), opener));
    } else {
        const std::vector<std::string> args = pondrelArguments(control);
        pondrel::Run run(now, sink());
        checkStop(runPondrel(run, std::vector<std::string_view>(args.begin(), args.end()), opener,
                             sink()));
    }
    return 0;
}
