// Which busy charts ravlog draws for its lines, and the values of each:
// for every chart kind (Busy, Incoming, Outgoing, Protected, UnProtected)
// and line, a block when the line's BusyHist mask asks for it, its slots
// scaled per channel on a BinkD line. The text writer (line_charts.h)
// draws them; any other writer shows the same blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "stats/line_stats.h"

namespace rv::ravlog {

struct Run;

enum class ChartKind : std::uint8_t { busy, incoming, outgoing, protectedOnly, unprotected };

// "Busy", "Incoming", ...: the kind as the titles name it.
std::string_view chartKindName(ChartKind kind);
// "busy", "incoming", "outgoing", "protected", "unprotected": the kind as
// the JSON report names it.
std::string_view chartKindKey(ChartKind kind);

struct ChartBlock {
    std::size_t line = 0;  // index in the configuration's lines (read or not)
    ChartKind kind = ChartKind::busy;
    int number = 0;       // the line's place in the list for the title; 0: the only line read
    SlotValues values{};  // seconds per slot, per channel on a BinkD line
    // The share under the chart: the time of its sessions against the
    // seconds the line could be online in the window (Busy: its usage) or
    // against the line's time online (the others).
    std::uint64_t time = 0;
    std::uint64_t whole = 0;
};

// In drawing order: all Busy blocks first (one per line), then Incoming, ...
std::vector<ChartBlock> chartBlocks(const Run& run);

}  // namespace rv::ravlog
