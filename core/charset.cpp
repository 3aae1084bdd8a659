#include "core/charset.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "core/format.h"
#include "core/text_scan.h"

namespace rv {

std::optional<Charset> parseCharset(std::string_view name) {
    const auto is = [&](std::string_view word) {
        return name.size() == word.size() && startsWithNoCase(name, word);
    };
    if (is("UTF-8") || is("UTF8")) return Charset::utf8;
    if (is("CP866") || is("866")) return Charset::cp866;
    if (is("CP437") || is("437")) return Charset::cp437;
    return std::nullopt;
}

namespace {

// The name the messages write and the one the C library's iconv knows.
struct CharsetNames {
    std::string_view shown;
    const char* iconv;
};

CharsetNames namesOf(Charset charset) {
    switch (charset) {
        case Charset::cp866:
            return {"CP866", "CP866"};
        case Charset::cp437:
            return {"CP437", "IBM437"};
        case Charset::utf8:
            break;
    }
    return {"UTF-8", "UTF-8"};
}

}  // namespace

std::string_view charsetName(Charset charset) {
    return namesOf(charset).shown;
}

const char* iconvName(Charset charset) {
    return namesOf(charset).iconv;
}

Stop checkCharset(Charset charset) {
    if (charset == Charset::utf8) return std::nullopt;
    const iconv_t cd = iconv_open(iconvName(charset), "UTF-8");
    if (cd != reinterpret_cast<iconv_t>(-1)) {
        iconv_close(cd);
        return std::nullopt;
    }
    const int reason = errno;
    const std::string_view name = charsetName(charset);
    return failure(
        format("Can't convert reports to %.*s: %s (are the C library's gconv modules "
               "installed?)\n",
               static_cast<int>(name.size()), name.data(), std::strerror(reason)));
}

}  // namespace rv
