#include "brimsel/dump_writers.h"

#include <cstring>
#include <string>

#include "core/csv_writer.h"
#include "core/format.h"
#include "core/json_writer.h"
#include "core/time_text.h"

namespace rv::brimsel {

namespace {

using namespace SessionFlags;

// The start in the data forms, "YYYY-MM-DDTHH:MM:SS" (19 characters).
void putIsoTime(OutBuffer& out, const std::tm& start) {
    const IsoTimeText text = isoDateTime(start);
    out.put(std::string_view(text.data(), text.size() - 1));
}

class TextDump : public DumpWriter {
  public:
    TextDump(std::FILE* out, const DrawingSet& set) : DumpWriter(out), set_(set) {
        // "│ address │ date │ time │ rcvd │ sent │ PNOI │": the bars and blanks
        // of a row are written once; each record fills in only its cells.
        const std::string_view bar = set.innerBar;
        const auto cell = [&](std::size_t width) {
            row_ += bar;
            row_ += ' ';
            const std::size_t at = row_.size();
            row_.append(width, ' ');
            row_ += ' ';
            return at;
        };
        addressAt_ = cell(AddressCells::width);
        dateAt_ = cell(24);
        durationAt_ = cell(durationWidth);
        receivedAt_ = cell(6);
        sentAt_ = cell(6);
        flagsAt_ = cell(4);
        row_ += bar;
        row_ += '\n';
    }

    void beginFile(std::string_view path, HistoryType) override {
        out_.put("\nFile: ");
        out_.put(path);
        out_.put('\n');
        out_.put(set_.dumpHead);
    }

    void row(const DumpRow& r) override {
        char* const text = row_.data();
        std::memcpy(text + addressAt_, addresses_.cell(r.address), AddressCells::width);
        if (!days_.write(r.start, text + dateAt_))
            std::memcpy(text + dateAt_, unreadableTimeText, 24);
        writeCompactTraffic(text + receivedAt_, r.received);
        writeCompactTraffic(text + sentAt_, r.sent);
        char* const flags = text + flagsAt_;
        flags[0] = r.flags & protectedSession ? '1' : '0';
        flags[1] = r.flags & normal ? '1' : '0';
        flags[2] = r.flags & outgoing ? '1' : '0';
        flags[3] = r.flags & incoming ? '1' : '0';
        if (r.duration < 10000) {  // nearly every session: one copy
            text[durationAt_] = ' ';
            std::memcpy(text + durationAt_ + 1, fourColumns(r.duration), 4);
            out_.put(row_);
        } else if (r.duration < 100000) {
            writeDigitsBackward(text + durationAt_ + durationWidth, r.duration, durationWidth);
            out_.put(row_);
        } else {
            // A longer one (no valid session: a day is 86,400 s) in
            // thousands or millions of seconds, to keep the column.
            std::memcpy(text + durationAt_, formatCount(r.duration, durationWidth).c_str(),
                        durationWidth);
            out_.put(row_);
        }
        out_.maybeFlush();
    }

    void endFile() override { out_.put(set_.dumpFoot); }

    void shownCount(std::uint64_t shown, std::uint64_t total) override {
        out_.put("Shown: ");
        out_.putUnsigned(shown, 0);
        out_.put(" of ");
        out_.putUnsigned(total, 0);
        out_.put(total == 1 ? " record\n" : " records\n");
    }

  private:
    static constexpr std::size_t durationWidth = 5;  // "%5lu"

    const DrawingSet& set_;
    AddressCells addresses_;
    AsctimeDayCache days_;
    std::string row_;  // the last row written, its frame fixed
    std::size_t addressAt_ = 0;
    std::size_t dateAt_ = 0;
    std::size_t durationAt_ = 0;
    std::size_t receivedAt_ = 0;
    std::size_t sentAt_ = 0;
    std::size_t flagsAt_ = 0;
};

// One object per line; the keys that every record of a file shares are
// made once per file.
class JsonLinesDump : public DumpWriter {
  public:
    using DumpWriter::DumpWriter;

    void beginFile(std::string_view path, HistoryType type) override {
        prefix_ = "{\"file\":" + jsonString(path) + ",\"type\":" + std::to_string(number(type)) +
                  ",\"address\":\"";
    }

