// Writes history files of all eight formats: the inverse of the readers in
// core/history_reader.h. Every field is stored with explicit little-endian
// stores, so the files are the same on every machine. Tests, the demo and
// the benchmarks build their histories with it.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/history_type.h"
#include "core/session_record.h"

namespace rv::histgen {

using Bytes = std::vector<std::uint8_t>;

// A The Brake! file header needs a time above 1991-01-01 to be told apart;
// this one (2001-09-09) serves when the caller names none.
inline constexpr std::uint32_t defaultBrakeHeaderTime = 1000000000;

// Fields that a layout stores on its own terms, for records that the
// session record alone cannot describe (odd status words, split counters,
// skipped kinds).
struct LayoutDetails {
    // Type 6: the status word as stored; type 8: the status byte as stored.
    // Unset: derived from the flags.
    std::optional<std::uint32_t> status;
    // Type 4: the three received and sent counters. Unset: the whole count
    // in the first counter, 0 in the others.
    std::optional<std::array<std::uint32_t, 3>> receivedParts;
    std::optional<std::array<std::uint32_t, 3>> sentParts;
    // Type 7: the record kind byte (0 or 9 is a session, anything else a
    // record the readers skip).
    std::uint8_t recordKind = 0;
};

class HistoryWriter {
  public:
    // Starts a file of the type with its file header (types 1, 4 and 6;
    // the others have none). brakeHeaderTime is the time of a type 4 header.
    explicit HistoryWriter(HistoryType type,
                           std::uint32_t brakeHeaderTime = defaultBrakeHeaderTime);

    HistoryType type() const { return type_; }
    const Bytes& bytes() const { return bytes_; }
    // Drops what was written so far (header included), keeping the memory:
    // for writing large files in pieces.
    void clear() { bytes_.clear(); }

    // One session in the type's own layout. What the layout keeps of the
    // record:
    //  1: all 100 bytes of the common layout (cost and extension included);
    //  2, 3: its first 28 bytes;
    //  4: code 5 when the flags have `incoming`, else code 6; address,
    //     start, duration and counters;
    //  5: address, start, end = start + duration, traffic, cost;
    //  6: address, start, end, traffic, status from the flags (bit 0
    //     incoming, bit 1 protected, bit 3 aborted = not normal);
    //  7: address, start, duration, traffic, outgoing, protected and
    //     aborted bytes;
    //  8: start as calendar fields (startTime broken down as UTC), address,
    //     status 1 when normal else 0, duration and cost in 16 bits.
    // Fields wider than the layout's are cut to its width.
    void session(const SessionRecord& r, const LayoutDetails& details = {});

    // Type 4: an event of code 0 to 4 (Answer, Dial, Terminal, BBS, External).
    void brakeEvent(std::uint8_t code, std::uint32_t time, std::uint32_t duration);
    // Type 4: a record the readers skip: code 7 (no payload), 254 (1 byte)
    // or any code above 6 (4 bytes).
    void brakeSkipped(std::uint8_t code, std::uint32_t time);
    // Type 7: a record of a kind other than 0 and 9, which the readers skip.
    void wideSkipped(std::uint8_t kind, std::uint32_t time);
    // Type 8: the first record of a file, which the readers drop. It holds
    // the calendar fields of time (so that the file passes the date test)
    // and nothing else.
    void datedDummy(std::uint32_t time);

    // Type 4: the time in the file header.
    void setBrakeHeaderTime(std::uint32_t time);
    // Type 4: a header still holding the default time takes the time of
    // the first record, as a mailer's own file would.
    void defaultBrakeHeaderToFirstRecord();

    // Raw bytes, for records no encoder makes (hostile input).
    void raw(const Bytes& bytes) { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }

  private:
    std::uint8_t* grow(std::size_t n);
    void brakeHeader(std::uint32_t time, std::uint8_t code);
    void putCalendar(std::uint8_t* p, std::uint32_t time);

    HistoryType type_;
    Bytes bytes_;
};

// Seconds since 1970 of a calendar date and time taken as UTC: the clock
// the 32-bit formats store.
std::uint32_t utcSeconds(int year, int month, int day, int hour = 0, int minute = 0,
                         int second = 0);

// Writes bytes to a new or truncated file; false on any failure.
bool writeFile(const std::string& path, const Bytes& bytes);
// Appends bytes to an open stream; false on a short write.
bool writeBytes(std::FILE* out, const Bytes& bytes);

}  // namespace rv::histgen
