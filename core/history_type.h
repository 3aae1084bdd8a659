// The history formats by name, numbered as the configuration and the
// reports know them: 1 to 9, 3 a BinkD line, 4 The Brake!, 9 binkd's text
// log. What each one
// is and how it is read is its row of historyFormats (history_formats.h).
#pragma once

#include <cstdint>
#include <optional>

namespace rv {

// In number order, as historyFormats lists them.
enum class HistoryType : std::uint8_t {
    none = 0,      // no history named yet
    long100 = 1,   // 2-byte F1 00 header, 100-byte records
    plain28 = 2,   // 28-byte records
    binkd = 3,     // 28-byte records of a BinkD line
    brake = 4,     // The Brake! tagged stream
    pair116 = 5,   // .IHS/.OHS pair, 116-byte records
    status64 = 6,  // 8-byte header, 64-byte records
    wide316 = 7,   // 316-byte records, some skipped
    dated104 = 8,  // .IHS/.OHS pair, 104-byte records with calendar dates
    textLog = 9,   // binkd's text log and its rotated copies
};

// The number the reports, the dumps and the data forms show.
constexpr unsigned number(HistoryType t) {
    return static_cast<unsigned>(t);
}

// 662,688,000 is 1991-01-01 00:00:00: the threshold of the time tests
// that tell formats apart.
inline constexpr std::uint32_t plausibleTimeFloor = 662688000;

}  // namespace rv
