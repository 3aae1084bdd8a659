#include "core/line_scanner.h"

#include <algorithm>
#include <cstring>

namespace rv {

void LineScanner::start(ByteSource& source, std::uint64_t limit) {
    source_ = &source;
    left_ = limit;
    pos_ = end_ = scanned_ = 0;
    skipping_ = false;
    ended_ = false;
    complete_ = 0;
}

bool LineScanner::refill() {
    if (ended_) return false;
    if (pos_ > 0) {
        std::memmove(block_.data(), block_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (end_ == block_.size()) {
        // No newline in a whole block: the line is passed over.
        complete_ += end_;
        end_ = scanned_ = 0;
        skipping_ = true;
    }
    const std::size_t room =
        static_cast<std::size_t>(std::min<std::uint64_t>(block_.size() - end_, left_));
    const long got =
        room == 0 ? 0 : source_->read(reinterpret_cast<std::uint8_t*>(block_.data()) + end_, room);
    // A read error ends the file like its end does.
    if (got <= 0) {
        ended_ = true;
        return false;
    }
    end_ += static_cast<std::size_t>(got);
    left_ -= static_cast<std::uint64_t>(got);
    return true;
}

bool LineScanner::next(std::string_view& line) {
    for (;;) {
        const char* from = block_.data() + pos_ + scanned_;
        const auto* newline =
            static_cast<const char*>(std::memchr(from, '\n', end_ - pos_ - scanned_));
        if (!newline) {
            scanned_ = end_ - pos_;
            if (!refill()) return false;
            continue;
        }
        const auto length = static_cast<std::size_t>(newline - (block_.data() + pos_));
        const bool whole = !skipping_;
        if (whole) line = std::string_view(block_.data() + pos_, length);
        pos_ += length + 1;
        complete_ += length + 1;
        scanned_ = 0;
        skipping_ = false;
        if (whole) return true;
    }
}

}  // namespace rv
