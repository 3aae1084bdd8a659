// One run of ravlog, from the command line to the last report. The run's
// state is one value passed down; the program's main only adds the
// standard streams and the single exit.
#pragma once

#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "core/byte_source.h"
#include "core/config_model.h"
#include "core/dates.h"
#include "core/exit_request.h"
#include "core/local_clock.h"
#include "core/report_file.h"
#include "ravlog/cut_io.h"
#include "ravlog/options.h"
#include "stats/address_book.h"
#include "stats/chart_layout.h"
#include "stats/line_stats.h"

namespace rv {

// What a line gathered while its history was read.
struct LineResult {
    bool opened = false;
    HistoryType type = 0;
    LineTotals totals;
    BusyHistogram busy;
};

struct RavlogRun {
    explicit RavlogRun(std::time_t now, std::FILE* out = stdout, std::FILE* err = stderr)
        : clock(makeRunClock(now)), out(out), err(err) {}

    RunClock clock;
    std::FILE* out;
    std::FILE* err;
    Configuration config;
    RavlogOptions options;
    ReportPeriod period;
    const ChartLayout* layout = nullptr;
    std::unique_ptr<AddressBook> book;
    std::vector<LineResult> lines;  // parallel to config.lines
    int openedLines = 0;
    bool hasProtectedSessions = false;
    PrintableCounts printable;
    ReportFile sessionsFile;
    ReportFile linksFile;
    ReportFile historyFile;
    CutProbe* cutProbe = nullptr;  // set by the fault tests only
};

// The whole run after the banner; a stop is how it ends early.
Stop runRavlog(RavlogRun& run, const std::vector<std::string_view>& args, SourceOpener& opener);

// The program: banner, run, the single exit. cutProbe is null but in the
// test program that proves the cut's journal.
int ravlogMain(int argc, char** argv, CutProbe* cutProbe);

}  // namespace rv
