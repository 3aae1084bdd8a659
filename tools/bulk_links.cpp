#include "tools/bulk_links.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace rv::histgen {

FidoAddress bulkAddress(Prng& prng) {
    return {2, static_cast<std::int16_t>(5020 + prng.below(40)),
            static_cast<std::int16_t>(prng.below(3000)),
            static_cast<std::int16_t>(prng.chance(20) ? prng.between(1, 20) : 0)};
}

BulkLinks::BulkLinks(std::uint32_t count, Prng& prng) {
    auto key = [](const FidoAddress& a) { return std::tuple(a.zone, a.net, a.node, a.point); };
    std::set<std::tuple<std::int16_t, std::int16_t, std::int16_t, std::int16_t>> seen;
    std::uint32_t reach = 0;
    while (addresses_.size() < count) {
        const FidoAddress a = bulkAddress(prng);
        if (!seen.insert(key(a)).second) continue;
        addresses_.push_back(a);
        reach += (1u << 20) / static_cast<std::uint32_t>(addresses_.size());
        reach_.push_back(reach);
    }
}

const FidoAddress& BulkLinks::pick(Prng& prng) const {
    const std::uint32_t x = prng.below(reach_.back());
    const auto at = std::upper_bound(reach_.begin(), reach_.end(), x);
    return addresses_[static_cast<std::size_t>(at - reach_.begin())];
}

SessionRecord bulkSession(Prng& prng, const std::optional<BulkLinks>& links, std::uint32_t start,
                          std::uint64_t span, std::uint32_t i, std::uint32_t count) {
    SessionRecord r;
    r.address = links ? links->pick(prng) : bulkAddress(prng);
    r.startTime = static_cast<std::uint32_t>(start + span * i / count);
    r.duration = prng.between(0, 1800);
    r.bytesReceived = prng.logUniform(24);
    r.bytesSent = prng.logUniform(24);
    r.flags = static_cast<std::uint16_t>(
        (prng.chance(50) ? SessionFlags::incoming : SessionFlags::outgoing) |
        (prng.chance(93) ? SessionFlags::normal : 0) |
        (prng.chance(80) ? SessionFlags::protectedSession : 0));
    r.cost = r.duration / 30;
    return r;
}

}  // namespace rv::histgen
