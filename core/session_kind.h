// The five non-mail event kinds of The Brake!. An event record carries the
// kind's 8-byte key in place of an address.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "core/fido_address.h"

namespace rv {

struct SessionKind {
    std::string_view keyword;      // as the ADDR keyword accepts it
    std::string_view displayText;  // 15 characters; its first 8 are the event key
    std::uint16_t recordFlags;     // flags of an event record of this kind
    std::uint16_t entryFlag;       // flag of an ADDR entry of this kind
};

// Indexed by the record code of a The Brake! event (0 to 4).
inline constexpr std::array<SessionKind, 5> sessionKinds{{
    {"ANSWER", "Answer         ", 0x0400, 0x0400},
    {"DIAL", "Dial           ", 0x0800, 0x0800},
    {"TERMINAL", "Terminal       ", 0x1000, 0x1000},
    {"BBS", "BBS            ", 0x0104, 0x0100},
    {"EXTERNAL", "External       ", 0x0204, 0x0200},
}};

inline constexpr std::size_t eventKeySize = 8;

// The address whose eight bytes hold the kind's event key.
FidoAddress eventKeyAddress(const SessionKind& kind);
// The kind whose event key the address bytes hold, or nullptr.
const SessionKind* kindOfAddress(const FidoAddress& a);

}  // namespace rv
