#include "brimsel/dump_row.h"

#include <cstring>

#include "core/format.h"

namespace rv::brimsel {

const SessionKind* eventKind(std::uint16_t flags) {
    for (const SessionKind& kind : sessionKinds)
        if (flags & kind.entryFlag) return &kind;
    return nullptr;
}

void AddressCells::fill(Slot& slot, std::uint64_t key, const FidoAddress& a) {
    std::memcpy(slot.text.data(), formatAddress(a, width).c_str(), width);
    slot.key = key;
    slot.used = true;
}

}  // namespace rv::brimsel
