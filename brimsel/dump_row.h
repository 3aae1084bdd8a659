// One row of brimsel's dump: a history record exactly as the readers see
// it, with its file, its time as the dump shows it and its flags with the
// direction of a pair file. The text, JSON Lines and CSV writers render it.
#pragma once

#include <cstdint>
#include <ctime>
#include <string_view>

#include "core/fido_address.h"
#include "core/history_type.h"
#include "core/session_kind.h"
#include "core/session_record.h"
#include "core/time_text.h"

namespace rv::brimsel {

struct DumpRow {
    std::string_view file;  // the path as the "File:" line shows it
    HistoryType type = 0;
    FidoAddress address;  // the stored values; an event holds its key
    bool startKnown = false;
    std::tm start{};  // the stored time plus the line's shift, broken down as UTC
    std::uint32_t duration = 0;
    std::uint32_t received = 0;
    std::uint32_t sent = 0;
    std::uint16_t flags = 0;  // as stored, with the direction of an .IHS/.OHS file
};

// Fills the row of record r, read from the file with the reader's
// direction, for a line with the TimeShift in hours.
void fillDumpRow(DumpRow& row, const SessionRecord& r, std::uint16_t direction,
                 std::int16_t timeShift, UtcDayCache& days);

// The The Brake! event kind the flags carry, or nullptr for a mail session.
const SessionKind* eventKind(std::uint16_t flags);

}  // namespace rv::brimsel
