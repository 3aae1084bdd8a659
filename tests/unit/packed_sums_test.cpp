// A day's packed sums come back as they went in, and bytes that are not
// whole packed sums are refused, however they were spoiled.
#include "archive/packed_sums.h"

#include <gtest/gtest.h>

#include <limits>

namespace rv {
namespace {

ArchivedSums sums(FidoAddress a, std::uint16_t kind, std::uint64_t base) {
    ArchivedSums s;
    s.address = a;
    s.kind = kind;
    std::uint64_t v = base;
    for (const auto counter : archivedCounters)
        s.counters.*counter = v++;
    s.protectedSessions = v;
    return s;
}

std::vector<ArchivedSums> unpacked(const std::string& bytes, bool& whole) {
    std::vector<ArchivedSums> out;
    whole = unpackSums(bytes, [&](const ArchivedSums& s) { out.push_back(s); });
    return out;
}

bool same(const ArchivedSums& a, const ArchivedSums& b) {
    bool equal =
        a.address == b.address && a.kind == b.kind && a.protectedSessions == b.protectedSessions;
    for (const auto counter : archivedCounters)
        equal = equal && a.counters.*counter == b.counters.*counter;
    return equal;
}

TEST(PackedSums, ComeBackAsTheyWentIn) {
    constexpr std::uint64_t most = std::numeric_limits<std::uint64_t>::max() - 20;
    const std::vector<std::vector<ArchivedSums>> days = {
        {},
        {sums({2, 5020, 9999, 0}, 0, 0)},
        {sums({-1, -2, -32768, 32767}, 4096, 127), sums({1, 1, 1, 1}, 256 | 2048, 128)},
        {sums({2, 5020, 1, 0}, 65535, most), sums({0, 0, 0, 0}, 0, 1u << 31)},
    };
    for (const auto& day : days) {
        std::vector<const ArchivedSums*> in;
        for (const ArchivedSums& s : day)
            in.push_back(&s);
        std::string bytes = "kept";
        packSums(in, bytes);
        bool whole = false;
        const std::vector<ArchivedSums> out = unpacked(bytes.substr(4), whole);
        EXPECT_TRUE(whole);
        ASSERT_EQ(out.size(), day.size());
        for (std::size_t i = 0; i < day.size(); ++i)
            EXPECT_TRUE(same(out[i], day[i])) << "sums " << i;
    }
}

TEST(PackedSums, RefuseWhatIsNotWhole) {
    const ArchivedSums a = sums({2, 5020, 9999, 1}, 512, 1000);
    const ArchivedSums b = sums({-1, 0, 0, 0}, 0, 1u << 20);
    std::string good;
    packSums({&a, &b}, good);
    bool whole = true;
    // Cut short anywhere, or with a byte too many.
    for (std::size_t n = 0; n < good.size(); ++n) {
        unpacked(good.substr(0, n), whole);
        EXPECT_FALSE(whole) << n << " bytes";
    }
    unpacked(good + '\0', whole);
    EXPECT_FALSE(whole);
    const std::string spoiled[] = {
        std::string("\x03") + good.substr(1),                         // more sums counted than held
        std::string("\x01\x80\x80\x04", 4),                           // a component past 16 bits
        std::string("\x01\x00\x00\x00\x00\x80\x80\x04", 8),           // a kind past 16 bits
        std::string("\x81\x80\x80\x80\x80\x80\x80\x80\x80\x02", 10),  // a count past 64 bits
    };
    for (const std::string& bytes : spoiled) {
        unpacked(bytes, whole);
        EXPECT_FALSE(whole);
    }
}

}  // namespace
}  // namespace rv
