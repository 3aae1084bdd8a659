// Small scanners shared by the configuration, the options and the date
// values. They never read past the view and never overflow.
#pragma once

#include <cstdint>
#include <string_view>

namespace rv {

// The leading decimal integer of text as the C library's atoi reads it
// (white space, an optional sign, digits; no digits give 0), clamped to
// the range of a 32-bit int instead of overflowing.
std::int32_t leadingInt(std::string_view text);

// Blank for the configuration: a space or a tab.
inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// A character of a file name or single-word value: above the space (taken
// as a signed byte, so bytes 0x80..0xFF are not), neither ';' nor ','.
inline bool isValueChar(char c) {
    return static_cast<signed char>(c) > ' ' && c != ';' && c != ',';
}

// Case-insensitive ASCII comparison of the start of text with word.
bool startsWithNoCase(std::string_view text, std::string_view word);

}  // namespace rv
