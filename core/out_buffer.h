// Collects report text and hands it to a stream in large pieces, so that
// a dump of millions of rows costs few writes. Appending is a copy into a
// fixed block: no allocation and no capacity test beyond one comparison.
#pragma once

#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

namespace rv {

class OutBuffer {
  public:
    explicit OutBuffer(std::FILE* out, std::size_t flushAt = 1 << 16);
    ~OutBuffer();
    OutBuffer(const OutBuffer&) = delete;
    OutBuffer& operator=(const OutBuffer&) = delete;

    void put(std::string_view text) {
        if (text.size() > capacity_ - size_) {
            putLarge(text);
            return;
        }
        // An empty view may have no data at all, which memcpy must not get.
        if (text.empty()) return;
        std::memcpy(block_.get() + size_, text.data(), text.size());
        size_ += text.size();
    }
    void put(char c) {
        if (size_ == capacity_) flush();
        block_[size_++] = c;
    }
    // Unsigned decimal right-aligned in at least width columns (at most 64).
    void putUnsigned(unsigned long long value, int width);
    // Signed decimal, '-' before a negative value.
    void putSigned(long long value);
    // Writes the collected text if it has grown past the limit.
    void maybeFlush() {
        if (size_ >= flushAt_) flush();
    }
    void flush();

  private:
    void putLarge(std::string_view text);

    std::FILE* out_;
    std::size_t flushAt_;
    std::size_t capacity_;
    std::size_t size_ = 0;
    std::unique_ptr<char[]> block_;
};

}  // namespace rv
