// A report in a DOS code page as the report file writes it: each piece
// handed to the file reaches the converter on its own (flushed), so that
// sequences cut between pieces and between the converter's blocks are
// tested, with characters the code page lacks and broken UTF-8 as '?'.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/charset.h"
#include "core/code_page_encoder.h"
#include "core/report_file.h"
#include "run_program.h"
#include "scratch_dir.h"

namespace rv {
namespace {

using testing::ScratchDir;
using testing::slurp;

// Writes the pieces one by one through a report file in the charset and
// gives the bytes that reached the file.
std::string written(Charset charset, const std::vector<std::string>& pieces) {
    ScratchDir dir;
    ReportFile file;
    file.convertTo(charset);
    if (!file.open(dir.file("report"), false)) return "<not opened>";
    for (const std::string& piece : pieces) {
        std::fwrite(piece.data(), 1, piece.size(), file.get());
        std::fflush(file.get());
    }
    if (file.close() != 0) return "<not written>";
    return slurp(dir.file("report"));
}

const std::string longRun(CodePageEncoder::blockSize - 1, 'x');

struct Case {
    const char* what;
    Charset charset;
    std::vector<std::string> pieces;
    std::string expected;
};

// The code-page bytes are those of the IBM tables: the box drawing, shades
// and blocks sit at the same places in both pages.
const Case cases[] = {
    {"drawing, 866",
     Charset::cp866,
     {"┌─┐ ║░▒▓█ ╠═╣"},
     "\xDA\xC4\xBF \xBA\xB0\xB1\xB2\xDB \xCC\xCD\xB9"},
    {"drawing, 437",
     Charset::cp437,
     {"┌─┐ ║░▒▓█ ╠═╣"},
     "\xDA\xC4\xBF \xBA\xB0\xB1\xB2\xDB \xCC\xCD\xB9"},
    {"Cyrillic, 866", Charset::cp866, {"Москва"}, "\x8C\xAE\xE1\xAA\xA2\xA0"},
    {"Cyrillic lacking in 437", Charset::cp437, {"Москва 1"}, "?????? 1"},
    {"Latin, 437", Charset::cp437, {"café"}, "caf\x82"},
    {"Latin lacking in 866", Charset::cp866, {"café"}, "caf?"},
    {"lacking in both", Charset::cp866, {"€5 😀!"}, "?5 ?!"},
    {"a byte that starts nothing",
     Charset::cp866,
     {"a\xFF"
      "b"},
     "a?b"},
    {"stray continuation bytes", Charset::cp437, {"\x80\x80x"}, "??x"},
    {"a cut sequence is one piece",
     Charset::cp866,
     {"\xE2\x94"
      "A"},
     "?A"},
    {"overlong form", Charset::cp866, {"\xC0\xAF"}, "??"},
    {"surrogate", Charset::cp437, {"\xED\xA0\x80"}, "???"},
    {"cut between writes", Charset::cp866, {"\xE2", "\x94\x8C"}, "\xDA"},
    {"cut twice",
     Charset::cp437,
     {"a\xE2", "\x94",
      "\x8C"
      "b"},
     "a\xDA"
     "b"},
    {"lacking, cut between writes", Charset::cp866, {"\xF0\x9F", "\x98\x80", "."}, "?."},
    {"broken across writes", Charset::cp866, {"\xE2", "A"}, "?A"},
    {"cut off at the end", Charset::cp866, {"ab\xE2\x94"}, "ab?"},
    {"across the converter's block", Charset::cp866, {longRun + "─║"}, longRun + "\xC4\xBA"},
    {"cut at the block and between writes",
     Charset::cp437,
     {longRun + "\xE2", "\x95\x91"},
     longRun + "\xBA"},
    {"UTF-8 passes unchanged", Charset::utf8, {"┌─\xFF", "\xE2"}, "┌─\xFF\xE2"},
};

TEST(CodePageReport, ConvertsEveryPieceAsItArrives) {
    for (const Case& c : cases)
        EXPECT_EQ(written(c.charset, c.pieces), c.expected) << c.what;
}

// However the text is cut into writes, the file holds the same bytes.
TEST(CodePageReport, EveryCutGivesTheSameFile) {
    const std::string text = "║ Москва │\xE2\x94 café € \xF0\x9F\x98\x80 \xFF░▒▓█\n";
    for (Charset charset : {Charset::cp866, Charset::cp437}) {
        const std::string whole = written(charset, {text});
        for (std::size_t at = 0; at <= text.size(); ++at)
            ASSERT_EQ(written(charset, {text.substr(0, at), text.substr(at)}), whole)
                << "cut at " << at << " in " << charsetName(charset);
    }
}

// A converted report on a full device or a caller's stream: the failure is
// told as for any report, and a stream gets the converted bytes.
TEST(CodePageReport, WriteFailuresAndStreams) {
    for (Charset charset : {Charset::utf8, Charset::cp866, Charset::cp437}) {
        ReportFile full;
        full.convertTo(charset);
        ASSERT_TRUE(full.open("/dev/full", false));
        for (int i = 0; i < 1000; ++i)
            std::fputs("║ Москва ║\n", full.get());
        std::FILE* err = std::tmpfile();
        ASSERT_NE(err, nullptr);
        EXPECT_FALSE(closeReport(full, err)) << charsetName(charset);
        std::rewind(err);
        char message[128] = {};
        EXPECT_STREQ(std::fgets(message, sizeof message, err),
                     "Can't write /dev/full: No space left on device\n")
            << charsetName(charset);
        std::fclose(err);
    }
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    ReportFile file;
    file.convertTo(Charset::cp866);
    ASSERT_TRUE(file.useStream(stream, "a stream"));
    std::fputs("║ Москва \xE2", file.get());
    EXPECT_EQ(file.close(), 0);
    std::rewind(stream);
    char bytes[32] = {};
    EXPECT_STREQ(std::fgets(bytes, sizeof bytes, stream), "\xBA \x8C\xAE\xE1\xAA\xA2\xA0 ?");
    std::fclose(stream);
}

TEST(CodePageReport, CharsetNames) {
    const std::pair<const char*, std::optional<Charset>> names[] = {
        {"UTF-8", Charset::utf8}, {"utf8", Charset::utf8},   {"Cp866", Charset::cp866},
        {"866", Charset::cp866},  {"cp437", Charset::cp437}, {"437", Charset::cp437},
        {"", std::nullopt},       {"KOI8-R", std::nullopt},  {"CP8666", std::nullopt},
        {"86", std::nullopt},     {"UTF-16", std::nullopt},  {"IBM437", std::nullopt},
    };
    for (const auto& [name, charset] : names) {
        EXPECT_EQ(parseCharset(name), charset) << name;
        // Every accepted name has a converter in the C library.
        if (charset) {
            EXPECT_FALSE(checkCharset(*charset)) << name;
        }
    }
}

}  // namespace
}  // namespace rv
