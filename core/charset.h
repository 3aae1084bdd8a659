// The character set a text report is written in: UTF-8 as the programs
// produce it, or one of the single-byte DOS code pages that FidoNet's
// message readers and tossers show (CP866 in the Russian-speaking nets,
// CP437 elsewhere). Every glyph the reports draw exists in both, one byte
// each, so a converted report keeps its columns.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/exit_request.h"

namespace rv {

enum class Charset : std::uint8_t { utf8, cp866, cp437 };

// "UTF-8" (also "UTF8"), "CP866" or "866", "CP437" or "437", in any case;
// nothing for any other name.
std::optional<Charset> parseCharset(std::string_view name);

// The name as the messages and the manual pages write it.
std::string_view charsetName(Charset charset);

// The name the C library's iconv knows the code page by.
const char* iconvName(Charset charset);

// A stop when the C library cannot convert UTF-8 into the charset (its
// gconv modules are missing); nothing for UTF-8 or a working converter.
Stop checkCharset(Charset charset);

}  // namespace rv
