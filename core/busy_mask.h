// The BusyHist mask: which line charts are drawn.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace rv {

namespace BusyMask {
inline constexpr std::uint8_t busy = 0x01;           // T
inline constexpr std::uint8_t incoming = 0x02;       // I
inline constexpr std::uint8_t outgoing = 0x04;       // O
inline constexpr std::uint8_t protectedOnly = 0x08;  // P
inline constexpr std::uint8_t unprotected = 0x10;    // U
inline constexpr std::uint8_t skipEmpty = 0x20;      // $
inline constexpr std::uint8_t all = 0x1F;
}  // namespace BusyMask

// Mask letters T I O P U $ in any case; a newline is passed over; every
// other character is reported on warnings and skipped.
std::uint8_t parseBusyHistMask(std::string_view text, std::FILE* warnings);

}  // namespace rv
