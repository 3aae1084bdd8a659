#include "core/session_record.h"

#include <algorithm>

#include "core/le.h"

namespace rv {

void addressBytes(const FidoAddress& a, std::uint8_t out[8]) {
    storeS16(out, a.zone);
    storeS16(out + 2, a.net);
    storeS16(out + 4, a.node);
    storeS16(out + 6, a.point);
}

FidoAddress addressFromBytes(const std::uint8_t in[8]) {
    return FidoAddress{loadS16(in), loadS16(in + 2), loadS16(in + 4), loadS16(in + 6)};
}

void decodeCommonLayout(const std::uint8_t* raw, std::size_t size, SessionRecord& r) {
    decodeShortRecord(raw, r);
    if (size >= longRecordSize) {
        r.cost = loadU32(raw + 28);
        std::copy(raw + 32, raw + longRecordSize, r.extension.begin());
    }
}

void encodeCommonLayout(const SessionRecord& r, std::size_t size, std::uint8_t* raw) {
    addressBytes(r.address, raw);
    storeU32(raw + 8, r.startTime);
    storeU32(raw + 12, r.duration);
    storeU32(raw + 16, r.bytesReceived);
    storeU32(raw + 20, r.bytesSent);
    storeU16(raw + 24, r.spare);
    storeU16(raw + 26, r.flags);
    if (size >= longRecordSize) {
        storeU32(raw + 28, r.cost);
        std::copy(r.extension.begin(), r.extension.end(), raw + 32);
    }
}

}  // namespace rv
