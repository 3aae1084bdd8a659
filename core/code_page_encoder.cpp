#include "core/code_page_encoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/utf8_text.h"

namespace rv {

std::unique_ptr<CodePageEncoder> CodePageEncoder::open(Charset charset) {
    const iconv_t cd = iconv_open(iconvName(charset), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    return std::unique_ptr<CodePageEncoder>(new CodePageEncoder(cd));
}

CodePageEncoder::CodePageEncoder(iconv_t cd)
    : cd_(cd), in_(new char[blockSize]), out_(new char[blockSize]) {}

CodePageEncoder::~CodePageEncoder() {
    iconv_close(cd_);
}

std::string_view CodePageEncoder::next(std::string_view& text) {
    const std::size_t take = std::min(text.size(), blockSize - held_);
    std::memcpy(in_.get() + held_, text.data(), take);
    held_ += take;
    text.remove_prefix(take);
    return convert();
}

// The C library passes over some characters without a word (glibc the
// tag characters U+E0000..E007F); a column counts each character, so each
// such one becomes '?' too. The valid UTF-8 from..to, which iconv took
// whole, is converted again a character at a time.
char* CodePageEncoder::convertEachCharacter(char* from, char* to, char* dst) {
    while (from != to) {
        const std::size_t n =
            utf8PieceLength(std::string_view(from, static_cast<std::size_t>(to - from)), 0);
        char* src = from;
        std::size_t left = n;
        char* const start = dst;
        std::size_t room = n;
        iconv(cd_, &src, &left, &dst, &room);
        if (dst == start) *dst++ = '?';
        from += n;
    }
    return dst;
}

// Converts what in_ holds; a sequence cut off at its end stays there.
std::string_view CodePageEncoder::convert() {
    char* src = in_.get();
    std::size_t left = held_;
    char* dst = out_.get();
    std::size_t room = blockSize;
    while (left > 0) {
        char* const from = src;
        char* const start = dst;
        const bool whole = iconv(cd_, &src, &left, &dst, &room) != static_cast<std::size_t>(-1);
        const int error = errno;
        const std::string_view taken(from, static_cast<std::size_t>(src - from));
        if (displayWidth(taken) != static_cast<std::size_t>(dst - start)) {
            dst = convertEachCharacter(from, src, start);
            room = blockSize - static_cast<std::size_t>(dst - out_.get());
        }
        if (whole || error != EILSEQ) break;  // EINVAL: cut off at the end, kept for the next piece
        // A character the code page lacks, or a broken piece: one '?'.
        const std::size_t skip = utf8PieceLength(std::string_view(src, left), 0);
        *dst++ = '?';
        --room;
        src += skip;
        left -= skip;
    }
    std::memmove(in_.get(), src, left);
    held_ = left;
    return std::string_view(out_.get(), blockSize - room);
}

std::string_view CodePageEncoder::finish() {
    // What is left is cut off: one '?' for each piece.
    const std::size_t written = displayWidth(std::string_view(in_.get(), held_));
    std::memset(out_.get(), '?', written);
    held_ = 0;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    return std::string_view(out_.get(), written);
}

}  // namespace rv
