#include "core/csv_writer.h"

#include <string>

#include "core/utf8_text.h"

namespace rv {

void CsvWriter::separate() {
    if (!firstField_) out_.put(',');
    firstField_ = false;
}

void CsvWriter::text(std::string_view field) {
    separate();
    std::string valid;
    if (!isValidUtf8(field)) {
        valid = validUtf8(field);
        field = valid;
    }
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out_.put(field);
        return;
    }
    out_.put('"');
    for (char c : field) {
        if (c == '"') out_.put('"');
        out_.put(c);
    }
    out_.put('"');
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
