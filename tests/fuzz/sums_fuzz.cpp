// A day's packed sums as the archive hands them to pondrel: bytes anyone
// may have written with sqlite3. Whole sums must come back the same when
// packed again; anything else must be refused without reading past the
// value.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "archive/packed_sums.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rv;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<ArchivedSums> found;
    if (!unpackSums(bytes, [&](const ArchivedSums& s) { found.push_back(s); })) return 0;
    std::vector<const ArchivedSums*> again;
    for (const ArchivedSums& s : found)
        again.push_back(&s);
    std::string packed;
    packSums(again, packed);
    std::size_t i = 0;
    bool same = unpackSums(packed, [&](const ArchivedSums& s) {
        const ArchivedSums& f = found[i++];
        bool equal = s.address == f.address && s.kind == f.kind &&
                     s.protectedSessions == f.protectedSessions;
        for (const auto counter : archivedCounters)
            equal = equal && s.counters.*counter == f.counters.*counter;
        if (!equal) std::abort();
    });
    if (!same || i != found.size()) std::abort();
    return 0;
}
