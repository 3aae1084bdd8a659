// A report in a DOS code page as the report file writes it: each piece
// reaches the converter on its own (flushed), so that sequences cut between
// pieces and between the converter's blocks are tested, with characters
// the code page lacks and broken UTF-8 as one '?' each.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/code_page_encoder.h"
#include "core/report_file.h"
#include "run_program.h"
#include "scratch_dir.h"

namespace rv {
namespace {

std::string written(Charset charset, const std::vector<std::string>& pieces) {
    testing::ScratchDir dir;
    ReportFile file;
    file.convertTo(charset);
    if (!file.open(dir.file("report"), false)) return "<not opened>";
    for (const std::string& piece : pieces) {
        std::fputs(piece.c_str(), file.get());
        std::fflush(file.get());
    }
    return file.close() ? testing::slurp(dir.file("report")) : "<not written>";
}

const std::string run(CodePageEncoder::blockSize - 1, 'x');
constexpr Charset cp866 = Charset::cp866, cp437 = Charset::cp437;

// The bytes of the IBM tables: box drawing, shades and blocks sit at the
// same places in both pages.
TEST(CodePageReport, ConvertsEveryPieceAsItArrives) {
    const struct {
        Charset charset;
        std::vector<std::string> pieces;
        std::string expected;
    } cases[] = {
        {cp866, {"┌─┐║░▒▓█╠═╣"}, "\xDA\xC4\xBF\xBA\xB0\xB1\xB2\xDB\xCC\xCD\xB9"},
        {cp437, {"┌─┐║░▒▓█╠═╣"}, "\xDA\xC4\xBF\xBA\xB0\xB1\xB2\xDB\xCC\xCD\xB9"},
        {cp866, {"Москва"}, "\x8C\xAE\xE1\xAA\xA2\xA0"},
        {cp437, {"Москва 1"}, "?????? 1"},  // letters the page lacks
        {cp437, {"café"}, "caf\x82"},
        {cp866, {"café €5 😀!"}, "caf? ?5 ?!"},
        {cp866,
         {"a\xFF"
          "b\x80\x80"},
         "a?b??"},  // bytes that start nothing
        {cp866,
         {"\xE2\x94"
          "A\xC0\xAF\xED\xA0\x80"},
         "?A?????"},                            // cut, overlong, surrogate
        {cp866, {"\xE2", "\x94\x8C"}, "\xDA"},  // cut between writes
        {cp437,
         {"a\xE2", "\x94",
          "\x8C"
          "b"},
         "a\xDA"
         "b"},
        {cp866, {"\xF0\x9F", "\x98\x80", "."}, "?."},
        {cp866, {"\xE2", "A"}, "?A"},
        {cp866, {"ab\xE2\x94"}, "ab?"},  // cut off at the end
        {cp866,
         {"a\xF3\xA0\x80\x81"
          "b"},
         "a?b"},  // a tag character, which iconv passes over
        {cp437, {run + "\xF3\xA0\x81\xBF", "c"}, run + "?c"},
        {cp866, {run + "─║"}, run + "\xC4\xBA"},  // across the converter's block
        {cp437, {run + "\xE2", "\x95\x91"}, run + "\xBA"},
        {Charset::utf8, {"┌─\xFF", "\xE2"}, "┌─\xFF\xE2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(written(c.charset, c.pieces), c.expected) << c.pieces[0];
    // However a text is cut into writes, the file holds the same bytes.
    const std::string text = "║ Москва │\xE2\x94 café € \xF0\x9F\x98\x80 \xFF░▒▓█\n";
    for (Charset charset : {cp866, cp437}) {
        const std::string whole = written(charset, {text});
        for (std::size_t at = 0; at <= text.size(); ++at)
            ASSERT_EQ(written(charset, {text.substr(0, at), text.substr(at)}), whole) << at;
    }
}

TEST(CodePageReport, WriteFailuresAreTold) {
    for (Charset charset : {Charset::utf8, cp866, cp437}) {
        ReportFile full;
        full.convertTo(charset);
        ASSERT_TRUE(full.open("/dev/full", false));
        for (int i = 0; i < 1000; ++i)
            std::fputs("║ Москва ║\n", full.get());
        testing::ScratchDir dir;
        std::FILE* err = std::fopen(dir.file("err").c_str(), "w");
        EXPECT_FALSE(closeReport(full, err));
        std::fclose(err);
        EXPECT_EQ(testing::slurp(dir.file("err")),
                  "Can't write /dev/full: No space left on device\n");
    }
}

}  // namespace
}  // namespace rv
