// Collects report text and hands it to a stream in large pieces, so that
// a dump of millions of rows costs few writes.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace rv {

class OutBuffer {
public:
    explicit OutBuffer(std::FILE* out, std::size_t flushAt = 1 << 16);
    ~OutBuffer();
    OutBuffer(const OutBuffer&) = delete;
    OutBuffer& operator=(const OutBuffer&) = delete;

    void put(std::string_view text);
    void put(char c) { text_.push_back(c); }
    // Unsigned decimal right-aligned in at least width columns.
    void putUnsigned(unsigned long long value, int width);
    // Writes the collected text if it has grown past the limit.
    void maybeFlush() {
        if (text_.size() >= flushAt_) flush();
    }
    void flush();

private:
    std::FILE* out_;
    std::size_t flushAt_;
    std::string text_;
};

}  // namespace rv
