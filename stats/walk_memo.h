// The address book's memory of its walks: where the walk of an address
// (and kind marker) ended, kept so that a busy node's millions of sessions
// from a few thousand addresses walk the entries once per address. Why a
// kept outcome stays right while groups spawn entries is told in
// stats/address_book.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/fido_address.h"
#include "stats/traffic_counters.h"

namespace rv {

struct AddrEntry;

enum class WalkEnd : std::uint8_t { noEntry, plainEntry, excludedEntry };

// Where the walk of one address (and kind marker) ends: the entries it
// counts into, in order, and how it ended.
struct WalkOutcome {
    // run of an outcome through a reordering run beyond the numbered ones.
    static constexpr std::uint16_t alwaysWalk = 0xFFFF;

    std::array<AddrEntry*, 2> targets{};
    std::uint32_t generation = 0;  // of the run, when the outcome was walked
    std::uint16_t run = 0;         // 1 + index of a reordering run its spawns can change
    std::uint8_t targetCount = 0;
    WalkEnd end = WalkEnd::noEntry;
};

// An outcome as kept, one for all the addresses that share it, with the
// sums of the sessions tallied into it since the last flush. An outcome
// that a spawn can change (run) is kept for its key alone and walked again
// in place when it goes stale; it tallies nothing.
struct KeptOutcome {
    WalkOutcome outcome;
    TrafficCounters tally;
    std::uint64_t protectedSessions = 0;
};

// Linear probing in an open-addressing table whose size is a power of two:
// the first slot from hash on for which stop holds. The tables stay at most
// half full, so that probes stay short and always end.
template <class Slot, class Stop>
std::size_t probe(const std::vector<Slot>& slots, std::uint64_t hash, Stop stop) {
    const std::size_t mask = slots.size() - 1;
    std::size_t i = static_cast<std::size_t>(hash) & mask;
    while (!stop(slots[i]))
        i = (i + 1) & mask;
    return i;
}

class WalkMemo {
  public:
    static constexpr std::uint32_t none = 0xFFFFFFFF;
    // The value of a node's key whose addresses are kept one by one.
    static constexpr std::uint32_t perPoint = 0xFFFFFFFE;

    // The key of an address. Kept addresses have no negative component, so
    // the top bit of each field is free: the zone's marks a kind session,
    // the point's a whole node.
    static std::uint64_t key(const FidoAddress& address, bool hasKind, bool wholeNode) {
        std::uint64_t key = std::uint64_t{static_cast<std::uint16_t>(address.zone)} |
                            std::uint64_t{static_cast<std::uint16_t>(address.net)} << 16 |
                            std::uint64_t{static_cast<std::uint16_t>(address.node)} << 32 |
                            std::uint64_t{static_cast<std::uint16_t>(address.point)} << 48;
        if (hasKind) key |= 0x8000;
        if (wholeNode) key = (key & 0x0000FFFFFFFFFFFFu) | std::uint64_t{0x8000} << 48;
        return key;
    }

    // The kept outcome of a key (an index, or perPoint); none when it has
    // none yet, which an empty slot holds. Inline, as every record looks
    // its outcome up.
    std::uint32_t find(std::uint64_t key) const {
        if (slots_.empty()) return none;
        const auto keyOrEmpty = [key](const Slot& s) {
            const std::uint64_t slotKey = s.key();
            return slotKey == key || slotKey == emptyKey;
        };
        return slots_[probe(slots_, mix(key), keyOrEmpty)].kept;
    }
    // The key must be new.
    void insert(std::uint64_t key, std::uint32_t kept);

    // The common case, inline: the kept outcome of the address's node when
    // it serves all its points and no spawn can make it stale; none
    // otherwise.
    std::uint32_t nodeOutcome(const FidoAddress& address, bool hasKind) {
        if (address.zone < 0 || address.net < 0 || address.node < 0 || address.point < 0)
            return none;
        const std::uint32_t found = find(key(address, hasKind, true));
        if (found == none || found == perPoint || kept_[found].outcome.run != 0) return none;
        return found;
    }

    // The index of the kept outcome equal to outcome, made when there is
    // none: addresses with the same outcome share it and its sums, except
    // where a spawn can change the outcome of one of them.
    std::uint32_t keep(const WalkOutcome& outcome);

    KeptOutcome& operator[](std::uint32_t index) { return kept_[index]; }
    std::vector<KeptOutcome>& kept() { return kept_; }

  private:
    static constexpr std::uint64_t emptyKey = ~std::uint64_t{0};  // no address has it
    // 12 bytes, the key in two halves: a quarter less room than a 64-bit
    // aligned slot, for a table that holds every address met.
    struct Slot {
        std::uint32_t keyLow = static_cast<std::uint32_t>(emptyKey);
        std::uint32_t keyHigh = static_cast<std::uint32_t>(emptyKey >> 32);
        std::uint32_t kept = none;

        std::uint64_t key() const { return std::uint64_t{keyHigh} << 32 | keyLow; }
    };
    static std::uint64_t mix(std::uint64_t key) {
        key ^= key >> 33;
        key *= 0xFF51AFD7ED558CCDu;
        return key ^ key >> 33;
    }
    void grow();

    // The kept outcome by address key: a busy history meets hundreds of
    // thousands of addresses.
    std::vector<Slot> slots_;
    std::size_t used_ = 0;
    std::vector<KeptOutcome> kept_;
    // The indices in kept_ by the outcome they hold, for keep(); none where
    // empty.
    std::vector<std::uint32_t> keptSet_;
};

}  // namespace rv
