// The complete lines of a byte source, read in blocks and handed out in
// place: no allocation or system call per line. A line longer than the
// block is passed over whole; bytes after the last newline (a line still
// being written) are not a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

#include "core/byte_source.h"

namespace rv {

class LineScanner {
  public:
    static constexpr std::size_t blockSize = 1 << 16;

    LineScanner() : block_(blockSize) {}

    // Starts on source, reading no more than limit bytes of it.
    void start(ByteSource& source, std::uint64_t limit = std::numeric_limits<std::uint64_t>::max());

    // The next line without its newline, valid until the next call; false
    // at the end.
    bool next(std::string_view& line);

    // Bytes up to and including the last newline handed out or passed over.
    std::uint64_t completeBytes() const { return complete_; }

  private:
    // Reads more after the bytes kept; false when nothing more comes.
    bool refill();

    std::vector<char> block_;
    ByteSource* source_ = nullptr;
    std::uint64_t left_ = 0;  // bytes of the limit not yet read
    std::size_t pos_ = 0;     // the first byte not yet handed out
    std::size_t end_ = 0;
    std::size_t scanned_ = 0;  // from pos_, bytes known to hold no newline
    bool skipping_ = false;    // within a line too long for the block
    bool ended_ = true;
    std::uint64_t complete_ = 0;
};

}  // namespace rv
