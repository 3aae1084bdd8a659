// What ravlog reports, as plain values: the rows of the lines' sessions
// tables (made one at a time while the histories are read, so that no
// history is held in memory), and, once every line is read, the report:
// the lines with what each gathered, the links and group rows, the link
// histories, the busy charts, the totals box and the settings that shape
// them. The text, JSON and HTML writers render it and read nothing else.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "core/config_model.h"
#include "core/history_type.h"
#include "core/session_record.h"
#include "ravlog/chart_blocks.h"
#include "ravlog/report_period.h"
#include "stats/address_book.h"
#include "stats/chart_layout.h"
#include "stats/line_stats.h"
#include "stats/link_rows.h"

namespace rv::ravlog {

struct Run;

// What a line gathered while its history was read.
struct LineResult {
    std::string history;  // the line's history file as configured (a pair's first file)
    bool opened = false;
    HistoryType type = HistoryType::none;
    LineTotals totals;
    BusyHistogram busy;
};

enum class SessionDirection : std::uint8_t { none, in, out };

// One row of a line's sessions table.
struct SessionRow {
    std::tm start{};  // the shifted start, in the history's clock
    SessionDirection direction = SessionDirection::none;  // in also when both are set
    FidoAddress address;
    bool protectedMark = false;  // P: protected, on a line whose type records it
    bool abortedMark = false;    // A: aborted, on a line whose type records it
    std::uint64_t duration = 0;  // what the line accounted (a stored 0 counts 1)
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
    std::uint64_t cps = 0;  // of this session alone
};

SessionRow sessionRow(const SessionRecord& r, const std::tm& shown, HistoryType type);

// The Total under a line's sessions table: a session marked both ways
// counts twice and one marked neither way not at all, as the rows show
// them. Its other figures are the line's counters as they are, its CPS
// after the line's AdvancedCPS correction.
inline std::uint64_t footerSessions(const LineTotals& t) {
    return t.sessionsIn + t.sessionsOut;
}

// One row of a link or group history in the sessions history file, or,
// among the links, the place of a group that had sessions (MiddLine Group
// draws a separator there).
struct HistoryItem {
    bool groupMark = false;
    LinkRow figures;
};

// The totals box: all lines together, and the protected and unprotected
// parts when the box shows them.
struct TotalsBox {
    TrafficCounters all;
    bool showsProtection = false;
    TrafficCounters protectedOnly;
    TrafficCounters unprotected;
};

// A configured line, read or not, and what it gathered: views of the
// run's, valid while it lives.
struct ReportLine {
    const Line* line;
    const LineResult* result;
};

struct Report {
    PeriodView period;
    const ChartLayout* layout = nullptr;  // the charts' geometry over the window
    ShowValueMode showValue = ShowValueMode::ses;
    MiddLineMode middLine = MiddLineMode::no;
    bool protectedMarks = false;      // a protected session was counted: the links' P column
    int openedLines = 0;              // lines whose history was read
    std::vector<ReportLine> lines;    // every configured line, in order
    LinkTables tables;                // the links statistic's rows
    bool linkHistory = false;         // some link is printable: the link history is drawn
    std::vector<HistoryItem> links;   // its rows, with the marks of groups between them
    std::vector<HistoryItem> groups;  // the group history, when tables.groupTable
    std::vector<ChartBlock> charts;   // the lines' busy charts, in drawing order
    TotalsBox totals;
};

// After the last line, with the address entries finished.
Report makeReport(const Run& run);

// The period of the run as the reports show it.
PeriodView periodView(const Run& run);

}  // namespace rv::ravlog
