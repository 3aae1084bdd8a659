// A day's sums packed into one value, as the archive keeps them beside
// their rows: pondrel reads a year of days as a few hundred values instead
// of a row per address and day. Unsigned LEB128 numbers: the count of
// sums, then per sums the address (zigzag, so that -1 stays one byte), the
// kind, the counters in the order of the traffic table's columns and the
// protected sessions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "archive/day_archive.h"

namespace rv {

// Appends the packed sums to out.
void packSums(const std::vector<const ArchivedSums*>& sums, std::string& out);

// Hands each packed sums, in order, to found, which may be any callable
// taking a const ArchivedSums&. False for bytes that are not whole packed
// sums; what was handed on before then stands for nothing.
template <typename Found>
bool unpackSums(std::string_view packed, Found&& found);

// ---- implementation ---------------------------------------------------------

namespace packed {

// Reads one number at p, moving p on; false past the end or for a number
// longer than 64 bits.
inline bool number(const unsigned char*& p, const unsigned char* end, std::uint64_t& v) {
    v = 0;
    for (unsigned shift = 0; p < end && shift < 64; shift += 7) {
        const unsigned char b = *p++;
        if (shift == 63 && b > 1) return false;
        v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
        if ((b & 0x80) == 0) return true;
    }
    return false;
}

bool component(const unsigned char*& p, const unsigned char* end, std::int16_t& c);
bool readSums(const unsigned char*& p, const unsigned char* end, ArchivedSums& s);

}  // namespace packed

template <typename Found>
bool unpackSums(std::string_view packed, Found&& found) {
    const auto* const begin = reinterpret_cast<const unsigned char*>(packed.data());
    const auto* const end = begin + packed.size();
    const unsigned char* p = begin;
    std::uint64_t count = 0;
    if (!packed::number(p, end, count)) return false;
    ArchivedSums s;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (!packed::readSums(p, end, s)) return false;
        found(static_cast<const ArchivedSums&>(s));
    }
    return p == end;
}

}  // namespace rv
