#include "brimsel/dump_writers.h"

#include <string>

#include "core/csv_writer.h"
#include "core/format.h"
#include "core/json_writer.h"
#include "core/time_text.h"

namespace rv::brimsel {

namespace {

using namespace SessionFlags;

// The Address cell: an event's display text, else zone:net/node.point.
AddressText addressCell(const DumpRow& row) {
    return formatAddress(row.address, 15);
}

class TextDump : public DumpWriter {
  public:
    TextDump(std::FILE* out, const DrawingSet& set) : DumpWriter(out), set_(set) {}

    void beginFile(std::string_view path, HistoryType) override {
        out_.put("\nFile: ");
        out_.put(path);
        out_.put('\n');
        out_.put(set_.dumpHead);
    }

    void row(const DumpRow& r) override {
        const std::string_view bar = set_.innerBar;
        out_.put(bar);
        out_.put(' ');
        out_.put(addressCell(r).view());
        out_.put(' ');
        out_.put(bar);
        out_.put(' ');
        out_.put(r.startKnown ? asctimeText(r.start).data() : unreadableTimeText);
        out_.put(' ');
        out_.put(bar);
        out_.put(' ');
        out_.putUnsigned(r.duration, 5);
        out_.put(' ');
        out_.put(bar);
        out_.put(' ');
        out_.put(formatTraffic(r.received, true).view());
        out_.put(' ');
        out_.put(bar);
        out_.put(' ');
        out_.put(formatTraffic(r.sent, true).view());
        out_.put(' ');
        out_.put(bar);
        out_.put(' ');
        out_.put((r.flags & protectedSession) ? '1' : '0');
        out_.put((r.flags & normal) ? '1' : '0');
        out_.put((r.flags & outgoing) ? '1' : '0');
        out_.put((r.flags & incoming) ? '1' : '0');
        out_.put(' ');
        out_.put(bar);
        out_.put('\n');
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
    const DrawingSet& set_;
};

// One object per line; the keys that every record of a file shares are
// made once per file.
class JsonLinesDump : public DumpWriter {
  public:
    using DumpWriter::DumpWriter;

    void beginFile(std::string_view path, HistoryType type) override {
        prefix_ = "{\"file\":" + jsonString(path) + ",\"type\":" + std::to_string(type) +
                  ",\"address\":\"";
    }

    void row(const DumpRow& r) override {
        out_.put(prefix_);
        out_.put(trimmedCell(addressCell(r).view()));
        out_.put("\",\"zone\":");
        out_.putSigned(r.address.zone);
        out_.put(",\"net\":");
        out_.putSigned(r.address.net);
        out_.put(",\"node\":");
        out_.putSigned(r.address.node);
        out_.put(",\"point\":");
        out_.putSigned(r.address.point);
        if (r.startKnown) {
            out_.put(",\"start\":\"");
            out_.put(isoDateTime(r.start).data());
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
            out_.put("\"}\n");
        } else {
            out_.put(",\"kind\":null}\n");
        }
        out_.maybeFlush();
    }

    void endFile() override {}

  private:
    std::string prefix_;
};

class CsvDump : public DumpWriter {
  public:
    explicit CsvDump(std::FILE* out) : DumpWriter(out), csv_(out_) {
        for (const char* name :
             {"file", "type", "address", "zone", "net", "node", "point", "start", "duration",
              "received", "sent", "incoming", "outgoing", "normal", "protected", "kind"})
            csv_.text(name);
        csv_.endRecord();
    }

    void beginFile(std::string_view path, HistoryType type) override {
        prefix_ = csvField(path) + "," + std::to_string(type) + ",";
    }

    void row(const DumpRow& r) override {
        out_.put(prefix_);
        out_.put(trimmedCell(addressCell(r).view()));
        out_.put(',');
        out_.putSigned(r.address.zone);
        out_.put(',');
        out_.putSigned(r.address.net);
        out_.put(',');
        out_.putSigned(r.address.node);
        out_.put(',');
        out_.putSigned(r.address.point);
        out_.put(',');
        if (r.startKnown) out_.put(isoDateTime(r.start).data());
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
        out_.put("\r\n");
        out_.maybeFlush();
    }

    void endFile() override {}

  private:
    CsvWriter csv_;
    std::string prefix_;
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
            break;
    }
    return std::make_unique<TextDump>(out, set);
}

}  // namespace rv::brimsel
