#include "core/session_kind.h"

#include <cstring>

namespace rv {

FidoAddress eventKeyAddress(const SessionKind& kind) {
    std::uint8_t key[eventKeySize];
    std::memcpy(key, kind.displayText.data(), eventKeySize);
    return addressFromBytes(key);
}

const SessionKind* kindOfAddress(const FidoAddress& a) {
    std::uint8_t bytes[eventKeySize];
    addressBytes(a, bytes);
    for (const SessionKind& kind : sessionKinds) {
        if (std::memcmp(bytes, kind.displayText.data(), eventKeySize) == 0) return &kind;
    }
    return nullptr;
}

}  // namespace rv
