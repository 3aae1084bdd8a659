// Texts from the configuration and from file names are bytes, not
// necessarily UTF-8. The machine-readable reports promise valid UTF-8:
// valid sequences pass unchanged, every maximal piece of a broken one
// becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace rv {

inline constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

bool isValidUtf8(std::string_view text);

// The length of the valid sequence that starts at text[i], or, when there
// is none, minus the length of the maximal piece that a sequence could
// have begun with (at least one byte): the piece that one replacement
// stands for.
long utf8SequenceAt(std::string_view text, std::size_t i);

// The bytes of the character or broken piece at text[i]: one column.
inline std::size_t utf8PieceLength(std::string_view text, std::size_t i) {
    const long n = utf8SequenceAt(text, i);
    return static_cast<std::size_t>(n > 0 ? n : -n);
}

// The text with every invalid piece replaced by U+FFFD.
std::string validUtf8(std::string_view text);

// The columns a text takes in a report: one for each character and one
// for each broken piece, as a code page writes each as one byte ('?' for
// what it lacks) and a reader of UTF-8 shows each piece as one U+FFFD.
std::size_t displayWidth(std::string_view text);

// The bytes of the longest start of text that takes at most columns columns.
std::size_t prefixOfWidth(std::string_view text, std::size_t columns);

}  // namespace rv
