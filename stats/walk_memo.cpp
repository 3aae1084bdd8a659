#include "stats/walk_memo.h"

namespace rv {

namespace {

std::uint64_t outcomeHash(const WalkOutcome& o) {
    std::uint64_t h = reinterpret_cast<std::uintptr_t>(o.targets[0]) * 0x9E3779B97F4A7C15u;
    h ^= reinterpret_cast<std::uintptr_t>(o.targets[1]) + (h << 6) + (h >> 2);
    h ^= (std::uint64_t{o.targetCount} << 8 | static_cast<std::uint64_t>(o.end)) *
         0xFF51AFD7ED558CCDu;
    return h ^ (h >> 29);
}

bool sameOutcome(const WalkOutcome& a, const WalkOutcome& b) {
    return a.targets == b.targets && a.targetCount == b.targetCount && a.end == b.end;
}

}  // namespace

void WalkMemo::insert(std::uint64_t key, std::uint32_t kept) {
    if ((used_ + 1) * 2 > slots_.size()) grow();
    const auto empty = [](const Slot& s) { return s.key() == emptyKey; };
    slots_[probe(slots_, mix(key), empty)] =
        Slot{static_cast<std::uint32_t>(key), static_cast<std::uint32_t>(key >> 32), kept};
    ++used_;
}

void WalkMemo::grow() {
    std::vector<Slot> old(slots_.empty() ? 1024 : slots_.size() * 2);
    old.swap(slots_);
    const auto empty = [](const Slot& s) { return s.key() == emptyKey; };
    for (const Slot& slot : old) {
        if (!empty(slot)) slots_[probe(slots_, mix(slot.key()), empty)] = slot;
    }
}

std::uint32_t WalkMemo::keep(const WalkOutcome& outcome) {
    if (outcome.run != 0) {
        kept_.push_back(KeptOutcome{outcome, {}, 0});
        return static_cast<std::uint32_t>(kept_.size() - 1);
    }
    const auto empty = [](std::uint32_t k) { return k == none; };
    if ((kept_.size() + 1) * 2 > keptSet_.size()) {
        keptSet_.assign(keptSet_.empty() ? 1024 : keptSet_.size() * 2, none);
        for (std::uint32_t k = 0; k < kept_.size(); ++k)
            keptSet_[probe(keptSet_, outcomeHash(kept_[k].outcome), empty)] = k;
    }
    std::uint32_t& slot = keptSet_[probe(keptSet_, outcomeHash(outcome), [&](std::uint32_t k) {
        return empty(k) || sameOutcome(kept_[k].outcome, outcome);
    })];
    if (slot == none) {
        slot = static_cast<std::uint32_t>(kept_.size());
        kept_.push_back(KeptOutcome{outcome, {}, 0});
    }
    return slot;
}

}  // namespace rv
