// Converts report text from UTF-8 into a single-byte code page with the C
// library's iconv, a block at a time. A character the code page lacks, or
// one the C library would pass over, becomes one '?', and so does every
// broken piece of UTF-8 (as many pieces as the JSON report replaces), so
// that a cell padded by its width (displayWidth) keeps it. A sequence cut off at the end of one
// piece of text is completed by the next.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <memory>
#include <string_view>

#include "core/charset.h"

namespace rv {

class CodePageEncoder {
  public:
    // Nothing, with errno set, when iconv has no converter for the charset.
    static std::unique_ptr<CodePageEncoder> open(Charset charset);
    ~CodePageEncoder();
    CodePageEncoder(const CodePageEncoder&) = delete;
    CodePageEncoder& operator=(const CodePageEncoder&) = delete;

    // Takes up to one block from the front of text and returns it
    // converted; the result stays valid until the next call.
    std::string_view next(std::string_view& text);
    // The end of the text: a sequence left incomplete becomes '?'.
    std::string_view finish();

    static constexpr std::size_t blockSize = 1 << 14;

  private:
    explicit CodePageEncoder(iconv_t cd);
    std::string_view convert();
    char* convertEachCharacter(char* from, char* to, char* dst);

    iconv_t cd_;
    // One code-page byte never takes more than one byte of UTF-8, so the
    // output block is as large as the input block.
    std::unique_ptr<char[]> in_;
    std::unique_ptr<char[]> out_;
    std::size_t held_ = 0;  // bytes at the front of in_: a cut sequence, then new text
};

}  // namespace rv
