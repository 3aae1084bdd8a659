// The record list of `histgen write`: a small text naming one record per
// line, so that tests can spell out exactly which records a file holds.
//
//   # comment                      blank lines and lines from '#' on are skipped
//   2:5020/100.0 2024-03-05T10:15:00 dur=60 rcvd=1000 sent=2048 flags=0x0d cost=3
//   ANSWER 2024-03-05T10:00:00 dur=30      The Brake! event (ANSWER DIAL TERMINAL BBS EXTERNAL)
//   SKIP 254 2024-03-05T10:00:00           record the readers skip: a type 4 code or a type 7 kind
//   DUMMY 2024-03-05T00:00:00              type 8 first record, dropped by the readers
//   HEADER 2024-03-05T00:00:00             time in the type 4 file header
//
// A session line starts with the address zone:net/node[.point] (signed
// numbers; a missing point is 0) and its start time; then, in any order:
// dur, rcvd, sent, flags, cost, spare (numbers, decimal or 0x hex), status
// (type 6 status word or type 8 status byte as stored), kind (type 7 record
// kind) and, for type 4, rcvd=a+b+c / sent=a+b+c for the three counters.
// A time is YYYY-MM-DDTHH:MM[:SS] (the history's own clock: seconds since
// 1970 for the 32-bit formats, the calendar fields for type 8) or a plain
// number of seconds since 1970.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/history_writer.h"

namespace rv::histgen {

struct ListError {
    int line;
    std::string message;
};

// Writes every record of the list with the writer; the first error stops.
std::optional<ListError> writeRecordList(std::string_view text, HistoryWriter& writer);

// YYYY-MM-DD[THH:MM[:SS]] as UTC seconds, or a plain number of seconds.
std::optional<std::uint32_t> parseTime(std::string_view text);

// Decimal or 0x-prefixed hexadecimal, within 32 bits.
std::optional<std::uint32_t> parseNumber(std::string_view text);

}  // namespace rv::histgen
