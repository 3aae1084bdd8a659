// One line of binkd's text log and the few messages of it that make up a
// session. binkd writes every line as "%c %02d %s %02d:%02d:%02d [%u] %s":
// the mark of the message's level, the day of the month, the English
// month, the local wall-clock time, the process id and the message. A
// line is parsed in place; the message stays a view of the caller's bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/fido_address.h"

namespace rv {

struct BinkdLogLine {
    char mark = ' ';                // '!' '?' '+' '-' for levels 0 to 3, ' ' above
    unsigned month = 1;             // 1..12
    unsigned day = 1;               // 1..31
    std::uint32_t secondOfDay = 0;  // 0..86400: a leap second's :60 is taken as written
    std::uint32_t pid = 0;
    std::string_view message;
};

// The line (without its newline; a carriage return before it is dropped),
// or nullopt when it does not have binkd's form exactly.
std::optional<BinkdLogLine> parseBinkdLogLine(std::string_view line);

// Whether text begins with a line's form up to its message,
// "X DD Mon HH:MM:SS [digits] " with X one of binkd's marks: what a text
// log's first line shows and no history of a binary format can.
bool startsWithBinkdLineHead(std::string_view text);

// ---- Messages ----------------------------------------------------------------

// binkd's "done (%s%s, %s, S/R: %i/%i (%ju/%ju bytes))": its first %s is
// "to " for a call this binkd made, "from " for one it answered, empty when
// the remote never named an address; the second the remote's first
// address, or "?". S/R lists what was sent first.
struct BinkdSessionEnd {
    enum class Side { to, from, unknown };
    Side side = Side::unknown;
    FidoAddress address;  // all zero for "?" or an address out of range
    bool ok = false;
    std::uint64_t filesSent = 0;
    std::uint64_t filesReceived = 0;
    std::uint64_t bytesSent = 0;
    std::uint64_t bytesReceived = 0;
};

struct BinkdMessage {
    enum class Kind { other, sessionStart, passwordProtected, sessionEnd };
    Kind kind = Kind::other;
    bool outgoing = false;  // sessionStart: "outgoing session with" rather than "incoming"
    BinkdSessionEnd end;    // sessionEnd only
};

// What the message of a line tells of its process's session.
BinkdMessage classifyBinkdMessage(std::string_view message);

}  // namespace rv
