// Writes JSON text into an output buffer: objects, arrays, and values
// whose commas the writer places. Strings are always valid JSON and valid
// UTF-8, whatever bytes they are given (see utf8_text.h); counters are
// written as the integers they are.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "core/out_buffer.h"

namespace rv {

// The text as a JSON string, quotes included.
std::string jsonString(std::string_view text);
void putJsonString(OutBuffer& out, std::string_view text);

class JsonWriter {
  public:
    explicit JsonWriter(OutBuffer& out) : out_(out) {}

    void beginObject();
    void endObject();
    // With oneItemPerLine every element starts on a line of its own, so
    // that long arrays stay readable in an editor and grep.
    void beginArray(bool oneItemPerLine = false);
    void endArray();

    // An object's key: the snake_case names of the reports, written as given.
    JsonWriter& key(std::string_view name);
    void number(std::uint64_t value);
    void signedNumber(std::int64_t value);
    void boolean(bool value);
    void string(std::string_view text);
    void null();
    // A time of day as "YYYY-MM-DDTHH:MM:SS"; null without one.
    void time(const std::tm* tm);
    // Text that is already JSON, taken as one value.
    void raw(std::string_view json);

    OutBuffer& buffer() { return out_; }

  private:
    void beforeValue();
    void open(char bracket, bool oneItemPerLine);
    void close(char bracket);

    OutBuffer& out_;
    // One bit per nesting level: the level has an element already, and
    // the level puts each element on its own line.
    std::uint64_t hasElement_ = 0;
    std::uint64_t perLine_ = 0;
    int depth_ = 0;
    bool afterKey_ = false;
};

}  // namespace rv
