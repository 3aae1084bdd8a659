#include "tools/history_writer.h"

#include <algorithm>
#include <ctime>

#include "core/dates.h"
#include "core/le.h"
#include "core/time_text.h"

namespace rv::histgen {

namespace {

// The headers are written from the formats' own descriptions rather than
// from the readers' table, so that the files test the readers.
constexpr std::uint32_t type6Signature = 0xD51AFF04u;

}  // namespace

HistoryWriter::HistoryWriter(HistoryType type, std::uint32_t brakeHeaderTime) : type_(type) {
    switch (type) {
        case HistoryType::long100:
            storeU16(grow(2), 0x00F1);
            break;
        case HistoryType::brake: {
            std::uint8_t* p = grow(6);
            storeU32(p, brakeHeaderTime);
            p[4] = 0xFE;
            break;
        }
        case HistoryType::status64:
            storeU32(grow(8), type6Signature);
            break;
        case HistoryType::none:
        case HistoryType::plain28:
        case HistoryType::binkd:
        case HistoryType::pair116:
        case HistoryType::wide316:
        case HistoryType::dated104:
        // binkd's text log is lines, written by binkd_text_log.h.
        case HistoryType::textLog:
            break;
    }
}

std::uint8_t* HistoryWriter::grow(std::size_t n) {
    bytes_.resize(bytes_.size() + n, 0);
    return bytes_.data() + bytes_.size() - n;
}

void HistoryWriter::brakeHeader(std::uint32_t time, std::uint8_t code) {
    std::uint8_t* p = grow(8);
    storeU32(p, time);
    p[4] = code;
}

void HistoryWriter::putCalendar(std::uint8_t* p, std::uint32_t time) {
    std::tm tm{};
    breakDownUtc(time, tm);
    storeU16(p, static_cast<std::uint16_t>(tm.tm_year + 1900));
    storeU16(p + 2, static_cast<std::uint16_t>(tm.tm_mon + 1));
    storeU16(p + 4, static_cast<std::uint16_t>(tm.tm_mday));
    storeU16(p + 6, static_cast<std::uint16_t>(tm.tm_hour));
    storeU16(p + 8, static_cast<std::uint16_t>(tm.tm_min));
    storeU16(p + 10, static_cast<std::uint16_t>(tm.tm_sec));
}

void HistoryWriter::session(const SessionRecord& r, const LayoutDetails& details) {
    using namespace SessionFlags;
    switch (type_) {
        case HistoryType::long100:
            encodeCommonLayout(r, longRecordSize, grow(longRecordSize));
            break;
        case HistoryType::plain28:
        case HistoryType::binkd:
            encodeCommonLayout(r, shortRecordSize, grow(shortRecordSize));
            break;
        case HistoryType::brake: {
            brakeHeader(r.startTime, (r.flags & incoming) ? 5 : 6);
            std::uint8_t* p = grow(60);
            addressBytes(r.address, p);
            storeU32(p + 12, r.duration);
            const auto received =
                details.receivedParts.value_or(std::array<std::uint32_t, 3>{r.bytesReceived, 0, 0});
            const auto sent =
                details.sentParts.value_or(std::array<std::uint32_t, 3>{r.bytesSent, 0, 0});
            for (int i = 0; i < 3; ++i) {
                storeU32(p + 16 + 8 * i, sent[static_cast<std::size_t>(i)]);
                storeU32(p + 20 + 8 * i, received[static_cast<std::size_t>(i)]);
            }
            break;
        }
        case HistoryType::pair116: {
            std::uint8_t* p = grow(116);
            addressBytes(r.address, p);
            storeU32(p + 24, r.startTime);
            storeU32(p + 28, r.startTime + r.duration);
            storeU32(p + 104, r.bytesReceived);
            storeU32(p + 108, r.bytesSent);
            storeU32(p + 112, r.cost);
            break;
        }
        case HistoryType::status64: {
            std::uint8_t* p = grow(64);
            addressBytes(r.address, p);
            storeU32(p + 8, r.startTime);
            storeU32(p + 12, r.startTime + r.duration);
            storeU32(p + 16, r.bytesSent);
            storeU32(p + 20, r.bytesReceived);
            std::uint32_t status = ((r.flags & incoming) ? 1u : 0u) |
                                   ((r.flags & protectedSession) ? 2u : 0u) |
                                   ((r.flags & normal) ? 0u : 8u);
            storeU32(p + 40, details.status.value_or(status));
            break;
        }
        case HistoryType::wide316: {
            std::uint8_t* p = grow(316);
            p[2] = (r.flags & outgoing) ? 1 : 0;
            p[3] = details.recordKind;
            storeU32(p + 8, r.startTime);
            storeU32(p + 12, r.duration);
            storeU32(p + 212, r.bytesReceived);
            storeU32(p + 216, r.bytesSent);
            addressBytes(r.address, p + 240);
            p[252] = (r.flags & protectedSession) ? 1 : 0;
            p[253] = (r.flags & normal) ? 0 : 1;
            break;
        }
        case HistoryType::dated104: {
            std::uint8_t* p = grow(104);
            putCalendar(p, r.startTime);
            addressBytes(r.address, p + 12);
            p[88] = static_cast<std::uint8_t>(details.status.value_or((r.flags & normal) ? 1 : 0));
            storeU16(p + 90, static_cast<std::uint16_t>(r.duration));
            storeU32(p + 92, r.bytesReceived);
            storeU32(p + 96, r.bytesSent);
            storeU16(p + 100, static_cast<std::uint16_t>(r.cost));
            break;
        }
        case HistoryType::none:
        // Never a record of bytes: histgen writes the text log's lines
        // through its own path (--type log, --binkd-log).
        case HistoryType::textLog:
            break;
    }
}

void HistoryWriter::brakeEvent(std::uint8_t code, std::uint32_t time, std::uint32_t duration) {
    brakeHeader(time, code);
    storeU32(grow(4), duration);
}

void HistoryWriter::brakeSkipped(std::uint8_t code, std::uint32_t time) {
    brakeHeader(time, code);
    // The payload bytes are filled with a pattern so that a reader that
    // misjudges their count reads nonsense rather than zeros.
    const std::size_t payload = code == 7 ? 0 : code == 254 ? 1 : 4;
    std::fill_n(grow(payload), payload, std::uint8_t{0xA5});
}

void HistoryWriter::wideSkipped(std::uint8_t kind, std::uint32_t time) {
    std::uint8_t* p = grow(316);
    p[3] = kind;
    storeU32(p + 8, time);
    // Looks like a session apart from its kind, so that reading it by
    // mistake shows.
    storeU32(p + 12, 77);
    storeU16(p + 240, 2);
    storeU16(p + 242, 9999);
}

void HistoryWriter::setBrakeHeaderTime(std::uint32_t time) {
    if (type_ == HistoryType::brake && bytes_.size() >= 6) storeU32(bytes_.data(), time);
}

void HistoryWriter::defaultBrakeHeaderToFirstRecord() {
    if (type_ == HistoryType::brake && bytes_.size() >= 14 &&
        loadU32(bytes_.data()) == defaultBrakeHeaderTime)
        storeU32(bytes_.data(), loadU32(bytes_.data() + 6));
}

void HistoryWriter::datedDummy(std::uint32_t time) {
    putCalendar(grow(104), time);
}

std::uint32_t utcSeconds(int year, int month, int day, int hour, int minute, int second) {
    const std::int64_t days =
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return static_cast<std::uint32_t>(days * 86400 + hour * 3600 + minute * 60 + second);
}

bool writeBytes(std::FILE* out, const Bytes& bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = writeBytes(f, bytes);
    if (std::fclose(f) != 0) ok = false;
    return ok;
}

}  // namespace rv::histgen
