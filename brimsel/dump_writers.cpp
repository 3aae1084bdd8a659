#include "brimsel/dump_writers.h"

#include <array>
#include <cstring>
#include <string>
#include <utility>

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

// The text before field I of a JSON object, {"key": or ,"key":, made when
// compiled.
template <std::size_t I>
struct JsonKey {
    static constexpr std::string_view key = dumpColumns[I].key;
    static constexpr std::array<char, key.size() + 4> text = [] {
        std::array<char, key.size() + 4> t{};
        t[0] = I == 0 ? '{' : ',';
        t[1] = '"';
        for (std::size_t i = 0; i < key.size(); ++i)
            t[2 + i] = key[i];
        t[key.size() + 2] = '"';
        t[key.size() + 3] = ':';
        return t;
    }();
    static constexpr std::string_view view{text.data(), text.size()};
};

// The punctuation of the two data forms; the values between are alike.
struct JsonForm {
    template <std::size_t I>
    static void separate(OutBuffer& out) {
        out.put(JsonKey<I>::view);
    }
    template <std::size_t I>
    static std::string separator() {
        return std::string(JsonKey<I>::view);
    }
    static std::string fileText(std::string_view path) { return jsonString(path); }
    static void quote(OutBuffer& out) { out.put('"'); }
    static void null(OutBuffer& out) { out.put("null"); }
    static void boolean(OutBuffer& out, bool value) { out.put(value ? "true" : "false"); }
    static void end(OutBuffer& out) { out.put("}\n"); }
};

struct CsvForm {
    template <std::size_t I>
    static void separate(OutBuffer& out) {
        if constexpr (I > 0) out.put(',');
    }
    template <std::size_t I>
    static std::string separator() {
        return I == 0 ? "" : ",";
    }
    static std::string fileText(std::string_view path) { return csvField(path); }
    static void quote(OutBuffer&) {}
    static void null(OutBuffer&) {}
    static void boolean(OutBuffer& out, bool value) { out.put(value ? '1' : '0'); }
    static void end(OutBuffer& out) { out.put("\r\n"); }
};

// JSON Lines, one object per record, or CSV, one header and a row per
// record, their fields those of dumpColumns in its order. The fields that
// every record of a file shares are made once per file.
template <class Form>
class DataDump : public DumpWriter {
  public:
    using DumpWriter::DumpWriter;

    void beginFile(std::string_view path, HistoryType type) override {
        prefix_ = Form::template separator<0>() + Form::fileText(path) +
                  Form::template separator<1>() + std::to_string(number(type));
    }

    void row(const DumpRow& r) override {
        out_.put(prefix_);
        putFields(r, std::make_index_sequence<dumpColumns.size() - fileFields>{});
        Form::end(out_);
        out_.maybeFlush();
    }

    void endFile() override {}

  private:
    template <std::size_t... I>
    void putFields(const DumpRow& r, std::index_sequence<I...>) {
        ((Form::template separate<fileFields + I>(out_),
          putField<dumpColumns[fileFields + I].field>(r)),
         ...);
    }

    // The field is known when compiled: each row is a run of puts.
    template <DumpField field>
    void putField(const DumpRow& r) {
        switch (field) {
            case DumpField::file:
            case DumpField::type:
                return;  // in the file's prefix
            case DumpField::address:
                Form::quote(out_);
                out_.put(trimmedCell(addresses_.view(r.address)));
                Form::quote(out_);
                return;
            case DumpField::zone:
                out_.putSigned(r.address.zone);
                return;
            case DumpField::net:
                out_.putSigned(r.address.net);
                return;
            case DumpField::node:
                out_.putSigned(r.address.node);
                return;
            case DumpField::point:
                out_.putSigned(r.address.point);
                return;
            case DumpField::start:
                if (std::tm start; days_.breakDown(r.start, start)) {
                    Form::quote(out_);
                    putIsoTime(out_, start);
                    Form::quote(out_);
                } else {
                    Form::null(out_);
                }
                return;
            case DumpField::duration:
                out_.putUnsigned(r.duration, 0);
                return;
            case DumpField::received:
                out_.putUnsigned(r.received, 0);
                return;
            case DumpField::sent:
                out_.putUnsigned(r.sent, 0);
                return;
            case DumpField::incoming:
            case DumpField::outgoing:
            case DumpField::normal:
            case DumpField::protectedMark:
                Form::boolean(out_, r.flags & dumpColumns[static_cast<std::size_t>(field)].flag);
                return;
            case DumpField::kind:
                if (const SessionKind* kind = eventKind(r.flags)) {
                    Form::quote(out_);
                    out_.put(trimmedCell(kind->displayText));
                    Form::quote(out_);
                } else {
                    Form::null(out_);
                }
                return;
            case DumpField::aborted:
                if (r.aborted == Aborted::noSession)
                    Form::null(out_);
                else
                    Form::boolean(out_, r.aborted == Aborted::yes);
                return;
        }
    }

    std::string prefix_;
    AddressCells addresses_;
    UtcDayCache days_;
};

// The CSV file's header names the columns.
class CsvDump : public DataDump<CsvForm> {
  public:
    explicit CsvDump(std::FILE* out) : DataDump(out) {
        CsvWriter csv(out_);
        for (const DumpColumn& column : dumpColumns)
            csv.text(column.key);
        csv.endRecord();
    }
};

}  // namespace

std::unique_ptr<DumpWriter> makeDumpWriter(ReportFormat format, const DrawingSet& set,
                                           std::FILE* out) {
    switch (format) {
        case ReportFormat::json:
            return std::make_unique<DataDump<JsonForm>>(out);
        case ReportFormat::csv:
            return std::make_unique<CsvDump>(out);
        case ReportFormat::text:
        case ReportFormat::html:  // refused by the options
            break;
    }
    return std::make_unique<TextDump>(out, set);
}

}  // namespace rv::brimsel
