// The history file of one line, with its type and BinkD parameters, as
// written in a History value or a -h option: <history>[,n[,m]].
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/history_type.h"

namespace rv {

inline constexpr std::size_t maxHistoryPath = 261;

struct HistorySource {
    std::string path;
    HistoryType type = HistoryType::none;  // parsed 2 or 3, then the detected type
    std::uint16_t n = 0;                   // BinkD incoming channels
    std::uint16_t m = 0;                   // BinkD outgoing channels
    int pairLetter = -1;                   // index of the I/O of a .IHS/.OHS extension, or -1

    bool hasBinkdParameters() const { return type == HistoryType::binkd; }
};

// Parses a History value into source; returns the length of the file name,
// 0 when the value has none (source then unchanged).
std::size_t parseHistoryValue(std::string_view value, HistorySource& source);

// Swaps the I/O letter of a pair path (I<->O, i<->o).
void swapPairLetter(HistorySource& source);

}  // namespace rv
