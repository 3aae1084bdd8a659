#include "core/json_writer.h"

#include <string>

#include "core/time_text.h"
#include "core/utf8_text.h"

namespace rv {

namespace {

bool plainAscii(std::string_view text) {
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b >= 0x80 || c == '"' || c == '\\') return false;
    }
    return true;
}

void appendEscaped(std::string& out, std::string_view valid) {
    static constexpr char hex[] = "0123456789abcdef";
    for (char c : valid) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (b < 0x20) {
                    out += "\\u00";
                    out += hex[b >> 4];
                    out += hex[b & 0xF];
                } else {
                    out += c;
                }
        }
    }
}

}  // namespace

std::string jsonString(std::string_view text) {
    std::string json = "\"";
    if (plainAscii(text)) {
        json += text;
    } else if (isValidUtf8(text)) {
        appendEscaped(json, text);
    } else {
        appendEscaped(json, validUtf8(text));
    }
    return json + "\"";
}

void putJsonString(OutBuffer& out, std::string_view text) {
    if (plainAscii(text)) {
        out.put('"');
        out.put(text);
        out.put('"');
    } else {
        out.put(jsonString(text));
    }
}

void JsonWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (depth_ == 0) return;
    const std::uint64_t bit = std::uint64_t{1} << (depth_ - 1);
    if (hasElement_ & bit) out_.put(',');
    hasElement_ |= bit;
    if (perLine_ & bit) out_.put('\n');
}

void JsonWriter::open(char bracket, bool oneItemPerLine) {
    beforeValue();
    out_.put(bracket);
    ++depth_;
    const std::uint64_t bit = std::uint64_t{1} << (depth_ - 1);
    hasElement_ &= ~bit;
    if (oneItemPerLine)
        perLine_ |= bit;
    else
        perLine_ &= ~bit;
}

void JsonWriter::close(char bracket) {
    const std::uint64_t bit = std::uint64_t{1} << (depth_ - 1);
    if ((perLine_ & bit) && (hasElement_ & bit)) out_.put('\n');
    --depth_;
    out_.put(bracket);
}

void JsonWriter::beginObject() {
    open('{', false);
}

void JsonWriter::endObject() {
    close('}');
}

void JsonWriter::beginArray(bool oneItemPerLine) {
    open('[', oneItemPerLine);
}

void JsonWriter::endArray() {
    close(']');
}

JsonWriter& JsonWriter::key(std::string_view name) {
    beforeValue();
    out_.put('"');
    out_.put(name);
    out_.put("\":");
    afterKey_ = true;
    return *this;
}

void JsonWriter::number(std::uint64_t value) {
    beforeValue();
    out_.putUnsigned(value, 0);
}

void JsonWriter::signedNumber(std::int64_t value) {
    beforeValue();
    out_.putSigned(value);
}

void JsonWriter::boolean(bool value) {
    beforeValue();
    out_.put(value ? std::string_view("true") : std::string_view("false"));
}

void JsonWriter::string(std::string_view text) {
    beforeValue();
    putJsonString(out_, text);
}

void JsonWriter::null() {
    beforeValue();
    out_.put("null");
}

void JsonWriter::time(const std::tm* tm) {
    if (tm == nullptr) {
        null();
        return;
    }
    beforeValue();
    out_.put('"');
    out_.put(isoDateTime(*tm).data());
    out_.put('"');
}

void JsonWriter::raw(std::string_view json) {
    beforeValue();
    out_.put(json);
}

}  // namespace rv
