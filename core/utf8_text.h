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

// The text with every invalid piece replaced by U+FFFD.
std::string validUtf8(std::string_view text);

}  // namespace rv
