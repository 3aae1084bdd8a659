#include "core/history_formats.h"

#include <ctime>

#include "core/binkd_text_log.h"
#include "core/le.h"
#include "core/session_kind.h"

namespace rv {

void decodeLong100(const std::uint8_t* raw, SessionRecord& r, WallClockReader&) {
    decodeCommonLayout(raw, longRecordSize, r);
}
void decodePlain28(const std::uint8_t* raw, SessionRecord& r, WallClockReader&) {
    decodeCommonLayout(raw, shortRecordSize, r);
}

std::size_t brakePayloadSize(std::uint8_t code) {
    return code <= 4 ? 4 : code <= 6 ? 60 : code == 7 ? 0 : code == 254 ? 1 : 4;
}

void decodeBrakeSession(std::uint32_t time, std::uint8_t code, const std::uint8_t* p,
                        SessionRecord& r) {
    r.address = addressFromBytes(p);
    r.startTime = time;
    r.duration = loadU32(p + 12);
    // Each sum wraps modulo 2^32, as the format's own counters do.
    r.bytesSent = loadU32(p + 16) + loadU32(p + 24) + loadU32(p + 32);
    r.bytesReceived = loadU32(p + 20) + loadU32(p + 28) + loadU32(p + 36);
    r.flags = static_cast<std::uint16_t>(
        (code == 5 ? SessionFlags::incoming : SessionFlags::outgoing) | SessionFlags::normal);
}

void decodeBrakeEvent(std::uint32_t time, std::uint8_t code, const std::uint8_t* p,
                      SessionRecord& r) {
    const SessionKind& kind = sessionKinds[code];
    r.address = eventKeyAddress(kind);
    r.startTime = time;
    r.duration = loadU32(p);
    r.bytesReceived = 0;
    r.bytesSent = 0;
    r.spare = 0;
    r.flags = kind.recordFlags;
}

void decodePair116(const std::uint8_t* raw, SessionRecord& r, WallClockReader&) {
    r.address = addressFromBytes(raw);
    r.startTime = loadU32(raw + 24);
    r.duration = loadU32(raw + 28) - r.startTime;
    r.bytesReceived = loadU32(raw + 104);
    r.bytesSent = loadU32(raw + 108);
    r.cost = loadU32(raw + 112);
    r.flags = SessionFlags::normal;
}

void decodeStatus64(const std::uint8_t* raw, SessionRecord& r, WallClockReader&) {
    r.address = addressFromBytes(raw);
    r.startTime = loadU32(raw + 8);
    r.duration = loadU32(raw + 12) - r.startTime;
    r.bytesSent = loadU32(raw + 16);
    r.bytesReceived = loadU32(raw + 20);
    std::uint32_t status = loadU32(raw + 40);
    std::uint16_t f = (status & 1) ? SessionFlags::incoming : SessionFlags::outgoing;
    if (status & 2) f |= SessionFlags::protectedSession;
    if (!(status & 8)) f |= SessionFlags::normal;
    r.flags = f;
}

bool isWide316Session(const std::uint8_t* raw) {
    return raw[3] == 0 || raw[3] == 9;
}

void decodeWide316(const std::uint8_t* raw, SessionRecord& r, WallClockReader&) {
    r.flags = raw[2] != 0 ? SessionFlags::outgoing : SessionFlags::incoming;
    r.startTime = loadU32(raw + 8);
    r.duration = loadU32(raw + 12);
    r.bytesReceived = loadU32(raw + 212);
    r.bytesSent = loadU32(raw + 216);
    r.address = addressFromBytes(raw + 240);
    if (raw[252] != 0) r.flags |= SessionFlags::protectedSession;
    if (raw[253] == 0) r.flags |= SessionFlags::normal;
}

void decodeDated104(const std::uint8_t* raw, SessionRecord& r, WallClockReader& clock) {
    std::tm tm{};
    tm.tm_year = loadU16(raw) - 1900;
    tm.tm_mon = loadU16(raw + 2) - 1;
    tm.tm_mday = loadU16(raw + 4);
    tm.tm_hour = loadU16(raw + 6);
    tm.tm_min = loadU16(raw + 8);
    tm.tm_sec = loadU16(raw + 10);
    r.startTime = static_cast<std::uint32_t>(clock.toCalendar(tm));
    r.address = addressFromBytes(raw + 12);
    r.flags = raw[88] == 1 ? SessionFlags::normal : 0;
    r.duration = loadU16(raw + 90);
    r.bytesReceived = loadU32(raw + 92);
    r.bytesSent = loadU32(raw + 96);
    r.cost = loadU16(raw + 100);
}

bool startsAsLong100(const FileHead& head) {
    return (loadU32(head.bytes) & 0xFFFF) == 0x00F1;
}

bool startsAsBrake(const FileHead& head) {
    return head.bytes[4] == 0xFE && loadU32(head.bytes) > plausibleTimeFloor;
}

bool startsAsStatus64(const FileHead& head) {
    return loadU32(head.bytes) == 0xD51AFF04u;
}

// The 316-byte format has no signature. Its records hold the outgoing
// byte (0 or 1) at offset 2 and the start time at 8; bytes 4 to 7 are not
// used. The test it was always told by reads the 32-bit value at offset 5,
// whose top byte is the low byte of the first start time: a history whose
// first start time is 0 to 39 modulo 256 fails it. So the start time
// itself passes too, with that of the second record when the file has
// one: in a 28-byte history, where offset 8 is also a start time, offset
// 324 holds the received bytes of its twelfth record, which are seldom
// more than 662 MB. Every file that passed the old test still passes.
bool startsAsWide316(const FileHead& head) {
    constexpr std::size_t second = formatOf(HistoryType::wide316).recordSize + 8;
    static_assert(detectionBytes == second + 4, "detection sees the second record's start time");
    const std::uint8_t* b = head.bytes;
    if (b[2] != 0 && b[2] != 1) return false;
    if (loadU32(b + 5) > plausibleTimeFloor) return true;
    const bool secondStart = head.size >= second + 4;
    return loadU32(b + 8) > plausibleTimeFloor &&
           (!secondStart || loadU32(b + second) > plausibleTimeFloor);
}

bool startsAsDated104(const FileHead& head) {
    const std::uint8_t* b = head.bytes;
    return loadU16(b) >= 1990 && loadU16(b + 2) >= 1 && loadU16(b + 2) <= 12 && b[5] == 0 &&
           loadU16(b + 6) <= 23 && b[8] <= 59;
}

bool startsAsTextLog(const FileHead& head) {
    return startsAsBinkdTextLog({head.bytes, head.size});
}

}  // namespace rv
