#include "core/history_reader.h"

#include <algorithm>
#include <cstring>

#include "core/le.h"

namespace rv {

namespace {

// Where a format detection finds begins: after its header, and on the
// first file of a pair the direction comes from the name.
Detection found(HistoryType type) {
    const HistoryFormat& f = formatOf(type);
    return {type, f.headerSize, (f.carries & Carries::directionFromName) != 0};
}

// The formats told by a signature, tested first and in this order: a
// file starting with F1 00 is 100-byte even under a pair name.
constexpr HistoryType bySignature[] = {HistoryType::brake, HistoryType::status64,
                                       HistoryType::long100};

}  // namespace

Detection detectHistoryType(std::span<const std::uint8_t> head, HistoryType parsed, bool pairName) {
    std::uint8_t first[detectionBytes] = {};
    const std::size_t size = std::min(head.size(), detectionBytes);
    if (size > 0) std::memcpy(first, head.data(), size);
    const FileHead h{first, size};
    for (HistoryType t : bySignature)
        if (formatOf(t).startsAs(h)) return found(t);
    if (pairName) return found(startsAsDated104(h) ? HistoryType::dated104 : HistoryType::pair116);
    // binkd's text log after the signatures, whose bytes no line starts
    // with, and the pair names, which keep their pair: the strict test of
    // the first line is the first one a file without either meets. No
    // line passes the 316-byte test (its byte 2, a blank or a digit, is
    // never 0 or 1), so a file read by a binary format today keeps its
    // reading unless its first line is exactly binkd's.
    if (startsAsTextLog(h)) return found(HistoryType::textLog);
    // A binkd log can pass the 316-byte test when its first record comes
    // from a net whose low byte is 0 or 1 (2:5120/...): a line the
    // operator declared as BinkD keeps its type.
    if (parsed != HistoryType::binkd && startsAsWide316(h)) return found(HistoryType::wide316);
    return {parsed, 0, false};
}

Detection detectHistory(std::span<const std::uint8_t> head, const HistorySource& source,
                        SourceOpener& opener, FileDirectory& directory) {
    const bool pairName = source.pairLetter >= 0;
    if (head.empty() && !pairName && isBinkdTextLog(source.path, {}, opener, directory))
        return found(HistoryType::textLog);
    return detectHistoryType(head, source.type, pairName);
}

HistoryReader::HistoryReader(SourceOpener& opener, FileDirectory& directory, std::time_t now)
    : opener_(opener),
      directory_(directory),
      buffer_(blockSize),
      textLog_(opener, directory, now) {}

void HistoryReader::close() {
    source_.reset();
    pos_ = end_ = 0;
    exhausted_ = false;
    consumed_ = 0;
}

std::size_t HistoryReader::fill(std::size_t n) {
    if (end_ - pos_ >= n || exhausted_) return std::min(n, end_ - pos_);
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
    while (end_ < n && !exhausted_) {
        long got = source_->read(buffer_.data() + end_, buffer_.size() - end_);
        // A read error ends the history like its end does.
        if (got <= 0) {
            exhausted_ = true;
        } else {
            end_ += static_cast<std::size_t>(got);
        }
    }
    return std::min(n, end_);
}

std::size_t HistoryReader::take(std::size_t n, const std::uint8_t*& out) {
    if (end_ - pos_ >= n) {
        // The common case: the whole record is in the block already.
        out = buffer_.data() + pos_;
        pos_ += n;
        consumed_ += n;
        return n;
    }
    std::size_t got = fill(n);
    if (got == n) {
        out = buffer_.data() + pos_;
    } else if (got > 0) {
        // A truncated last record still counts; its missing tail reads as zero.
        std::memcpy(padded_, buffer_.data() + pos_, got);
        std::memset(padded_ + got, 0, n - got);
        out = padded_;
    }
    pos_ += got;
    consumed_ += got;
    return got;
}

bool HistoryReader::openHistory(HistorySource& source, bool detectFormats) {
    close();
    direction_ = 0;
    pairPending_ = false;
    type_ = source.type;
    if (type_ == HistoryType::textLog) return textLog_.open(source.path);
    source_ = opener_.openHistory(source.path);
    if (!detectFormats) return source_ != nullptr;

    const std::size_t have = source_ ? fill(detectionBytes) : 0;
    const Detection d = detectHistory({buffer_.data() + pos_, have}, source, opener_, directory_);
    if (d.type == HistoryType::textLog) {
        close();
        type_ = source.type = d.type;
        return textLog_.open(source.path);
    }
    if (!source_) return false;
    type_ = source.type = d.type;
    const std::uint8_t* skipped = nullptr;
    take(d.headerBytes, skipped);
    if (d.isPair) {
        char letter = source.path[static_cast<std::size_t>(source.pairLetter)];
        direction_ =
            (letter == 'I' || letter == 'i') ? SessionFlags::incoming : SessionFlags::outgoing;
        pairPending_ = true;
    }
    return true;
}

HistoryReader::Twin HistoryReader::openTwin(HistorySource& source) {
    if (direction_ == 0 || !pairPending_) return Twin::none;
    std::uint16_t direction = direction_ ^ SessionFlags::directionMask;
    close();
    swapPairLetter(source);
    pairPending_ = false;
    direction_ = direction;
    source_ = opener_.openHistory(source.path);
    return source_ ? Twin::opened : Twin::failed;
}

template <HistoryType type>
bool HistoryReader::readFixed(SessionRecord& r) {
    constexpr HistoryFormat format = formatOf(type);
    static_assert(format.layout == RecordLayout::fixed);
    const std::uint8_t* p = nullptr;
    std::size_t got = 0;
    for (;;) {
        got = take(format.recordSize, p);
        if (got == 0) return false;
        if constexpr (format.isSession == nullptr)
            break;
        else if (format.isSession(p))
            break;
    }
    format.decode(p, r, wallClock_);
    raw_ = p;
    rawSize_ = got;
    return true;
}

// Every format has its case, so that the compiler names a format without
// one; each calls its row's decoder directly, which the hot loop of a
// whole history needs.
bool HistoryReader::readAnySession(SessionRecord& r) {
    // The text log reads its files through a reader of its own.
    if (!source_ && type_ != HistoryType::textLog) return false;
    switch (type_) {
        case HistoryType::none:
            return false;
        case HistoryType::long100:
            return readFixed<HistoryType::long100>(r);
        case HistoryType::plain28:
            return readFixed<HistoryType::plain28>(r);
        case HistoryType::binkd:
            return readFixed<HistoryType::binkd>(r);
        case HistoryType::brake:
            return readBrakeRecord(r);
        case HistoryType::pair116:
            return readFixed<HistoryType::pair116>(r);
        case HistoryType::status64:
            return readFixed<HistoryType::status64>(r);
        case HistoryType::wide316:
            return readFixed<HistoryType::wide316>(r);
        case HistoryType::dated104:
            return readFixed<HistoryType::dated104>(r);
        case HistoryType::textLog:
            // Its records have no bytes of their own: it is never cut.
            raw_ = nullptr;
            rawSize_ = 0;
            return textLog_.readSession(r);
    }
    return false;
}

bool HistoryReader::readBrakeRecord(SessionRecord& r) {
    for (;;) {
        const std::uint8_t* header = nullptr;
        // A partial header means the end: no payload can follow it.
        if (take(8, header) < 8) return false;
        const std::uint32_t time = loadU32(header);
        const std::uint8_t code = header[4];
        const std::size_t payload = brakePayloadSize(code);
        if (payload == 0) continue;
        const std::uint8_t* p = nullptr;
        if (take(payload, p) == 0) return false;
        if (code <= 4) {
            decodeBrakeEvent(time, code, p, r);
            return true;
        }
        if (code <= 6) {
            decodeBrakeSession(time, code, p, r);
            return true;
        }
    }
}

}  // namespace rv
