// The day archive over hostile databases: the input's bytes are the
// archive, written to a file of the scratch directory (SQLite reads a
// file), which the reader opens as pondrel does and hands every day and
// sums it takes; then a whole pondrel or ravlog run over it, ravlog
// recording the days of two small histories (a BinkD line and The
// Brake!) into it. Whatever the bytes, every day and sums taken must be
// within the ranges the checks promise, and every stop has a message and
// status 255.
//
// Input: a control byte (bit 0 picks pondrel or ravlog, bits 1-2 the
// first day read), then the database.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "archive/day_archive.h"
#include "archive/row_checks.h"
#include "core/byte_source.h"
#include "core/session_record.h"
#include "fuzz_support.h"
#include "pondrel/pondrel_run.h"
#include "ravlog/ravlog_run.h"
#include "tools/record_list.h"

namespace rv::fuzz {
namespace {

const char configText[] =
    "[COMMON]\n"
    "Group Yes\n"
    "BrakeSesStat ABDTE\n"
    "Addr 2:5020/#\n"
    "Addr *:*/*.*\n"
    "Addr ANSWER\n"
    "[LINE]\n"
    "History a.his,2,1\n"
    "[LINE]\n"
    "History b.his\n";

// The histories the seeds were recorded from: a.his (a BinkD line) and
// b.his (The Brake!) on 4 and 5 March 2024.
const char sessions[] =
    "2:5020/100.0 2024-03-05T10:15:00 dur=0 rcvd=1000 sent=2048 flags=0x0d\n"
    "2:5020/9999 2024-03-05T23:59:59 dur=86400 flags=0x03\n"
    "1:3634/12.5 2024-03-05T00:00:00 dur=600 rcvd=4294967295 sent=1 flags=0x06\n"
    "2:5020/7 2024-03-04T22:00:00 dur=7200 flags=0x01\n";
const char events[] =
    "ANSWER 2024-03-05T10:00:00 dur=30\n"
    "BBS 2024-03-05T10:01:00 dur=0\n"
    "2:5020/100 2024-03-04T10:02:00 dur=3 rcvd=5 flags=0x05\n";

MemoryOpener& files() {
    static MemoryOpener opener = [] {
        MemoryOpener files;
        for (const auto& [name, type, list] : {std::tuple{"a.his", HistoryType::binkd, sessions},
                                               {"b.his", HistoryType::brake, events}}) {
            histgen::HistoryWriter writer(type);
            if (histgen::writeRecordList(list, writer)) std::abort();
            files.add(name, writer.bytes());
        }
        files.add("fuzz.ctl",
                  std::vector<std::uint8_t>(configText, configText + sizeof configText - 1));
        return files;
    }();
    return opener;
}

// What the reader hands on is within the checks' ranges.
void checkDay(const ArchivedDay& d) {
    const std::int64_t start = d.day * 86400;
    if (d.day < 0 || d.records > archivedRecordLimit || d.firstTime > d.lastTime ||
        d.firstTime < start - 2 * 86400 || d.lastTime >= start + 3 * 86400)
        std::abort();
}
// And no sum of all the sums of an input wraps.
using Totals = std::array<std::uint64_t, std::size(archivedCounters) + 1>;
void checkSums(const ArchivedSums& s, Totals& totals) {
    const TrafficCounters& c = s.counters;
    if (s.address.zone <= 0 || s.address.net < 0 || s.address.node < 0 || s.address.point < 0 ||
        (s.kind & ~SessionFlags::kindMask) != 0 || c.sessions == 0 ||
        s.protectedSessions > c.sessions)
        std::abort();
    std::size_t i = 0;
    for (const auto counter : archivedCounters) {
        if (__builtin_add_overflow(totals[i], c.*counter, &totals[i])) std::abort();
        ++i;
    }
    if (__builtin_add_overflow(totals[i], s.protectedSessions, &totals[i])) std::abort();
}

}  // namespace
}  // namespace rv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rv;
    using namespace rv::fuzz;
    const std::time_t now = prepareClock();
    InputCursor in(data, size);
    const std::uint8_t control = in.byte();
    // A file of its own for every input: nothing of the last one's journal
    // may carry over.
    const std::string path = scratchDir() + "/archive.db";
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        ::unlink((path + suffix).c_str());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(in.rest()),
               static_cast<std::streamsize>(in.restSize()));

    {
        Totals totals{};
        DayArchive archive;
        if (archive.open(path, DayArchive::Access::read)) {
            const std::int64_t firstDay = daysFromCivil(2024, 3, 3 + (control >> 1 & 3));
            // A damaged archive is refused with its reason: each line is read
            // for its checks whatever the other's reading found.
            for (const char* line : {"a.his", "b.his"})
                static_cast<void>(archive.readDays(
                    line, firstDay, [](const ArchivedDay& d) { checkDay(d); },
                    [&totals](std::int64_t, const ArchivedSums& s) { checkSums(s, totals); }));
        }
    }
    MemoryOpener& opener = files();
    if ((control & 1) == 0) {
        const std::vector<std::string> args{"-cfuzz.ctl", "-b1.3.2024", "-e6.3.2024", "-r" + path};
        pondrel::Run run(now, sink());
        const Stop stop = runPondrel(run, std::vector<std::string_view>(args.begin(), args.end()),
                                     opener, sink());
        checkStop(stop);
    } else {
        const std::string& dir = scratchDir();
        const std::vector<std::string> args{"-cfuzz.ctl",        "-e" + dir + "/ses",
                                            "-l" + dir + "/lnk", "-o" + dir + "/out",
                                            "-r" + path,         "-d5.3.2024"};
        ravlog::Run run(now, sink(), sink());
        const Stop stop =
            runRavlog(run, std::vector<std::string_view>(args.begin(), args.end()), opener);
        checkStop(stop, {.toldOnWarnings = run.archiveFailed});
    }
    return 0;
}
