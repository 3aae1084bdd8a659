// One row of brimsel's dump: a history record exactly as the readers see
// it, with its file, its time as the dump shows it and its flags with the
// direction of a pair file, and its fields in the data forms. The text,
// JSON Lines and CSV writers render it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/direction.h"
#include "core/fido_address.h"
#include "core/history_type.h"
#include "core/session_kind.h"
#include "core/session_record.h"

namespace rv::brimsel {

// Whether ravlog counts the record as an aborted session: after the
// line's direction rules it lacks `normal` (a BinkD record, which has no
// such flag, when both directions are set). An event of The Brake! is no
// session.
enum class Aborted : std::uint8_t { no, yes, noSession };

struct DumpRow {
    std::string_view file;  // the path as the "File:" line shows it
    HistoryType type = HistoryType::none;
    FidoAddress address;  // the stored values; an event holds its key
    // The stored time plus the line's shift, to be broken down as UTC;
    // negative when it cannot be.
    std::int64_t start = 0;
    std::uint32_t duration = 0;
    std::uint32_t received = 0;
    std::uint32_t sent = 0;
    std::uint16_t flags = 0;  // as stored, with the direction of an .IHS/.OHS file
    Aborted aborted = Aborted::no;
};

// The fields of a row in the data forms, in the order of dumpColumns: the
// JSON Lines keys and the CSV columns. A new field is its row there, its
// name here and its value in the data writer (dump_writers.cpp), whose
// switch over DumpField has no default.
enum class DumpField : std::uint8_t {
    file,
    type,
    address,
    zone,
    net,
    node,
    point,
    start,
    duration,
    received,
    sent,
    incoming,
    outgoing,
    normal,
    protectedMark,
    kind,
    aborted
};

struct DumpColumn {
    std::string_view key;
    DumpField field;
    std::uint16_t flag = 0;  // the stored flag a yes-or-no field shows
};

inline constexpr std::array dumpColumns{
    DumpColumn{"file", DumpField::file},
    DumpColumn{"type", DumpField::type},
    DumpColumn{"address", DumpField::address},
    DumpColumn{"zone", DumpField::zone},
    DumpColumn{"net", DumpField::net},
    DumpColumn{"node", DumpField::node},
    DumpColumn{"point", DumpField::point},
    DumpColumn{"start", DumpField::start},
    DumpColumn{"duration", DumpField::duration},
    DumpColumn{"received", DumpField::received},
    DumpColumn{"sent", DumpField::sent},
    DumpColumn{"incoming", DumpField::incoming, SessionFlags::incoming},
    DumpColumn{"outgoing", DumpField::outgoing, SessionFlags::outgoing},
    DumpColumn{"normal", DumpField::normal, SessionFlags::normal},
    DumpColumn{"protected", DumpField::protectedMark, SessionFlags::protectedSession},
    DumpColumn{"kind", DumpField::kind},
    DumpColumn{"aborted", DumpField::aborted},
};

// The fields every row of a file shares, which lead.
inline constexpr std::size_t fileFields = 2;

// Row i holds DumpField i, the file's fields first.
inline constexpr bool dumpColumnsInOrder = [] {
    for (std::size_t i = 0; i < dumpColumns.size(); ++i)
        if (static_cast<std::size_t>(dumpColumns[i].field) != i) return false;
    return dumpColumns[0].field == DumpField::file && dumpColumns[1].field == DumpField::type;
}();
static_assert(dumpColumnsInOrder, "DumpField and dumpColumns must list the fields alike");

// Fills the row of record r, read from the file with the reader's
// direction, for a line with the TimeShift in hours and its direction rules.
inline void fillDumpRow(DumpRow& row, const SessionRecord& r, std::uint16_t direction,
                        std::int16_t timeShift, const LineDirectionRules& rules) {
    row.address = r.address;
    row.start = std::int64_t{static_cast<std::int32_t>(r.startTime)} + timeShift * 3600;
    row.duration = r.duration;
    row.received = r.bytesReceived;
    row.sent = r.bytesSent;
    row.flags = r.flags | direction;
    row.aborted = r.has(SessionFlags::kindMask) ? Aborted::noSession
                  : applyDirectionRules(row.flags, rules) & SessionFlags::normal ? Aborted::no
                                                                                 : Aborted::yes;
}

// The The Brake! event kind the flags carry, or nullptr for a mail session.
const SessionKind* eventKind(std::uint16_t flags);

// The Address cell, 15 columns, of the addresses a history holds, kept in
// a small direct-mapped table: a node's history has a few hundred links,
// so nearly every row finds its text there, and only an address not seen
// lately is formatted (and compared with the event keys).
class AddressCells {
  public:
    static constexpr std::size_t width = 15;

    AddressCells() : slots_(slotCount) {}

    // The cell of a (an event's display text, else zone:net/node.point),
    // width characters without a terminator, valid until the next call.
    const char* cell(const FidoAddress& a) {
        const std::uint64_t key = static_cast<std::uint16_t>(a.zone) |
                                  std::uint64_t{static_cast<std::uint16_t>(a.net)} << 16 |
                                  std::uint64_t{static_cast<std::uint16_t>(a.node)} << 32 |
                                  std::uint64_t{static_cast<std::uint16_t>(a.point)} << 48;
        // Fibonacci hashing: the top bits of the product spread the few
        // bits in which the addresses of a node's links differ.
        Slot& slot = slots_[(key * 0x9E3779B97F4A7C15ull) >> (64 - slotBits)];
        if (!slot.used || slot.key != key) fill(slot, key, a);
        return slot.text.data();
    }

    std::string_view view(const FidoAddress& a) { return {cell(a), width}; }

  private:
    static constexpr int slotBits = 11;
    static constexpr std::size_t slotCount = std::size_t{1} << slotBits;

    struct Slot {
        std::uint64_t key = 0;
        std::array<char, width> text{};
        bool used = false;
    };

    static void fill(Slot& slot, std::uint64_t key, const FidoAddress& a);

    std::vector<Slot> slots_;
};

}  // namespace rv::brimsel
