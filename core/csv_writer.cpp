#include "core/csv_writer.h"

#include <string>

#include "core/utf8_text.h"

namespace rv {

std::string csvField(std::string_view text) {
    const std::string valid = validUtf8(text);
    if (valid.find_first_of(",\"\r\n") == std::string::npos) return valid;
    std::string field = "\"";
    for (char c : valid) {
        if (c == '"') field += '"';
        field += c;
    }
    return field + "\"";
}

void CsvWriter::separate() {
    if (!firstField_) out_.put(',');
    firstField_ = false;
}

void CsvWriter::text(std::string_view field) {
    separate();
    if (isValidUtf8(field) && field.find_first_of(",\"\r\n") == std::string_view::npos)
        out_.put(field);
    else
        out_.put(csvField(field));
}

void CsvWriter::number(std::uint64_t value) {
    separate();
    out_.putUnsigned(value, 0);
}

void CsvWriter::signedNumber(std::int64_t value) {
    separate();
    out_.putSigned(value);
}

void CsvWriter::boolean(bool value) {
    separate();
    out_.put(value ? '1' : '0');
}

void CsvWriter::empty() {
    separate();
}

void CsvWriter::endRecord() {
    out_.put("\r\n");
    firstField_ = true;
}

}  // namespace rv
