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

// The text with every invalid piece replaced by U+FFFD.
std::string validUtf8(std::string_view text);

}  // namespace rv
