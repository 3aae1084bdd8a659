#include "core/out_buffer.h"

#include <algorithm>

namespace rv {

// Room for a few rows beyond the flush mark, so that a row that starts
// below it never needs a write in the middle.
OutBuffer::OutBuffer(std::FILE* out, std::size_t flushAt)
    : out_(out), flushAt_(flushAt), capacity_(flushAt + 4096), block_(new char[flushAt + 4096]) {}

OutBuffer::~OutBuffer() {
    flush();
}

void OutBuffer::putLarge(std::string_view text) {
    flush();
    if (text.size() >= capacity_) {
        std::fwrite(text.data(), 1, text.size(), out_);
        return;
    }
    std::memcpy(block_.get(), text.data(), text.size());
    size_ = text.size();
}

void OutBuffer::putUnsigned(unsigned long long value, int width) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    char text[48];
    const int pad = std::max(0, std::min(width, 24) - n);
    std::memset(text, ' ', static_cast<std::size_t>(pad));
    for (int i = 0; i < n; ++i)
        text[pad + i] = digits[n - 1 - i];
    put(std::string_view(text, static_cast<std::size_t>(pad + n)));
}

void OutBuffer::flush() {
    if (size_ > 0) std::fwrite(block_.get(), 1, size_, out_);
    size_ = 0;
}

}  // namespace rv
