// Everything known of a history format is its row of historyFormats: the
// size of its records and of its header, the bytes its files start with,
// what its records carry, whether the cut rewrites it, its decoder and
// its own test of a file's first bytes. The readers, the cut, the reports
// and histgen take these facts from the row.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/history_type.h"
#include "core/session_record.h"
#include "core/wall_clock.h"

namespace rv {

// How the reader cuts a format's records out of the file.
enum class RecordLayout : std::uint8_t {
    none,   // no format: nothing is read
    fixed,  // records of the row's size, one after the other
    brake,  // The Brake!'s 8-byte headers, each with its own payload
    lines,  // lines of text, a session assembled from several (binkd_text_log.h)
};

// What a format's records tell beyond the address, the times and the
// traffic; the session tables show a column only for what the history
// records.
namespace Carries {
inline constexpr std::uint8_t nothing = 0;
inline constexpr std::uint8_t protection = 0x01;  // the protected flag
inline constexpr std::uint8_t aborts = 0x02;      // normal is cleared for an aborted session
inline constexpr std::uint8_t cost = 0x04;        // the cost of the session
// No direction of its own: it comes from the .IHS/.OHS name of the file.
inline constexpr std::uint8_t directionFromName = 0x08;
// Events of the mailer (The Brake!'s Answer, Dial, ...) beside its sessions.
inline constexpr std::uint8_t events = 0x10;
}  // namespace Carries

// Converts one record of a fixed layout (its bytes in raw, zero-padded to
// the full size) into r. Only the 104-byte format reads the clock: it
// stores local calendar fields.
using DecodeRecord = void (*)(const std::uint8_t* raw, SessionRecord& r, WallClockReader& clock);
// Whether a record of a fixed layout is a session rather than one the
// format has readers pass over.
using IsSession = bool (*)(const std::uint8_t* raw);

// The first bytes of a file as detection sees them: as many of the first
// detectionBytes as the file has, the rest zero; size tells how many it
// has. They are the first nine bytes and the start times of the first two
// 316-byte records (offsets 8 and 324).
inline constexpr std::size_t detectionBytes = 328;
struct FileHead {
    const std::uint8_t* bytes;  // detectionBytes of them
    std::size_t size;
};
// A format's own test of those bytes; detection makes them in a fixed
// order of its own (detectHistoryType, history_reader.h).
using StartsAs = bool (*)(const FileHead& head);

void decodeLong100(const std::uint8_t* raw, SessionRecord& r, WallClockReader& clock);
void decodePlain28(const std::uint8_t* raw, SessionRecord& r, WallClockReader& clock);
void decodePair116(const std::uint8_t* raw, SessionRecord& r, WallClockReader& clock);
void decodeStatus64(const std::uint8_t* raw, SessionRecord& r, WallClockReader& clock);
void decodeWide316(const std::uint8_t* raw, SessionRecord& r, WallClockReader& clock);
void decodeDated104(const std::uint8_t* raw, SessionRecord& r, WallClockReader& clock);
bool isWide316Session(const std::uint8_t* raw);

// The Brake!'s records: an 8-byte header (time, code) and a payload whose
// size the code gives.
std::size_t brakePayloadSize(std::uint8_t code);
void decodeBrakeSession(std::uint32_t time, std::uint8_t code, const std::uint8_t* payload,
                        SessionRecord& r);
void decodeBrakeEvent(std::uint32_t time, std::uint8_t code, const std::uint8_t* payload,
                      SessionRecord& r);

bool startsAsLong100(const FileHead& head);
bool startsAsBrake(const FileHead& head);
bool startsAsStatus64(const FileHead& head);
bool startsAsWide316(const FileHead& head);
// The date test of a pair's first record: passed, the pair is 104-byte.
bool startsAsDated104(const FileHead& head);
// The first line has binkd's line form exactly (startsAsBinkdTextLog).
bool startsAsTextLog(const FileHead& head);

// Whether the cut rewrites the history in place: only formats whose
// records are the common layout, which it writes back byte for byte.
enum class Cut : std::uint8_t { never, inPlace };

inline constexpr std::string_view noSignature{};

struct HistoryFormat {
    HistoryType type;
    RecordLayout layout;
    std::size_t recordSize;      // of every record of a fixed layout; 0 otherwise
    std::size_t headerSize;      // bytes before the first record, when detected
    std::string_view signature;  // the bytes every file of it starts with
    std::uint8_t carries;        // Carries bits
    Cut cut;
    DecodeRecord decode;  // fixed layout
    IsSession isSession;  // nullptr: every record is a session
    StartsAs startsAs;    // nullptr: told by its name or the History value
    // The mailer's own name of the file, where one is known, for the page.
    std::string_view mailer = "";
};

// A format's row. A new format is its row here, its name in HistoryType,
// its case in the reader (HistoryReader::readAnySession), its place in
// detectHistoryType's order, its case in histgen's writer and its fuzz
// target. The columns: the type, the layout, the record size,
// the header size, the signature, what it carries, whether it is cut, the
// decoder, which records are sessions, the test of its first bytes and the
// mailer's name of it (binkd writes the FrontDoor pair too).
inline constexpr std::array historyFormats{
    HistoryFormat{HistoryType::long100, RecordLayout::fixed, longRecordSize, 2,
                  std::string_view("\xF1\x00", 2), Carries::protection | Carries::aborts,
                  Cut::inPlace, decodeLong100, nullptr, startsAsLong100},
    HistoryFormat{HistoryType::plain28, RecordLayout::fixed, shortRecordSize, 0, noSignature,
                  Carries::nothing, Cut::inPlace, decodePlain28, nullptr, nullptr,
                  "T-Mail's binary log"},
    HistoryFormat{HistoryType::binkd, RecordLayout::fixed, shortRecordSize, 0, noSignature,
                  Carries::aborts, Cut::inPlace, decodePlain28, nullptr, nullptr,
                  "binkd's binary log"},
    HistoryFormat{HistoryType::brake, RecordLayout::brake, 0, 6, noSignature, Carries::events,
                  Cut::never, nullptr, nullptr, startsAsBrake, "The Brake!'s history"},
    HistoryFormat{HistoryType::pair116, RecordLayout::fixed, 116, 0, noSignature,
                  Carries::cost | Carries::directionFromName, Cut::never, decodePair116, nullptr,
                  nullptr, "FrontDoor's .ihs/.ohs pair"},
    HistoryFormat{HistoryType::status64, RecordLayout::fixed, 64, 8,
                  std::string_view("\x04\xFF\x1A\xD5", 4), Carries::protection | Carries::aborts,
                  Cut::never, decodeStatus64, nullptr, startsAsStatus64},
    HistoryFormat{HistoryType::wide316, RecordLayout::fixed, 316, 0, noSignature,
                  Carries::protection | Carries::aborts, Cut::never, decodeWide316,
                  isWide316Session, startsAsWide316},
    // The first record of the first file of a pair is a header, passed
    // over; its twin is read whole.
    HistoryFormat{HistoryType::dated104, RecordLayout::fixed, 104, 104, noSignature,
                  Carries::cost | Carries::directionFromName, Cut::never, decodeDated104, nullptr,
                  startsAsDated104},
    // Its records are the sessions of its lines, in the suite's own
    // direction flags; it is rotated by logrotate, never cut.
    HistoryFormat{HistoryType::textLog, RecordLayout::lines, 0, 0, noSignature,
                  Carries::protection | Carries::aborts, Cut::never, nullptr, nullptr,
                  startsAsTextLog, "binkd's text log"},
};

// Row i holds the format numbered i + 1, and each row is whole: a fixed
// layout has its size and decoder, a cut one the common layout, a
// signature fits in its header.
inline constexpr bool historyFormatsWhole = [] {
    for (std::size_t i = 0; i < historyFormats.size(); ++i) {
        const HistoryFormat& f = historyFormats[i];
        if (number(f.type) != i + 1) return false;
        if ((f.layout == RecordLayout::fixed) != (f.recordSize > 0 && f.decode != nullptr))
            return false;
        if (f.cut == Cut::inPlace && f.recordSize != shortRecordSize &&
            f.recordSize != longRecordSize)
            return false;
        if (f.cut == Cut::inPlace && f.headerSize != f.signature.size()) return false;
        if (f.signature.size() > f.headerSize) return false;
    }
    return true;
}();
static_assert(historyFormatsWhole, "HistoryType and historyFormats must list the formats alike");

// What a history not (yet) read as any format is: it carries nothing and
// reads nothing.
inline constexpr HistoryFormat noFormat{
    HistoryType::none, RecordLayout::none, 0,       0,       noSignature,
    Carries::nothing,  Cut::never,         nullptr, nullptr, nullptr};

constexpr const HistoryFormat& formatOf(HistoryType t) {
    return t == HistoryType::none ? noFormat : historyFormats[number(t) - 1];
}

// The largest record of a fixed layout, which a reader may have to pad.
inline constexpr std::size_t largestRecordSize = [] {
    std::size_t largest = 0;
    for (const HistoryFormat& f : historyFormats)
        largest = f.recordSize > largest ? f.recordSize : largest;
    return largest;
}();

// The format numbered n, if there is one (histgen's --type, a fuzz target's).
constexpr std::optional<HistoryType> historyTypeNumbered(std::int64_t n) {
    if (n < 1 || n > static_cast<std::int64_t>(historyFormats.size())) return std::nullopt;
    return historyFormats[static_cast<std::size_t>(n - 1)].type;
}

constexpr bool recordsProtection(HistoryType t) {
    return (formatOf(t).carries & Carries::protection) != 0;
}
constexpr bool recordsAborts(HistoryType t) {
    return (formatOf(t).carries & Carries::aborts) != 0;
}
constexpr bool recordsCost(HistoryType t) {
    return (formatOf(t).carries & Carries::cost) != 0;
}
constexpr bool recordsEvents(HistoryType t) {
    return (formatOf(t).carries & Carries::events) != 0;
}
// On-disk record size of a format the cut rewrites (0 for the others).
constexpr std::size_t commonRecordSize(HistoryType t) {
    return formatOf(t).cut == Cut::inPlace ? formatOf(t).recordSize : 0;
}

}  // namespace rv
