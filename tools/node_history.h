// A seeded imitation of a node's history files: several lines of
// different mailers over a few dozen links, with the sessions a real
// node sees (protected and not, aborted, zero-length, point sessions,
// sessions across midnight, The Brake! events). The same seed and end
// date give the same bytes everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/history_type.h"
#include "tools/history_writer.h"

namespace rv::histgen {

struct NodeOptions {
    int days = 7;  // days of history, ending with endDay
    std::uint64_t seed = 1;
    std::int64_t endDay = 0;  // the last day, as days since 1970-01-01
};

struct GeneratedFile {
    std::string name;      // file name within the output directory
    HistoryType type;      // the type the readers detect
    std::size_t sessions;  // session and event records (no dummies, no skipped records)
    Bytes bytes;
};

// The files of the node, in a fixed order: binkd.his (type 3, History
// value binkd.his,2,1), plain28.his (2), long100.his (1), brake.his (4),
// pair116.ohs and pair116.ihs (5), status64.his (6), wide316.his (7),
// dated104.ohs and dated104.ihs (8, each beginning with a dummy record).
// Every time is the node's wall clock: seconds since 1970 as if it were
// UTC for the 32-bit formats, calendar fields for type 8.
std::vector<GeneratedFile> generateNode(const NodeOptions& options);

// The sessions of binkd.his in start order, with the flags the node saw
// (incoming or outgoing, normal unless it failed, protected), which
// binkd's binary log does not keep but its text log tells.
std::vector<SessionRecord> binkdLineSessions(const NodeOptions& options);

}  // namespace rv::histgen
