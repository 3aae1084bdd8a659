// The eight history formats, numbered as the configuration and the
// reports know them. 3 is a BinkD line, 4 The Brake!.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rv {

using HistoryType = std::uint8_t;

namespace HistoryTypes {
inline constexpr HistoryType none = 0;
inline constexpr HistoryType long100 = 1;   // 2-byte F1 00 header, 100-byte records
inline constexpr HistoryType plain28 = 2;   // 28-byte records
inline constexpr HistoryType binkd = 3;     // 28-byte records of a BinkD line
inline constexpr HistoryType brake = 4;     // The Brake! tagged stream
inline constexpr HistoryType pair116 = 5;   // .IHS/.OHS pair, 116-byte records
inline constexpr HistoryType status64 = 6;  // 8-byte header, 64-byte records
inline constexpr HistoryType wide316 = 7;   // 316-byte records, some skipped
inline constexpr HistoryType dated104 = 8;  // .IHS/.OHS pair, 104-byte records with calendar dates
}  // namespace HistoryTypes

// 662,688,000 is 1991-01-01 00:00:00: the threshold of the time tests
// that tell formats apart.
inline constexpr std::uint32_t plausibleTimeFloor = 662688000;

// Types whose records are stored in the common layout and can be rewritten.
inline bool isCommonLayoutType(HistoryType t) {
    return t >= 1 && t <= 3;
}
// On-disk record size of a type that can be rewritten (0 for the others).
inline std::size_t commonRecordSize(HistoryType t) {
    return t == 1 ? 100 : (t == 2 || t == 3) ? 28 : 0;
}
// Types that record the protected flag, and those that record aborts.
inline bool recordsProtection(HistoryType t) {
    return t == 1 || t == 6 || t == 7;
}
inline bool recordsAborts(HistoryType t) {
    return t == 1 || t == 3 || t == 6 || t == 7;
}
// Types whose records carry a cost.
inline bool recordsCost(HistoryType t) {
    return t == 5 || t == 8;
}

}  // namespace rv
