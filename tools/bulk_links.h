// The addresses of the bulk histories that benchmarks read. A node talks
// to a few hundred links, some of them many times a day and most of them
// seldom, so that tables keyed by address stay small while every record
// still has to be matched.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/fido_address.h"
#include "core/session_record.h"
#include "tools/prng.h"

namespace rv::histgen {

// A random address of the space the bulk histories use: nets 2:5020 to
// 2:5059 (no low byte of 0 or 1, so that no 28-byte history starts like
// a 316-byte one), nodes 0 to 2999, a fifth of them points 1 to 20.
FidoAddress bulkAddress(Prng& prng);

inline constexpr std::uint32_t maxBulkLinks = 100000;

// count distinct addresses of that space; the k-th (from 0) is picked in
// proportion to 1/(k+1), as the calls of a node's links are spread: the
// busiest has about a seventh of the sessions of a node with 500 links,
// the quietest a few hundredths of a percent.
class BulkLinks {
  public:
    BulkLinks(std::uint32_t count, Prng& prng);

    const FidoAddress& pick(Prng& prng) const;
    const std::vector<FidoAddress>& addresses() const { return addresses_; }

  private:
    std::vector<FidoAddress> addresses_;
    std::vector<std::uint32_t> reach_;  // running sum of the weights up to each link
};

// One session of a bulk history: the i-th of count over span seconds
// from start, of one of the links or (without links) of an address of its
// own. Every form of history draws the same numbers, so that a seed gives
// the same sessions in every form.
SessionRecord bulkSession(Prng& prng, const std::optional<BulkLinks>& links, std::uint32_t start,
                          std::uint64_t span, std::uint32_t i, std::uint32_t count);

}  // namespace rv::histgen
