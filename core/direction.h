// The direction rules of a line, applied to a session before it is
// matched and counted: SwapInOut, then the settling of a BinkD session
// from the line's channel counts; neither for binkd's text log, whose
// records carry their true direction.
#pragma once

#include <cstdint>

#include "core/history_type.h"

namespace rv {

// Settles a BinkD session: an aborted one (both direction bits) keeps
// exactly one of them and stays aborted; any other gets `normal` and is
// turned by the channel counts n (incoming) and m (outgoing).
std::uint16_t settleBinkdDirection(std::uint16_t flags, std::uint16_t n, std::uint16_t m,
                                   bool binkdAbortedOut);

// Exchanges incoming and outgoing unless both are set (none becomes both).
std::uint16_t swapDirection(std::uint16_t flags);

struct LineDirectionRules {
    bool swapInOut = false;
    HistoryType type = HistoryType::none;
    std::uint16_t n = 0;
    std::uint16_t m = 0;
    bool binkdAbortedOut = false;
};

std::uint16_t applyDirectionRules(std::uint16_t flags, const LineDirectionRules& rules);

}  // namespace rv
