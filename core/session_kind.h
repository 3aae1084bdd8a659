// The five non-mail event kinds of The Brake!. An event record carries the
// kind's 8-byte key in place of an address.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "core/fido_address.h"
#include "core/session_record.h"

namespace rv {

struct SessionKind {
    std::string_view keyword;      // as the ADDR keyword accepts it
    std::string_view displayText;  // 15 characters; its first 8 are the event key
    std::uint16_t recordFlags;     // flags of an event record of this kind
    std::uint16_t entryFlag;       // flag of an ADDR entry of this kind
};

// Indexed by the record code of a The Brake! event (0 to 4). A BBS or
// external session ends normally or not, as a mail session does.
inline constexpr std::array<SessionKind, 5> sessionKinds{{
    {"ANSWER", "Answer         ", SessionFlags::kindAnswer, SessionFlags::kindAnswer},
    {"DIAL", "Dial           ", SessionFlags::kindDial, SessionFlags::kindDial},
    {"TERMINAL", "Terminal       ", SessionFlags::kindTerminal, SessionFlags::kindTerminal},
    {"BBS", "BBS            ", SessionFlags::kindBbs | SessionFlags::normal, SessionFlags::kindBbs},
    {"EXTERNAL", "External       ", SessionFlags::kindExternal | SessionFlags::normal,
     SessionFlags::kindExternal},
}};

// A kind's letter in the BrakeSesStat mask is its keyword's first, which
// no other kind's keyword starts with.
constexpr const SessionKind* kindOfMaskLetter(char letter) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    for (const SessionKind& kind : sessionKinds)
        if (kind.keyword.front() == letter) return &kind;
    return nullptr;
}
inline constexpr bool maskLettersDistinct = [] {
    for (const SessionKind& kind : sessionKinds)
        if (kindOfMaskLetter(kind.keyword.front()) != &kind) return false;
    return true;
}();
static_assert(maskLettersDistinct, "each kind needs a BrakeSesStat letter of its own");

inline constexpr std::size_t eventKeySize = 8;

// The address whose eight bytes hold the kind's event key.
FidoAddress eventKeyAddress(const SessionKind& kind);
// The kind whose event key the address bytes hold, or nullptr.
const SessionKind* kindOfAddress(const FidoAddress& a);

}  // namespace rv
