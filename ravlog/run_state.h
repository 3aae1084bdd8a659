// The state of one ravlog run, passed down from the driver to every unit:
// the clock, the configuration, the chart layout, the address entries,
// what each line gathered and the report files.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/config_model.h"
#include "core/dates.h"
#include "core/file_directory.h"
#include "core/local_clock.h"
#include "core/report_file.h"
#include "ravlog/cut/cut_io.h"
#include "ravlog/json_report.h"
#include "ravlog/options.h"
#include "stats/address_book.h"
#include "stats/chart_layout.h"
#include "stats/line_stats.h"

namespace rv::ravlog {

struct Run {
    explicit Run(std::time_t now, std::FILE* out = stdout, std::FILE* err = stderr)
        : clock(makeRunClock(now)), out(out), err(err) {}

    RunClock clock;
    std::FILE* out;
    std::FILE* err;
    Configuration config;
    Options options;
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
    CutProbe* cutProbe = nullptr;      // set by the fault tests only
    bool archiveFailed = false;        // the archive could not be written: nothing is cut
    std::unique_ptr<JsonReport> json;  // when a JSON report is asked for
    ReportFile jsonFile;
    ReportFile htmlFile;  // open when an HTML report is asked for
    // Where a text log's rotated copies are looked for (memory in tests).
    std::unique_ptr<FileDirectory> directory = std::make_unique<SystemDirectory>();
};

}  // namespace rv::ravlog
