#include "core/direction.h"

#include "core/session_record.h"

namespace rv {

using namespace SessionFlags;

std::uint16_t settleBinkdDirection(std::uint16_t f, std::uint16_t n, std::uint16_t m,
                                   bool binkdAbortedOut) {
    if ((f & directionMask) == directionMask) {
        bool asOutgoing = n == 0 || (m != 0 && binkdAbortedOut);
        return static_cast<std::uint16_t>(f & ~(asOutgoing ? incoming : outgoing));
    }
    f |= normal;
    if (n == 0 && (f & incoming)) f = static_cast<std::uint16_t>((f & ~incoming) | outgoing);
    if (m == 0 && (f & outgoing)) f = static_cast<std::uint16_t>((f & ~outgoing) | incoming);
    return f;
}

std::uint16_t swapDirection(std::uint16_t f) {
    if ((f & directionMask) == directionMask) return f;
    return static_cast<std::uint16_t>(f ^ directionMask);
}

std::uint16_t applyDirectionRules(std::uint16_t flags, const LineDirectionRules& rules) {
    // binkd's text log says who called: its flags are the suite's own.
    if (rules.type == HistoryType::textLog) return flags;
    if (rules.swapInOut) flags = swapDirection(flags);
    if (rules.type == HistoryType::binkd)
        flags = settleBinkdDirection(flags, rules.n, rules.m, rules.binkdAbortedOut);
    return flags;
}

}  // namespace rv
