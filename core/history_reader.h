// Opens a history file, tells its format from its name and first bytes,
// and yields its records one by one as session records. The file is read
// in large blocks; records are cut from the block buffer, so reading costs
// neither a system call nor an allocation per record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/binkd_text_log.h"
#include "core/byte_source.h"
#include "core/file_directory.h"
#include "core/history_formats.h"
#include "core/history_source.h"
#include "core/session_record.h"
#include "core/wall_clock.h"

namespace rv {

// Chooses the format of a file from its first bytes (head: as many of the
// first detectionBytes as the file has; missing bytes read as zero) and
// whether its name is a pair name. Returns the type and the number of
// header bytes before the first record; isPair tells whether the file is
// one of an .IHS/.OHS pair. The order of the tests is part of the rule:
// the signatures (The Brake!, 64-byte, 100-byte), then for a pair name the
// date test, then binkd's text log, then the 316-byte test unless the line
// is a BinkD one; a file that passes none keeps the type its History value
// gives.
struct Detection {
    HistoryType type;
    std::size_t headerBytes;
    bool isPair;
};
Detection detectHistoryType(std::span<const std::uint8_t> head, HistoryType parsed, bool pairName);

// detectHistoryType for a line's history, with the one rule that needs
// more than its head: a missing or empty file (a text log just rotated,
// with logrotate's nocreate) whose newest copy starts as binkd's text log
// is that log.
Detection detectHistory(std::span<const std::uint8_t> head, const HistorySource& source,
                        SourceOpener& opener, FileDirectory& directory);

class HistoryReader {
  public:
    static constexpr std::size_t blockSize = 1 << 16;

    // directory and now serve binkd's text log: the names of its rotated
    // copies and the year of its lines.
    HistoryReader(SourceOpener& opener, FileDirectory& directory, std::time_t now);

    // Opens source.path; with detectFormats chooses the type (stored in
    // source.type) and consumes the file header. False when the file
    // cannot be opened; openFailure() tells why.
    [[nodiscard]] bool openHistory(HistorySource& source, bool detectFormats);
    const std::string& openFailure() const { return opener_.failure(); }

    // The next session of the open file; false at its end.
    bool readSession(SessionRecord& r) {
        // The common case inline: a 28-byte record wholly in the block.
        if ((type_ == HistoryType::plain28 || type_ == HistoryType::binkd) &&
            end_ - pos_ >= shortRecordSize) {
            raw_ = buffer_.data() + pos_;
            rawSize_ = shortRecordSize;
            pos_ += shortRecordSize;
            consumed_ += shortRecordSize;
            decodeShortRecord(raw_, r);
            return true;
        }
        return readAnySession(r);
    }

    // After the end of the first file of a pair: swaps the path to its
    // twin and opens it (same type, no detection, nothing skipped).
    enum class Twin { none, opened, failed };
    [[nodiscard]] Twin openTwin(HistorySource& source);

    // Reads a line whose history is open: read() for the history, then for
    // its pair twin if it has one. False when the twin could not be opened
    // (openFailure() says why).
    template <class Read>
    [[nodiscard]] bool readWithTwin(HistorySource& source, Read&& read) {
        read();
        const Twin twin = openTwin(source);
        if (twin == Twin::opened) read();
        return twin != Twin::failed;
    }

    void close();
    bool isOpen() const { return source_ != nullptr; }

    // incoming or outgoing for a file of a pair, 0 otherwise.
    std::uint16_t direction() const { return direction_; }
    HistoryType type() const { return type_; }
    // Raw bytes of the record last returned by a format of fixed-size
    // records, as they stand in the file (for the formats the cut rewrites,
    // exactly what it writes back; shorter than the record size for a
    // truncated last record).
    std::span<const std::uint8_t> rawRecord() const { return {raw_, rawSize_}; }
    // Bytes of the current file consumed so far, header included.
    std::uint64_t consumed() const { return consumed_; }

  private:
    bool readAnySession(SessionRecord& r);
    // A record of a format of fixed-size records (RecordLayout::fixed).
    template <HistoryType type>
    bool readFixed(SessionRecord& r);
    bool readBrakeRecord(SessionRecord& r);
    // Makes up to n bytes available at the read position; returns how many.
    std::size_t fill(std::size_t n);
    // Takes the next record of n bytes; returns the bytes that were there
    // (the rest of out is zeroed), 0 at the end.
    std::size_t take(std::size_t n, const std::uint8_t*& out);

    SourceOpener& opener_;
    FileDirectory& directory_;
    std::unique_ptr<ByteSource> source_;
    std::vector<std::uint8_t> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool exhausted_ = false;
    std::uint64_t consumed_ = 0;
    HistoryType type_ = HistoryType::none;
    std::uint16_t direction_ = 0;
    bool pairPending_ = false;
    const std::uint8_t* raw_ = nullptr;
    std::size_t rawSize_ = 0;
    // A truncated last record, or The Brake!'s smaller payload.
    std::uint8_t padded_[largestRecordSize] = {};
    WallClockReader wallClock_;  // type 8 stores local calendar fields
    BinkdTextLogReader textLog_;
};

}  // namespace rv
