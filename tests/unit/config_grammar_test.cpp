// The configuration grammar shared by the three programs: line cutting,
// keyword recognition by prefix in table order, and the four checks with
// each program's error texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "captured_stream.h"
#include "core/byte_source.h"
#include "core/config_grammar.h"

namespace rv {
namespace {

struct Seen {
    std::string keyword;
    std::string value;
    int line;
    Section section;
};

struct Outcome {
    Stop stop;
    std::vector<Seen> seen;
    Section last = Section::none;
};

Outcome read(const std::string& text, Program program = Program::ravlog,
             std::FILE* warnings = nullptr) {
    Outcome out;
    auto source = memorySource(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    out.stop = readConfigText(
        *source, program,
        [&](const KeywordLine& kw, Section section) -> Stop {
            out.seen.push_back(
                {std::string(kw.def->text), std::string(kw.value), kw.lineNumber, section});
            return std::nullopt;
        },
        &out.last, warnings);
    return out;
}

std::string errorOf(const std::string& text, Program program = Program::ravlog) {
    Outcome out = read(text, program);
    if (!out.stop) return "no error";
    EXPECT_EQ(out.stop->status, exitFailure);
    return out.stop->message;
}

const std::string dos2unix =
    "invalid keyword or parameter, or config file not in unix-like format (use dos2unix to "
    "convert it)";

TEST(ConfigGrammarChecks, EachProgramsTextsInCheckOrder) {
    struct Case {
        std::string text;
        std::string ravlog;
        std::string others;  // pondrel and brimsel
    };
    const Case cases[] = {
        {"FOO bar\n", "Config error, line 1: invalid parameter or its value\n",
         "Config error, line 1: " + dos2unix + "\n"},
        // A missing value is found before the missing section.
        {"OUTPUT\n", "Config error, line 1: invalid parameter or its value\n",
         "Config error, line 1: " + dos2unix + "\n"},
        {"OUTPUT x\n", "Config error, line 1: no section defined\n",
         "Config error, line 1: no section defined\n"},
        {"BUSYHIST\n", "Config error, line 1: no section defined\n",
         "Config error, line 1: no section defined\n"},
        {"[LINE]\nOUTPUT x\n", "Config error, line 2: parameter not allowed in [LINE] section\n",
         "Config error, line 2: keyword not allowed in [LINE] section\n"},
        {"[COMMON]\nHISTORY a.his\n",
         "Config error, line 2: parameter not allowed in [COMMON] section\n",
         "Config error, line 2: keyword not allowed in [COMMON] section\n"},
        {"[LINE]\nKEEPALL\n", "Config error, line 2: invalid parameter or its value\n",
         "Config error, line 2: " + dos2unix + "\n"},
        // The value test comes before the section test.
        {"[LINE]\nOUTPUT ;comment\n", "Config error, line 2: invalid parameter or its value\n",
         "Config error, line 2: " + dos2unix + "\n"},
        {"[COMMON]\nNAME\n", "Config error, line 2: parameter not allowed in [COMMON] section\n",
         "Config error, line 2: keyword not allowed in [COMMON] section\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(errorOf(c.text, Program::ravlog), c.ravlog);
        EXPECT_EQ(errorOf(c.text, Program::pondrel), c.others);
        EXPECT_EQ(errorOf(c.text, Program::brimsel), c.others);
    }
}

TEST(ConfigGrammarChecks, KeywordsAllowedInBothSections) {
    for (const char* kw : {"BUSYHIST", "TIMESHIFT 1", "CUTHISTORY 5", "ADVANCEDCPS yes",
                           "SWAPINOUT no", "BINKDABORTED out"}) {
        SCOPED_TRACE(kw);
        Outcome out = read(std::string("[COMMON]\n") + kw + "\n[LINE]\n" + kw + "\n");
        EXPECT_FALSE(out.stop);
        ASSERT_EQ(out.seen.size(), 4u);
        EXPECT_EQ(out.seen[1].section, Section::common);
        EXPECT_EQ(out.seen[3].section, Section::line);
        EXPECT_EQ(out.last, Section::line);
    }
}

TEST(ConfigGrammarChecks, ValuesAreOptionalOnlyWhereTheTableSaysSo) {
    Outcome out = read("[LINE]\nBUSYHIST\nNAME ; no name\n[COMMON]\nBUSYHIST\n");
    EXPECT_FALSE(out.stop);
    ASSERT_EQ(out.seen.size(), 5u);
    EXPECT_EQ(out.seen[2].keyword, "NAME");
    EXPECT_EQ(out.seen[2].value, "; no name\n");
    for (const char* kw : {"HISTORY", "TIMESHIFT", "CUTHISTORY", "SWAPINOUT"}) {
        SCOPED_TRACE(kw);
        EXPECT_EQ(errorOf(std::string("[LINE]\n") + kw + " \t\n"),
                  "Config error, line 2: invalid parameter or its value\n");
    }
}

TEST(ConfigGrammarLines, PhysicalLineNumbersCountCommentsAndBlankLines) {
    const std::string text =
        "; comment\n"
        "\n"
        "   \t\n"
        "\t; indented comment\n"
        "[COMMON]\n"
        "  TimeShift 2 ; trailing comment\n"
        ";\n"
        "\n"
        "bogus\n";
    Outcome out = read(text);
    ASSERT_TRUE(out.stop);
    EXPECT_EQ(out.stop->message, "Config error, line 9: invalid parameter or its value\n");
    ASSERT_EQ(out.seen.size(), 2u);
    EXPECT_EQ(out.seen[0].line, 5);
    EXPECT_EQ(out.seen[1].keyword, "TIMESHIFT");
    EXPECT_EQ(out.seen[1].line, 6);
    EXPECT_EQ(out.seen[1].value, "2 ; trailing comment\n");
    EXPECT_EQ(out.seen[1].section, Section::common);
}

TEST(ConfigGrammarLines, LongLinesAreCutAt511Bytes) {
    // 511 bytes with the newline: one line.
    const std::string fits = "[COMMON]\nOUTPUT " + std::string(510 - 7, 'x') + "\nbogus\n";
    Outcome one = read(fits);
    ASSERT_TRUE(one.stop);
    EXPECT_EQ(one.stop->message, "Config error, line 3: invalid parameter or its value\n");
    EXPECT_EQ(one.seen[1].value.size(), 510u - 7 + 1);

    // 512 bytes: the newline alone is the second piece, blank, of the same line.
    const std::string over = "[COMMON]\nOUTPUT " + std::string(511 - 7, 'x') + "\nbogus\n";
    Outcome two = read(over);
    ASSERT_TRUE(two.stop);
    EXPECT_EQ(two.stop->message, "Config error, line 3: invalid parameter or its value\n");
    EXPECT_EQ(two.seen[1].value, std::string(511 - 7, 'x'));

    // The rest of a long comment is comment, also behind blanks that fill
    // a piece, and the next line has its own number.
    for (const std::string& comment : {";" + std::string(510, 'c') + "TIMESHIFT 3",
                                       std::string(511, ' ') + ";" + std::string(1200, 'c')}) {
        Outcome rest = read("[COMMON]\n" + comment + "\nbogus\n");
        ASSERT_TRUE(rest.stop);
        EXPECT_EQ(rest.stop->message, "Config error, line 3: invalid parameter or its value\n");
        EXPECT_EQ(rest.seen.size(), 1u);
    }

    // The rest of a long keyword line is read on its own, under the line's number.
    const std::string garbage = "[COMMON]\nOUTPUT " + std::string(600, 'y') + "\n";
    EXPECT_EQ(errorOf(garbage, Program::brimsel), "Config error, line 2: " + dos2unix + "\n");
}

TEST(ConfigGrammarLines, LastLineWithoutNewline) {
    Outcome out = read("[COMMON]\nOUTPUT out.txt");
    EXPECT_FALSE(out.stop);
    ASSERT_EQ(out.seen.size(), 2u);
    EXPECT_EQ(out.seen[1].value, "out.txt");
}

TEST(ConfigGrammarKeywords, PrefixMatchInTableOrder) {
    Outcome out = read(
        "[COMMON]\n"
        "TIMESHIFTX 3\n"
        "timeshift AUTO\n"
        "TimeShift auto\n"
        "TIME 10:00-12:00\n"
        "OUTPUTFILE x\n"
        "Time\t9\n"
        "[line]\n"
        "history\ta.his\n"
        "[LINE]extra\n");
    EXPECT_FALSE(out.stop);
    ASSERT_EQ(out.seen.size(), 10u);
    EXPECT_EQ(out.seen[1].keyword, "TIMESHIFT");
    EXPECT_EQ(out.seen[1].value, "X 3\n");
    EXPECT_EQ(out.seen[2].keyword, "TIMESHIFT");
    EXPECT_EQ(out.seen[2].value, "AUTO\n");
    EXPECT_EQ(out.seen[3].keyword, "TIMESHIFT");
    EXPECT_EQ(out.seen[4].keyword, "TIME");
    EXPECT_EQ(out.seen[4].value, "10:00-12:00\n");
    EXPECT_EQ(out.seen[5].keyword, "OUTPUT");
    EXPECT_EQ(out.seen[5].value, "FILE x\n");
    EXPECT_EQ(out.seen[6].keyword, "TIME");
    EXPECT_EQ(out.seen[6].value, "9\n");
    EXPECT_EQ(out.seen[7].keyword, "[LINE]");
    EXPECT_EQ(out.seen[7].section, Section::common);
    EXPECT_EQ(out.seen[8].keyword, "HISTORY");
    EXPECT_EQ(out.seen[8].section, Section::line);
    EXPECT_EQ(out.seen[9].keyword, "[LINE]");
    EXPECT_EQ(out.seen[9].value, "extra\n");
}

// A keyword directly followed by a letter or digit is still read as that
// keyword, and the word as written is named in a warning; a blank, a sign
// or nothing behind a keyword is no typo.
TEST(ConfigGrammarKeywords, LongerWordIsReadWithAWarning) {
    struct Case {
        const char* line;
        const char* keyword;
        const char* warning;
    };
    const Case cases[] = {
        {"Groups Yes", "GROUP", "Config warning, line 2: 'Groups' read as GROUP\n"},
        {"OutputFile ravlog.out", "OUTPUT",
         "Config warning, line 2: 'OutputFile' read as OUTPUT\n"},
        {"TimeShfit 3", "TIME", "Config warning, line 2: 'TimeShfit' read as TIME\n"},
        {"TIMESHIFTX 3", "TIMESHIFT", "Config warning, line 2: 'TIMESHIFTX' read as TIMESHIFT\n"},
        {"Time8-17", "TIME", "Config warning, line 2: 'Time8' read as TIME\n"},
        {"[LINE]extra", "[LINE]", "Config warning, line 2: '[LINE]extra' read as [LINE]\n"},
        {"TimeShift 3", "TIMESHIFT", ""},
        {"Time\t9-17", "TIME", ""},
        {"Date-1", "DATE", ""},
        {"Group=Yes", "GROUP", ""},
        {"BusyHist", "BUSYHIST", ""},
    };
    for (const Case& c : cases) {
        testing::CapturedStream warnings;
        const Outcome out =
            read(std::string("[COMMON]\n") + c.line + "\n", Program::ravlog, warnings.get());
        ASSERT_EQ(out.seen.size(), 2u) << c.line;
        EXPECT_EQ(out.seen[1].keyword, c.keyword) << c.line;
        EXPECT_EQ(warnings.text(), c.warning) << c.line;
    }
}

TEST(ConfigGrammarKeywords, TableHasTheTwentyEightKeywordsInOrder) {
    const char* expected[] = {"HISTORY",     "OUTPUT",           "TIMESHIFT",
                              "DATE",        "MIDDLINE",         "KEEPALL",
                              "GROUP",       "NODRAWZERO",       "ADDR",
                              "BUSYHIST",    "SUPPORTNEWFORMAT", "SHOWVALUE",
                              "[COMMON]",    "[LINE]",           "PROTECTSUMMARY",
                              "NAME",        "CUTHISTORY",       "TIME",
                              "PONDREL",     "SESSIONSTAT",      "BRAKESESSTAT",
                              "ADVANCEDCPS", "SWAPINOUT",        "BINKDABORTED",
                              "JSONREPORT",  "HTMLREPORT",       "CHARSET",
                              "ARCHIVE"};
    ASSERT_EQ(keywordTable.size(), 28u);
    for (std::size_t i = 0; i < keywordTable.size(); ++i)
        EXPECT_EQ(keywordTable[i].text, expected[i]);
}

TEST(ConfigGrammarLines, CarriageReturns) {
    // A line of nothing but a carriage return is not blank.
    EXPECT_EQ(errorOf("[COMMON]\n\r\n", Program::brimsel),
              "Config error, line 2: " + dos2unix + "\n");
    EXPECT_EQ(errorOf("[COMMON]\n  \r\n", Program::pondrel),
              "Config error, line 2: " + dos2unix + "\n");
    // Lines with content read normally; the carriage return stays in the value.
    Outcome out = read("[COMMON]\r\nOUTPUT x\r\n", Program::brimsel);
    EXPECT_FALSE(out.stop);
    ASSERT_EQ(out.seen.size(), 2u);
    EXPECT_EQ(out.seen[0].value, "\r\n");
    EXPECT_EQ(out.seen[1].value, "x\r\n");
    // A lone carriage return does not end a line.
    EXPECT_EQ(errorOf("[COMMON]\rOUTPUT x\n[LINE]\nOUTPUT y\n"),
              "Config error, line 3: parameter not allowed in [LINE] section\n");
}

// A NUL byte anywhere, a comment or the rest of a long line included,
// is an error of its line in every program.
TEST(ConfigGrammarLines, ANulByteIsAnErrorOfItsLine) {
    using namespace std::string_literals;
    const std::pair<std::string, int> cases[] = {
        {"[COMMON]\nOUT\0PUT x\n"s, 2},
        {"[COMMON]\nOUTPUT x\0garbage\nSHOWVALUE cps\n"s, 2},
        {"[COMMON]\n\0OUTPUT x\nbogus\n"s, 2},
        {"\0\0\0\0"s, 1},
        {"[COMMON]\n; a \0 in a comment\n"s, 2},
        {"[COMMON]\n;" + std::string(600, 'c') + "\0\n"s, 2},
    };
    for (const auto& [text, line] : cases)
        for (const Program program : {Program::ravlog, Program::pondrel, Program::brimsel})
            EXPECT_EQ(errorOf(text, program),
                      "Config error, line " + std::to_string(line) + ": NUL byte in the line\n")
                << text.substr(0, 20);
}

TEST(ConfigGrammarReading, HandlerStopEndsTheReading) {
    std::string text = "[COMMON]\nOUTPUT a\nOUTPUT b\n";
    auto source = memorySource(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    int calls = 0;
    Stop stop =
        readConfigText(*source, Program::ravlog, [&](const KeywordLine& kw, Section) -> Stop {
            ++calls;
            if (kw.def->id == Keyword::output) return configError(kw.lineNumber, "handler says no");
            return std::nullopt;
        });
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->message, "Config error, line 2: handler says no\n");
    EXPECT_EQ(calls, 2);
}

TEST(ConfigGrammarReading, SkipBlanksTellsWhetherAValueFollows) {
    std::string_view a = " \t x";
    EXPECT_TRUE(skipBlanks(a));
    EXPECT_EQ(a, "x");
    for (std::string_view none : {"", "  ", "\t;x", " \n", ";"}) {
        std::string_view v = none;
        EXPECT_FALSE(skipBlanks(v)) << none;
    }
    std::string_view cr = " \r\n";
    EXPECT_TRUE(skipBlanks(cr));  // a carriage return is a value
}

}  // namespace
}  // namespace rv
