#include "archive/packed_sums.h"

namespace rv {

namespace {

void putNumber(std::uint64_t v, std::string& out) {
    while (v >= 0x80) {
        out.push_back(static_cast<char>((v & 0x7F) | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<char>(v));
}

std::uint64_t zigzag(std::int16_t c) {
    const std::int64_t v = c;
    return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
}

}  // namespace

void packSums(const std::vector<const ArchivedSums*>& sums, std::string& out) {
    putNumber(sums.size(), out);
    for (const ArchivedSums* s : sums) {
        for (const std::int16_t c :
             {s->address.zone, s->address.net, s->address.node, s->address.point})
            putNumber(zigzag(c), out);
        putNumber(s->kind, out);
        for (const auto counter : archivedCounters)
            putNumber(s->counters.*counter, out);
        putNumber(s->protectedSessions, out);
    }
}

namespace packed {

bool component(const unsigned char*& p, const unsigned char* end, std::int16_t& c) {
    std::uint64_t v = 0;
    if (!number(p, end, v) || v > 0xFFFF) return false;
    c = static_cast<std::int16_t>(static_cast<std::int32_t>(v >> 1) ^
                                  -static_cast<std::int32_t>(v & 1));
    return true;
}

bool readSums(const unsigned char*& p, const unsigned char* end, ArchivedSums& s) {
    std::uint64_t kind = 0;
    if (!component(p, end, s.address.zone) || !component(p, end, s.address.net) ||
        !component(p, end, s.address.node) || !component(p, end, s.address.point) ||
        !number(p, end, kind) || kind > 0xFFFF)
        return false;
    s.kind = static_cast<std::uint16_t>(kind);
    for (const auto counter : archivedCounters)
        if (!number(p, end, s.counters.*counter)) return false;
    return number(p, end, s.protectedSessions);
}

}  // namespace packed

}  // namespace rv
