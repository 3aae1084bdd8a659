// A FidoNet address zone:net/node.point. In address patterns a component
// may be anyComponent ('*' or left out) or eachComponent ('#'). The same
// eight bytes can instead hold a The Brake! event key (session_kind.h).
#pragma once

#include <cstdint>

namespace rv {

struct FidoAddress {
    std::int16_t zone = 0;
    std::int16_t net = 0;
    std::int16_t node = 0;
    std::int16_t point = 0;

    friend bool operator==(const FidoAddress&, const FidoAddress&) = default;
};

inline constexpr std::int16_t anyComponent = -1;
inline constexpr std::int16_t eachComponent = -2;

// The eight address bytes as stored on disk (little-endian components).
void addressBytes(const FidoAddress& a, std::uint8_t out[8]);
FidoAddress addressFromBytes(const std::uint8_t in[8]);

}  // namespace rv
