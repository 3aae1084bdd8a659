// The common form of one history record, whatever mailer wrote it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/fido_address.h"
#include "core/le.h"

namespace rv {

namespace SessionFlags {
inline constexpr std::uint16_t incoming = 0x0001;
inline constexpr std::uint16_t outgoing = 0x0002;
inline constexpr std::uint16_t normal = 0x0004;  // not aborted
inline constexpr std::uint16_t protectedSession = 0x0008;
inline constexpr std::uint16_t kindBbs = 0x0100;
inline constexpr std::uint16_t kindExternal = 0x0200;
inline constexpr std::uint16_t kindAnswer = 0x0400;
inline constexpr std::uint16_t kindDial = 0x0800;
inline constexpr std::uint16_t kindTerminal = 0x1000;
inline constexpr std::uint16_t kindMask = 0x1F00;
inline constexpr std::uint16_t directionMask = incoming | outgoing;
}  // namespace SessionFlags

// Bytes of a record in the common layout: types 2 and 3 store the first
// 28 bytes, type 1 stores 100 (the 32 common ones and a 68-byte extension).
inline constexpr std::size_t shortRecordSize = 28;
inline constexpr std::size_t longRecordSize = 100;
inline constexpr std::size_t extensionSize = 68;

struct SessionRecord {
    FidoAddress address;
    std::uint32_t startTime = 0;  // seconds since 1970 in the history's own clock
    std::uint32_t duration = 0;
    std::uint32_t bytesReceived = 0;
    std::uint32_t bytesSent = 0;
    std::uint16_t spare = 0;
    std::uint16_t flags = 0;
    std::uint32_t cost = 0;
    std::array<std::uint8_t, extensionSize> extension{};

    bool has(std::uint16_t flag) const { return (flags & flag) != 0; }
};

// Decode the first `size` bytes (28 or 100) of the common layout.
void decodeCommonLayout(const std::uint8_t* raw, std::size_t size, SessionRecord& r);

// decodeCommonLayout of a 28-byte record, inline for the reading loops.
inline void decodeShortRecord(const std::uint8_t* raw, SessionRecord& r) {
    r.address = FidoAddress{loadS16(raw), loadS16(raw + 2), loadS16(raw + 4), loadS16(raw + 6)};
    r.startTime = loadU32(raw + 8);
    r.duration = loadU32(raw + 12);
    r.bytesReceived = loadU32(raw + 16);
    r.bytesSent = loadU32(raw + 20);
    r.spare = loadU16(raw + 24);
    r.flags = loadU16(raw + 26);
}
// Encode the record back into `size` bytes (28 or 100) of the common layout;
// a record decoded and encoded unchanged gives the same bytes.
void encodeCommonLayout(const SessionRecord& r, std::size_t size, std::uint8_t* raw);

}  // namespace rv
