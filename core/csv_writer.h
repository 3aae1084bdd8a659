// Writes CSV as RFC 4180 has it: fields separated by commas, records ended
// by CR LF, a field quoted when it holds a comma, a quote, CR or LF (its
// quotes doubled). Text fields are valid UTF-8 (see utf8_text.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/out_buffer.h"

namespace rv {

// One field as a record holds it: quoted only when it must be.
std::string csvField(std::string_view text);

class CsvWriter {
  public:
    explicit CsvWriter(OutBuffer& out) : out_(out) {}

    void text(std::string_view field);
    void number(std::uint64_t value);
    void signedNumber(std::int64_t value);
    void boolean(bool value);  // 1 or 0
    void empty();              // what JSON writes as null
    void endRecord();

    OutBuffer& buffer() { return out_; }

  private:
    void separate();

    OutBuffer& out_;
    bool firstField_ = true;
};

}  // namespace rv
