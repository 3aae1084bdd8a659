// A day's packed sums come back as they went in, extremes included, and
// bytes that are not whole packed sums are refused, however spoiled.
#include "archive/packed_sums.h"

#include <gtest/gtest.h>

namespace rv {
namespace {

// The sums unpacked and packed again, or "refused": the same bytes when
// every field came back.
std::string repacked(const std::string& bytes) {
    std::vector<ArchivedSums> sums;
    if (!unpackSums(bytes, [&](const ArchivedSums& s) { sums.push_back(s); })) return "refused";
    std::vector<const ArchivedSums*> again;
    for (const ArchivedSums& s : sums)
        again.push_back(&s);
    std::string out;
    packSums(again, out);
    return out;
}

TEST(PackedSums, ComeBackWholeOrAreRefused) {
    const FidoAddress addresses[] = {
        {2, 5020, 9999, 0}, {-1, -2, -32768, 32767}, {0, 0, 0, 0}, {1, 1, 1, 1}};
    const std::uint16_t kinds[] = {0, 4096, 65535, 256 | 2048};
    const std::uint64_t bases[] = {0, 127, ~std::uint64_t{0} - 20, std::uint64_t{1} << 31};
    std::vector<ArchivedSums> day(4);
    std::vector<const ArchivedSums*> in;
    for (std::size_t i = 0; i < day.size(); ++i) {
        day[i].address = addresses[i];
        day[i].kind = kinds[i];
        std::uint64_t v = bases[i];
        for (const auto counter : archivedCounters)
            day[i].counters.*counter = v++;
        day[i].protectedSessions = v;
        in.push_back(&day[i]);
    }
    std::string none, good;
    packSums({}, none);
    packSums(in, good);
    EXPECT_EQ(repacked(none), none);
    EXPECT_EQ(repacked(good), good);
    // Cut short anywhere, a byte too many, more sums counted than held, an
    // address part or kind past 16 bits, a count past 64 bits.
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_EQ(repacked(good.substr(0, n)), "refused") << n << " bytes";
    for (const std::string& bytes :
         {good + '\0', std::string("\x05") + good.substr(1), std::string("\x01\x80\x80\x04", 4),
          std::string("\x01\x00\x00\x00\x00\x80\x80\x04", 8),
          std::string("\x81\x80\x80\x80\x80\x80\x80\x80\x80\x02", 10)})
        EXPECT_EQ(repacked(bytes), "refused");
}

}  // namespace
}  // namespace rv