    void row(const DumpRow& r) override {
        out_.put(prefix_);
        out_.put(trimmedCell(addresses_.view(r.address)));
        out_.put("\",\"zone\":");
        out_.putSigned(r.address.zone);
        out_.put(",\"net\":");
        out_.putSigned(r.address.net);
        out_.put(",\"node\":");
        out_.putSigned(r.address.node);
        out_.put(",\"point\":");
        out_.putSigned(r.address.point);
        std::tm start;
        if (days_.breakDown(r.start, start)) {
            out_.put(",\"start\":\"");
            putIsoTime(out_, start);
            out_.put("\",\"duration\":");
        } else {
            out_.put(",\"start\":null,\"duration\":");
        }
        out_.putUnsigned(r.duration, 0);
        out_.put(",\"received\":");
        out_.putUnsigned(r.received, 0);
        out_.put(",\"sent\":");
        out_.putUnsigned(r.sent, 0);
        out_.put(r.flags & incoming ? ",\"incoming\":true" : ",\"incoming\":false");
        out_.put(r.flags & outgoing ? ",\"outgoing\":true" : ",\"outgoing\":false");
        out_.put(r.flags & normal ? ",\"normal\":true" : ",\"normal\":false");
        out_.put(r.flags & protectedSession ? ",\"protected\":true" : ",\"protected\":false");
        if (const SessionKind* kind = eventKind(r.flags)) {
            out_.put(",\"kind\":\"");
            out_.put(trimmedCell(kind->displayText));
            out_.put("\"");
        } else {
            out_.put(",\"kind\":null");
        }
        out_.put(r.aborted == Aborted::yes  ? ",\"aborted\":true}\n"
                 : r.aborted == Aborted::no ? ",\"aborted\":false}\n"
                                            : ",\"aborted\":null}\n");
        out_.maybeFlush();
    }

    void endFile() override {}

  private:
    std::string prefix_;
    AddressCells addresses_;
    UtcDayCache days_;
};

class CsvDump : public DumpWriter {
  public:
    explicit CsvDump(std::FILE* out) : DumpWriter(out), csv_(out_) {
        for (const char* name :
             {"file", "type", "address", "zone", "net", "node", "point", "start", "duration",
              "received", "sent", "incoming", "outgoing", "normal", "protected", "kind", "aborted"})
            csv_.text(name);
        csv_.endRecord();
    }

    void beginFile(std::string_view path, HistoryType type) override {
        prefix_ = csvField(path) + "," + std::to_string(number(type)) + ",";
    }

    void row(const DumpRow& r) override {
        out_.put(prefix_);
        out_.put(trimmedCell(addresses_.view(r.address)));
        out_.put(',');
        out_.putSigned(r.address.zone);
        out_.put(',');
        out_.putSigned(r.address.net);
        out_.put(',');
        out_.putSigned(r.address.node);
        out_.put(',');
        out_.putSigned(r.address.point);
        out_.put(',');
        if (std::tm start; days_.breakDown(r.start, start)) putIsoTime(out_, start);
        out_.put(',');
        out_.putUnsigned(r.duration, 0);
        out_.put(',');
        out_.putUnsigned(r.received, 0);
        out_.put(',');
        out_.putUnsigned(r.sent, 0);
        out_.put(r.flags & incoming ? ",1" : ",0");
        out_.put(r.flags & outgoing ? ",1" : ",0");
        out_.put(r.flags & normal ? ",1" : ",0");
        out_.put(r.flags & protectedSession ? ",1," : ",0,");
        if (const SessionKind* kind = eventKind(r.flags)) out_.put(trimmedCell(kind->displayText));
        out_.put(r.aborted == Aborted::yes  ? ",1\r\n"
                 : r.aborted == Aborted::no ? ",0\r\n"
                                            : ",\r\n");
        out_.maybeFlush();
    }

    void endFile() override {}

  private:
    CsvWriter csv_;
    std::string prefix_;
    AddressCells addresses_;
    UtcDayCache days_;
};

}  // namespace

std::unique_ptr<DumpWriter> makeDumpWriter(ReportFormat format, const DrawingSet& set,
                                           std::FILE* out) {
    switch (format) {
        case ReportFormat::json:
            return std::make_unique<JsonLinesDump>(out);
        case ReportFormat::csv:
            return std::make_unique<CsvDump>(out);
        case ReportFormat::text:
        case ReportFormat::html:  // refused by the options
            break;
    }
    return std::make_unique<TextDump>(out, set);
}

}  // namespace rv::brimsel
