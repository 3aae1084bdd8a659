// The pieces the JSON and CSV reports are written with: texts made valid
// UTF-8, JSON strings, CSV fields, and the commas and line breaks of the
// JSON writer. Expected texts follow RFC 8259, RFC 4180 and Unicode's
// rule of one U+FFFD per maximal piece of a broken sequence.
#include <gtest/gtest.h>

#include <string>

#include "captured_stream.h"
#include "core/csv_writer.h"
#include "core/json_writer.h"
#include "core/report_format.h"
#include "core/utf8_text.h"

namespace rv {
namespace {

using testing::CapturedStream;

const std::string fffd = "\xEF\xBF\xBD";

TEST(DataTextUtf8, BrokenPiecesBecomeOneReplacementEach) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"plain ASCII", "plain ASCII"},
        {"\xD0\xA3\xD0\xB7\xD0\xB5\xD0\xBB", "\xD0\xA3\xD0\xB7\xD0\xB5\xD0\xBB"},  // Узел
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},                                  // U+1F600
        {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},  // U+10FFFF, the last
        {"\xEF\xBF\xBD", "\xEF\xBF\xBD"},          // U+FFFD itself
        {"a\xFF"
         "b",
         "a" + fffd + "b"},                               // never a UTF-8 byte
        {"\x80\xBF", fffd + fffd},                        // continuations without a lead
        {"\xC3(", fffd + "("},                            // a lead without its continuation
        {"\xC0\xAF", fffd + fffd},                        // an overlong '/'
        {"\xE0\x80\xAF", fffd + fffd + fffd},             // overlong, three bytes
        {"\xED\xA0\x80", fffd + fffd + fffd},             // a surrogate
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},  // above U+10FFFF
        {"\xE2\x82", fffd},                               // cut at the end: one piece
        {"\xF0\x9F\x98"
         "x",
         fffd + "x"},                                 // cut before an ASCII byte
        {"\xE2\x82\xAC\xE2", "\xE2\x82\xAC" + fffd},  // a euro sign, then a cut lead
    };
    for (const Case& c : cases) {
        EXPECT_EQ(validUtf8(c.in), c.out) << c.in;
        EXPECT_EQ(isValidUtf8(c.in), c.in == c.out) << c.in;
    }
}

TEST(DataTextJson, StringsEscapeWhatJsonForbids) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"", "\"\""},
        {"2:5020/545.0", "\"2:5020/545.0\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"C:\\fido\\binkd.his", "\"C:\\\\fido\\\\binkd.his\""},
        {"tab\tcr\rlf\n", "\"tab\\tcr\\rlf\\n\""},
        {std::string("nul\0bell\x07"
                     "esc\x1b",
                     13),
         "\"nul\\u0000bell\\u0007esc\\u001b\""},
        {"del\x7F stays", "\"del\x7F stays\""},
        {"\xD0\xA3\xD0\xB7\xD0\xB5\xD0\xBB", "\"\xD0\xA3\xD0\xB7\xD0\xB5\xD0\xBB\""},
        {"bad\xFF\"", "\"bad" + fffd + "\\\"\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(jsonString(c.in), c.out) << c.in;
        CapturedStream captured;
        {
            OutBuffer out(captured.get());
            putJsonString(out, c.in);
        }
        EXPECT_EQ(captured.text(), c.out) << c.in;
    }
}

TEST(DataTextCsv, FieldsAreQuotedOnlyWhenTheyMustBe) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"", ""},
        {"2:5020/545.0", "2:5020/545.0"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"lf\n", "\"lf\n\""},
        {"tab\tand space ", "tab\tand space "},
        {"bad\xFF", "bad" + fffd},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(csvField(c.in), c.out) << c.in;
        CapturedStream captured;
        {
            OutBuffer out(captured.get());
            CsvWriter csv(out);
            csv.text("x");
            csv.text(c.in);
            csv.endRecord();
        }
        EXPECT_EQ(captured.text(), "x," + c.out + "\r\n") << c.in;
    }
}

TEST(DataTextJson, WriterPlacesCommasAndLineBreaks) {
    CapturedStream captured;
    {
        OutBuffer out(captured.get());
        JsonWriter json(out);
        json.beginObject();
        json.key("rows").beginArray(true);
        for (int i = 0; i < 2; ++i) {
            json.beginObject();
            json.key("n").signedNumber(i - 1);
            json.key("big").number(18446744073709551615u);
            json.key("ok").boolean(i == 1);
            json.key("none").null();
            json.endObject();
        }
        json.endArray();
        json.key("empty").beginArray(true);
        json.endArray();
        json.key("slots").beginArray();
        json.number(0);
        json.number(900);
        json.endArray();
        json.endObject();
    }
    EXPECT_EQ(captured.text(),
              "{\"rows\":[\n"
              "{\"n\":-1,\"big\":18446744073709551615,\"ok\":false,\"none\":null},\n"
              "{\"n\":0,\"big\":18446744073709551615,\"ok\":true,\"none\":null}\n"
              "],\"empty\":[],\"slots\":[0,900]}");
}

TEST(DataTextReportFormats, NamesInAnyCase) {
    EXPECT_EQ(parseReportFormat("text"), ReportFormat::text);
    EXPECT_EQ(parseReportFormat("JSON"), ReportFormat::json);
    EXPECT_EQ(parseReportFormat("Csv"), ReportFormat::csv);
    for (const char* bad : {"", "js", "jsonl", "json ", "xml", "+"})
        EXPECT_EQ(parseReportFormat(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace rv
