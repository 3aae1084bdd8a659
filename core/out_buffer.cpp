#include "core/out_buffer.h"

#include "core/format.h"

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
    const std::size_t columns = static_cast<std::size_t>(std::clamp(width, 0, 64));
    if (capacity_ - size_ < columns + 20) flush();
    size_ = static_cast<std::size_t>(writeUnsigned(block_.get() + size_, value, columns) -
                                     block_.get());
}

void OutBuffer::putSigned(long long value) {
    if (value < 0) put('-');
    putUnsigned(value < 0 ? 0 - static_cast<unsigned long long>(value)
                          : static_cast<unsigned long long>(value),
                0);
}

void OutBuffer::flush() {
    if (size_ > 0) std::fwrite(block_.get(), 1, size_, out_);
    size_ = 0;
}

}  // namespace rv
