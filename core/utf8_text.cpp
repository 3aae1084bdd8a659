#include "core/utf8_text.h"

#include <cstdint>

namespace rv {

// Unicode counts replacements by maximal pieces.
long utf8SequenceAt(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t lead = byte(i);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    std::uint8_t low = 0x80, high = 0xBF;  // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong form
        if (lead == 0xED) high = 0x9F;  // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // no overlong form
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return -1;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (i + k >= text.size()) return -static_cast<long>(k);
        const std::uint8_t b = byte(i + k);
        const bool fits = k == 1 ? (b >= low && b <= high) : (b >= 0x80 && b <= 0xBF);
        if (!fits) return -static_cast<long>(k);
    }
    return static_cast<long>(length);
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const long n = utf8SequenceAt(text, i);
        if (n < 0) return false;
        i += static_cast<std::size_t>(n);
    }
    return true;
}

std::size_t prefixOfWidth(std::string_view text, std::size_t columns) {
    std::size_t i = 0;
    for (; i < text.size() && columns > 0; --columns)
        i += utf8PieceLength(text, i);
    return i;
}

std::size_t displayWidth(std::string_view text) {
    std::size_t columns = 0;
    for (std::size_t i = 0; i < text.size(); ++columns)
        i += utf8PieceLength(text, i);
    return columns;
}

std::string validUtf8(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const long n = utf8SequenceAt(text, i);
        if (n > 0) {
            result.append(text.substr(i, static_cast<std::size_t>(n)));
            i += static_cast<std::size_t>(n);
        } else {
            result.append(replacementCharacter);
            i += static_cast<std::size_t>(-n);
        }
    }
    return result;
}

}  // namespace rv
