#include "core/out_buffer.h"

namespace rv {

OutBuffer::OutBuffer(std::FILE* out, std::size_t flushAt) : out_(out), flushAt_(flushAt) {
    text_.reserve(flushAt + 4096);
}

OutBuffer::~OutBuffer() { flush(); }

void OutBuffer::put(std::string_view text) { text_.append(text); }

void OutBuffer::putUnsigned(unsigned long long value, int width) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = n; i < width; ++i) text_.push_back(' ');
    while (n > 0) text_.push_back(digits[--n]);
}

void OutBuffer::flush() {
    if (!text_.empty()) std::fwrite(text_.data(), 1, text_.size(), out_);
    text_.clear();
}

}  // namespace rv
