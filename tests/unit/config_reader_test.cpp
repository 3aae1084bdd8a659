// The configuration reader of ravlog and pondrel: ADDR patterns and labels,
// every keyword handler with its warnings and errors, the filling of
// per-line settings from [COMMON], and the keywords that options fix.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "captured_stream.h"
#include "core/config_reader.h"
#include "core/session_kind.h"
#include "time_zone_scope.h"
#include "tools/history_writer.h"

namespace rv {
namespace {

using testing::CapturedStream;
using testing::TimeZoneScope;

constexpr std::int16_t any = anyComponent;
constexpr std::int16_t each = eachComponent;
constexpr const char* dos2unix =
    "invalid keyword or parameter, or config file not in unix-like format (use dos2unix to "
    "convert it)";

struct ReadResult {
    Configuration config;
    Stop stop;
    std::string warnings;
};

struct ReadOptions {
    Program program = Program::ravlog;
    FixedByOptions fixed;
    std::vector<Line> presetLines;  // the -h sources
    Settings settings;
};

// Reads the text as a configuration file of a run on Tuesday 5 March 2024.
ReadResult readText(const std::string& text, const ReadOptions& options = {}) {
    const RunClock clock = makeRunClock(histgen::utcSeconds(2024, 3, 5, 12));
    CapturedStream warnings;
    ConfigContext context;
    context.program = options.program;
    context.fixed = options.fixed;
    context.clock = &clock;
    context.warnings = warnings.get();
    ReadResult result;
    result.config.settings = options.settings;
    result.config.lines = options.presetLines;
    auto source = memorySource(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    result.stop = readConfig(*source, result.config, context);
    result.warnings = warnings.text();
    return result;
}

// The message a failed read ends the run with ("" when it did not fail).
std::string failureText(const ReadResult& r) {
    if (!r.stop) return "";
    EXPECT_EQ(r.stop->status, exitFailure);
    return r.stop->message;
}

// A configuration of one line whose [COMMON] section holds the given lines.
std::string withCommon(const std::string& common) {
    return "[COMMON]\n" + common + "[LINE]\nHISTORY a.his\n";
}

AddrSpec readAddr(std::string_view value) {
    AddrSpec addrSpec;
    EXPECT_NE(readAddrValue(value, true, 1, nullptr, addrSpec), AddrReading::skipped) << value;
    return addrSpec;
}

// ---- ADDR ------------------------------------------------------------------

TEST(ConfigReaderAddr, PatternsWildcardsAndOmittedComponents) {
    struct Case {
        const char* value;
        FidoAddress pattern;
        std::uint16_t flags;
    };
    const Case cases[] = {
        {"2:5020/100", {2, 5020, 100, any}, AddrFlags::hasAny},
        {"2:5020/100.0", {2, 5020, 100, 0}, 0},
        {"2:5020/100.7", {2, 5020, 100, 7}, 0},
        {"1:234", {1, 234, any, any}, AddrFlags::hasAny},
        {"1:234/*", {1, 234, any, any}, AddrFlags::hasAny},
        {"234/56", {any, 234, 56, any}, AddrFlags::hasAny},
        {"2", {2, any, any, any}, AddrFlags::hasAny},
        {"*", {any, any, any, any}, AddrFlags::hasAny},
        {"*:*/*.*", {any, any, any, any}, AddrFlags::hasAny},
        {"2:5020/0", {2, 5020, 0, any}, AddrFlags::hasAny},
        {"2:5020/#", {2, 5020, each, any}, AddrFlags::group | AddrFlags::hasAny},
        {"2:5020/#.#", {2, 5020, each, each}, AddrFlags::group},
        {"2:#", {2, each, any, any}, AddrFlags::group | AddrFlags::hasAny},
        {"!1:234/*", {1, 234, any, any}, AddrFlags::excluded | AddrFlags::hasAny},
        {"!2:5020/99.0", {2, 5020, 99, 0}, AddrFlags::excluded},
    };
    for (const Case& c : cases) {
        const AddrSpec addrSpec = readAddr(c.value);
        EXPECT_EQ(addrSpec.pattern, c.pattern) << c.value;
        EXPECT_EQ(addrSpec.flags, c.flags) << c.value;
        EXPECT_EQ(addrSpec.displayName, "") << c.value;
    }
}

TEST(ConfigReaderAddr, ZeroBeforeColonOrSlashLeavesTheComponentAny) {
    EXPECT_EQ(readAddr("0:5020/100.0").pattern, (FidoAddress{any, 5020, 100, 0}));
    EXPECT_EQ(readAddr("2:0/100.0").pattern, (FidoAddress{2, any, 100, 0}));
    EXPECT_EQ(readAddr("0/100").pattern, (FidoAddress{any, any, 100, any}));
    // A bare 0 is no zone either; after '.' a 0 is the point itself.
    EXPECT_EQ(readAddr("0").pattern, (FidoAddress{any, any, any, any}));
    EXPECT_EQ(readAddr("2:5020/100.0").pattern.point, 0);
}

TEST(ConfigReaderAddr, CharactersAfterANumberArePassedOverUpToTheSeparator) {
    EXPECT_EQ(readAddr("2x:5020abc/100zz.3q").pattern, (FidoAddress{2, 5020, 100, 3}));
    EXPECT_EQ(readAddr("2:5020/1\t; comment").pattern, (FidoAddress{2, 5020, 1, any}));
    // '*' and '#' also swallow what follows them.
    EXPECT_EQ(readAddr("2:50*0/#x").pattern, (FidoAddress{2, 50, each, any}));
}

TEST(ConfigReaderAddr, SessionKindEntries) {
    struct Case {
        const char* value;
        std::size_t kind;
    };
    const Case cases[] = {{"ANSWER", 0}, {"dial", 1},     {"Terminal", 2},
                          {"BBS", 3},    {"external", 4}, {"DIALUP \"Dial-up\"", 1}};
    for (const Case& c : cases) {
        const AddrSpec addrSpec = readAddr(c.value);
        EXPECT_EQ(addrSpec.pattern, eventKeyAddress(sessionKinds[c.kind])) << c.value;
        EXPECT_EQ(addrSpec.flags, sessionKinds[c.kind].entryFlag) << c.value;
        EXPECT_EQ(addrSpec.displayName, "") << c.value;  // kinds take no label
    }
    EXPECT_EQ(readAddr("BBS").flags, 0x0100);
    EXPECT_EQ(readAddr("ANSWER").flags, 0x0400);
    // "!ANSWER" is no kind: it is an excluded pattern whose components read as 0.
    const AddrSpec excluded = readAddr("!ANSWER");
    EXPECT_EQ(excluded.flags, AddrFlags::excluded | AddrFlags::hasAny);
    EXPECT_EQ(excluded.pattern, (FidoAddress{any, any, any, any}));
}

TEST(ConfigReaderAddr, KindEntriesNeedSupportNewFormat) {
    const ReadResult before = readText(
        "[COMMON]\n"
        "ADDR 2:5020/1\n"
        "SUPPORTNEWFORMAT No\n"
        "; the kind below is skipped with its own line number\n"
        "ADDR Dial\n"
        "ADDR 2:5020/2\n"
        "[LINE]\nHISTORY a.his\n");
    ASSERT_FALSE(before.stop);
    EXPECT_EQ(before.warnings,
              "Skip extended The Brake!-style Addr in config line 5 due to 'SupportNewFormat "
              "No'\n");
    ASSERT_EQ(before.config.addresses.size(), 2u);
    EXPECT_EQ(before.config.addresses[1].pattern, (FidoAddress{2, 5020, 2, any}));
    EXPECT_FALSE(before.config.settings.supportNewFormat);

    const ReadResult after = readText(withCommon("ADDR ANSWER\nSUPPORTNEWFORMAT No\n"));
    ASSERT_FALSE(after.stop);
    EXPECT_EQ(after.warnings, "");
    ASSERT_EQ(after.config.addresses.size(), 1u);
    EXPECT_EQ(after.config.addresses[0].flags, 0x0400);

    // Any value but No leaves the formats on.
    const ReadResult maybe = readText(withCommon("SUPPORTNEWFORMAT Maybe\nADDR BBS\n"));
    EXPECT_TRUE(maybe.config.settings.supportNewFormat);
    EXPECT_EQ(maybe.config.addresses.size(), 1u);
}

TEST(ConfigReaderAddr, LabelsAreCutAtFifteenCharactersAndPadded) {
    EXPECT_EQ(readAddr("1:234/56 \"Node Bob\"").displayName, "Node Bob       ");
    EXPECT_EQ(readAddr("1:234/56\t \"Boss\" ; comment").displayName, "Boss           ");
    // The quote ends the pattern: no blank is needed before it.
    const AddrSpec tight = readAddr("1:234/56\"Tight\"");
    EXPECT_EQ(tight.pattern, (FidoAddress{1, 234, 56, any}));
    EXPECT_EQ(tight.displayName, "Tight          ");
    EXPECT_EQ(readAddr("2:5020/# \"Fifteen chars..\"").displayName, "Fifteen chars..");
    EXPECT_EQ(readAddr("2:5020/# \"Sixteen characters\"").displayName, "Sixteen charact");
    // No closing quote: the rest of the line, without its newline.
    EXPECT_EQ(readAddr("2:5020/1 \"Open end\n").displayName, "Open end       ");
    EXPECT_EQ(readAddr("2:5020/1 \"\"").displayName, std::string(15, ' '));
    // A label needs a quote.
    EXPECT_EQ(readAddr("2:5020/1 Bob").displayName, "");
}

TEST(ConfigReaderAddr, CyrillicLabelsCountCharactersNotBytes) {
    // Four Cyrillic letters are eight bytes but four columns.
    EXPECT_EQ(readAddr("2:5020/1 \"Узел\"").displayName, "Узел           ");
    // Cut after the 15th character, never inside one.
    EXPECT_EQ(readAddr("2:5020/1 \"Московский узел связи\"").displayName, "Московский узел");
    EXPECT_EQ(readAddr("2:5020/1 \"Узел №1 Москва-Юг\"").displayName, "Узел №1 Москва-");
}

TEST(ConfigReaderAddr, PondrelReadsLabelsAsRavlog) {
    const ReadResult r = readText(withCommon("ADDR 1:234/56 \"Node Bob\"\n"),
                                  ReadOptions{Program::pondrel, {}, {}, {}});
    ASSERT_FALSE(r.stop);
    ASSERT_EQ(r.config.addresses.size(), 1u);
    EXPECT_EQ(r.config.addresses[0].displayName, "Node Bob       ");
    EXPECT_EQ(r.config.addresses[0].pattern, (FidoAddress{1, 234, 56, any}));
}

// ---- Sections and histories --------------------------------------------------

TEST(ConfigReaderHistory, ErrorsNameTheirLine) {
    EXPECT_EQ(failureText(readText("[LINE]\nHISTORY a.his\nHISTORY b.his\n")),
              "Config error, line 3: parameter 'History' already defined in current [LINE] "
              "section\n");
    EXPECT_EQ(failureText(readText("[LINE]\n[LINE]\nHISTORY a.his\n")),
              "Config error, line 2: no history file defined in previous [LINE] section\n");
    EXPECT_EQ(failureText(readText("[LINE]\n; nothing yet\n[COMMON]\n")),
              "Config error, line 3: no history file defined in previous [LINE] section\n");
    EXPECT_EQ(failureText(readText("[LINE]\nHISTORY binkd.his,0,0\n")),
              "Config error, line 2: invalid parameters value for BinkD line\n");
    EXPECT_EQ(failureText(readText("[LINE]\nHISTORY binkd.his,0\n")),
              "Config error, line 2: invalid parameters value for BinkD line\n");
    // A value without a file name would leave a line that can never be read.
    EXPECT_EQ(failureText(readText("[LINE]\nHISTORY ,1,1\n")),
              "Config error, line 2: invalid parameter or its value\n");
    EXPECT_EQ(failureText(readText("[LINE]\nHISTORY \xC3\xA9t\xC3\xA9.his\n")),
              "Config error, line 2: invalid parameter or its value\n");
    EXPECT_EQ(
        failureText(readText("[LINE]\nHISTORY ,\n", ReadOptions{Program::pondrel, {}, {}, {}})),
        "Config error, line 2: " + std::string(dos2unix) + "\n");
}

TEST(ConfigReaderHistory, EndOfFileChecks) {
    EXPECT_EQ(failureText(readText("; only comments\n\n[COMMON]\nADDR 2:5020/1\n")),
              "No history file defined.\n");
    EXPECT_EQ(failureText(readText("[LINE]\nHISTORY a.his\n[LINE]\nNAME \"x\"\n")),
              "No history file defined in last [LINE] section\n");
    EXPECT_EQ(failureText(readText("")), "No history file defined.\n");

    // A -h source is history enough.
    ReadOptions withH;
    withH.presetLines.emplace_back();
    withH.presetLines.back().source.path = "cmd.his";
    const ReadResult ok = readText("; comment lines only\n", withH);
    EXPECT_FALSE(ok.stop);
    ASSERT_EQ(ok.config.lines.size(), 1u);
}

TEST(ConfigReaderHistory, LinesFollowTheCommandLineSources) {
    ReadOptions withH;
    withH.presetLines.emplace_back();
    withH.presetLines.back().source.path = "cmd.his";
    const ReadResult r = readText(
        "[LINE]\nHISTORY first.his\n[COMMON]\n[LINE]\nHISTORY binkd.his,2,1 ; BinkD\n", withH);
    ASSERT_FALSE(r.stop);
    ASSERT_EQ(r.config.lines.size(), 3u);
    EXPECT_EQ(r.config.lines[0].source.path, "cmd.his");
    EXPECT_EQ(r.config.lines[1].source.path, "first.his");
    EXPECT_EQ(r.config.lines[1].source.type, HistoryType::plain28);
    const HistorySource& binkd = r.config.lines[2].source;
    EXPECT_EQ(binkd.path, "binkd.his");
    EXPECT_EQ(binkd.type, HistoryType::binkd);
    EXPECT_EQ(binkd.n, 2);
    EXPECT_EQ(binkd.m, 1);
}

// ---- Value handlers ------------------------------------------------------------

TEST(ConfigReaderValues, ReportFileNames) {
    const ReadResult r =
        readText(withCommon("OUTPUT +report.txt\n"
                            "PONDREL links a b\n"
                            "SESSIONSTAT ses%Y.txt;comment\n"));
    ASSERT_FALSE(r.stop);
    const Settings& s = r.config.settings;
    EXPECT_EQ(s.outputPath, "report.txt");
    EXPECT_TRUE(s.outputAppend);
    EXPECT_EQ(s.linksPath, "links");
    EXPECT_FALSE(s.linksAppend);
    EXPECT_EQ(s.sessionsPath, "ses%Y.txt");  // macros are expanded when the file opens
    EXPECT_FALSE(s.sessionsAppend);

    const std::string longName(300, 'n');
    const ReadResult cut = readText(withCommon("OUTPUT " + longName + ",x\n"));
    EXPECT_EQ(cut.config.settings.outputPath, std::string(259, 'n'));

    std::string path;
    bool append = false;
    readFileName("+a,b", path, append);
    EXPECT_EQ(path, "a");
    EXPECT_TRUE(append);
    readFileName("plain", path, append);
    EXPECT_EQ(path, "plain");
    EXPECT_TRUE(append) << "append, once set, stays set";
}

TEST(ConfigReaderValues, TimeShift) {
    TimeZoneScope zone(testing::centralEurope);
    const ReadResult r = readText(
        "[COMMON]\n"
        "TIMESHIFT -2\n"
        "[LINE]\nHISTORY b.his\ntimeshift auto\n"
        "[LINE]\nHISTORY c.his\nTIMESHIFT +5\n"
        "[LINE]\nHISTORY d.his\n");
    ASSERT_FALSE(r.stop);
    const std::vector<Line>& lines = r.config.lines;
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].timeShift, 1);  // central European standard time, also in summer
    EXPECT_EQ(lines[1].timeShift, 5);
    EXPECT_EQ(lines[2].timeShift, -2);  // from [COMMON]
}

TEST(ConfigReaderValues, DateAndTimeWindow) {
    TimeZoneScope zone("UTC");
    const ReadResult r = readText(withCommon("DATE 15.3.2024 ; the ides\nTIME 8:30 - 17:30\n"));
    ASSERT_FALSE(r.stop);
    const Settings& s = r.config.settings;
    EXPECT_EQ(s.reportDate, static_cast<std::time_t>(histgen::utcSeconds(2024, 3, 15)));
    EXPECT_EQ(s.timeWindow.startHour, 8);
    EXPECT_EQ(s.timeWindow.startMinute, 30);
    EXPECT_EQ(s.timeWindow.endHour, 17);
    EXPECT_EQ(s.timeWindow.endMinute, 30);
    EXPECT_EQ(s.timeWindow.endHourBound, 18);

    EXPECT_EQ(failureText(readText(withCommon("DATE 15.3.24\n"))),
              "Invalid Date (year): 15.3.24\n");
    EXPECT_EQ(failureText(readText(withCommon("DATE 1.13\n"))), "Invalid Date (month): 1.13\n");
    // The whole rest of the line is shown, without its newline.
    EXPECT_EQ(failureText(readText(withCommon("TIME 8-17x ; note\n"))),
              "Invalid time 8-17x ; note\n");
    EXPECT_EQ(failureText(readText(withCommon("TIME 8-25\n"))), "Invalid time 8-25\n");
    EXPECT_EQ(failureText(readText(withCommon("TIME 24-1\n"))), "Invalid time 24-1\n");

    // End hour 0 on the whole hour is the end of the day, as 24 is.
    const ReadResult midnight = readText(withCommon("TIME 22-0\n"));
    ASSERT_FALSE(midnight.stop);
    const TimeWindow& w = midnight.config.settings.timeWindow;
    EXPECT_EQ(w.startHour, 22);
    EXPECT_EQ(w.endHour, 23);
    EXPECT_EQ(w.endMinute, 59);
    EXPECT_EQ(w.endSecond, 59);
    EXPECT_EQ(w.endHourBound, 24);
}

TEST(ConfigReaderValues, ModeKeywordsIgnoreValuesTheyDoNotKnow) {
    const ReadResult r =
        readText(withCommon("MIDDLINE Yes\nMIDDLINE No\n"
                            "SHOWVALUE CPS\nSHOWVALUE Ses\n"
                            "KEEPALL yesterday\nGROUP Yes\nGROUP nope\n"
                            "NODRAWZERO YES\nPROTECTSUMMARY y\n"));
    ASSERT_FALSE(r.stop);
    const Settings& s = r.config.settings;
    EXPECT_EQ(s.middLine, MiddLineMode::yes);
    EXPECT_EQ(s.showValue, ShowValueMode::cps);
    EXPECT_TRUE(s.keepAll);  // YES is compared on three characters only
    EXPECT_FALSE(s.group);   // a later plain switch sets it again
    EXPECT_TRUE(s.noDrawZero);
    EXPECT_FALSE(s.protectSummary);

    const ReadResult g = readText(withCommon("MIDDLINE groups\nSHOWVALUE time\n"));
    EXPECT_EQ(g.config.settings.middLine, MiddLineMode::group);
    EXPECT_EQ(g.config.settings.showValue, ShowValueMode::time);
    const ReadResult none = readText(withCommon("MIDDLINE sometimes\nSHOWVALUE bytes\n"));
    EXPECT_EQ(none.config.settings.middLine, MiddLineMode::no);
    EXPECT_EQ(none.config.settings.showValue, ShowValueMode::ses);
}

TEST(ConfigReaderValues, BrakeSesStatForms) {
    struct Case {
        const char* value;
        std::uint16_t mask;
        const char* warnings;
    };
    const Case cases[] = {
        {"ad", 0x0C00, ""},
        {"A D", 0x0C00, "Skipping invalid character ' ' in  BrakeSesStat mask\n"},
        {"Yes", 0x1F00, ""},
        {"TBE", 0x1300, ""},
        {"adx", 0x0C00, "Skipping invalid character 'x' in  BrakeSesStat mask\n"},
        // Every character to the end of the line counts, comments too.
        {"B;", 0x0100, "Skipping invalid character ';' in  BrakeSesStat mask\n"},
    };
    for (const Case& c : cases) {
        const ReadResult r = readText(withCommon(std::string("BRAKESESSTAT ") + c.value + "\n"));
        ASSERT_FALSE(r.stop) << c.value;
        EXPECT_EQ(r.config.settings.brakeSesStatMask, c.mask) << c.value;
        EXPECT_EQ(r.warnings, c.warnings) << c.value;
    }
    // No keeps what was set; a later mask replaces it.
    const ReadResult kept = readText(withCommon("BRAKESESSTAT AD\nBRAKESESSTAT No\n"));
    EXPECT_EQ(kept.config.settings.brakeSesStatMask, 0x0C00);
    const ReadResult replaced = readText(withCommon("BRAKESESSTAT AD\nBRAKESESSTAT T\n"));
    EXPECT_EQ(replaced.config.settings.brakeSesStatMask, 0x1000);
}

TEST(ConfigReaderValues, BusyHistInEachSection) {
    const ReadResult r = readText(
        "[COMMON]\nBUSYHIST tio$x\n"
        "[LINE]\nHISTORY a.his\nBUSYHIST No\n"
        "[LINE]\nHISTORY b.his\nBUSYHIST\n"
        "[LINE]\nHISTORY c.his\nBUSYHIST Yes\n"
        "[LINE]\nHISTORY d.his\n");
    ASSERT_FALSE(r.stop);
    EXPECT_EQ(r.warnings, "Skipping invalid character 'x' in BusyHist mask\n");
    EXPECT_EQ(r.config.settings.busyHistMask, 0x27);
    EXPECT_EQ(r.config.lines[0].busyHistMask, 0);
    EXPECT_EQ(r.config.lines[1].busyHistMask, 0);  // a bare BUSYHIST sets no chart
    EXPECT_EQ(r.config.lines[2].busyHistMask, 0x1F);
    EXPECT_EQ(r.config.lines[3].busyHistMask, 0x27);
}

TEST(ConfigReaderValues, LineNames) {
    const ReadResult r = readText(
        "[LINE]\nHISTORY a.his\nNAME \"Modem line\" ; rest\n"
        "[LINE]\nHISTORY b.his\nNAME Unquoted\n"
        "[LINE]\nHISTORY c.his\nNAME \"Узел 2\"\n"
        "[LINE]\nHISTORY d.his\nNAME \"Open\n"
        "[LINE]\nHISTORY e.his\nNAME\n");
    ASSERT_FALSE(r.stop);
    const std::vector<Line>& l = r.config.lines;
    ASSERT_EQ(l.size(), 5u);
    EXPECT_TRUE(l[0].hasName);
    EXPECT_EQ(l[0].name, "Modem line");
    EXPECT_EQ(l[0].nameWidth, 10u);
    EXPECT_FALSE(l[1].hasName);
    EXPECT_EQ(l[2].name, "Узел 2");
    EXPECT_EQ(l[2].nameWidth, 6u);
    // Without a closing quote the name runs to the end of the line, newline included.
    EXPECT_EQ(l[3].name, "Open\n");
    EXPECT_EQ(l[3].nameWidth, 5u);
    EXPECT_FALSE(l[4].hasName);
}

TEST(ConfigReaderValues, PerLineSwitchesAndCutHistory) {
    const ReadResult r = readText(
        "[COMMON]\nADVANCEDCPS Yes\nSWAPINOUT Yes\nBINKDABORTED Outgoing\nCUTHISTORY 30\n"
        "[LINE]\nHISTORY a.his\nADVANCEDCPS No\nSWAPINOUT no\nBINKDABORTED In\nCUTHISTORY 0\n"
        "[LINE]\nHISTORY b.his\nBINKDABORTED out\nCUTHISTORY 7 ; days\n"
        "[LINE]\nHISTORY c.his\n");
    ASSERT_FALSE(r.stop);
    const std::vector<Line>& l = r.config.lines;
    ASSERT_EQ(l.size(), 3u);
    EXPECT_EQ(l[0].advancedCps, 0);
    EXPECT_EQ(l[0].swapInOut, 0);
    EXPECT_EQ(l[0].binkdAbortedOut, 0);
    EXPECT_EQ(l[0].cutHistory, 0);
    EXPECT_EQ(l[1].advancedCps, 1);
    EXPECT_EQ(l[1].swapInOut, 1);
    EXPECT_EQ(l[1].binkdAbortedOut, 1);
    EXPECT_EQ(l[1].cutHistory, 7);
    EXPECT_EQ(l[2].advancedCps, 1);
    EXPECT_EQ(l[2].binkdAbortedOut, 1);
    EXPECT_EQ(l[2].cutHistory, 30);
}

// TimeShift's hours within a day and CutHistory's days (the one keyword
// that destroys records): a whole number, or a configuration error in
// every program alike, also in one that does not act on the keyword. In a
// [LINE] under [COMMON] with 7, so that a value taken for the unset marker
// shows as 7.
TEST(ConfigReaderValues, ShiftAndCutTakeWholeNumbersOrStopInEveryProgram) {
    TimeZoneScope zone(testing::centralEurope);
    struct Case {
        std::string keyword;
        std::vector<const char*> refused;
        std::vector<std::pair<const char*, std::int32_t>> taken;
    };
    const Case cases[] = {
        {"CUTHISTORY",
         {"65538", "1e3", "6O", "2,5", "abc", "99999999999", "-65536", "7days", "30days", "65536",
          "- 7", "+", "7 x"},
         {{"65535", 65535},
          {"-65535", -65535},
          {"-3", -3},
          {"+7", 7},
          {"7 ; comment", 7},
          {"7;x", 7},
          {"7\t\r", 7},
          {"0", 0},
          {"-1", 7}}},
        {"TIMESHIFT",
         {"3.5", "3h", "30000", "24", "-24", "X 3", "+5 hours", "AUTOMATIC", "auto 2"},
         {{"23", 23}, {"-23", -23}, {"+5\r", 5}, {"0 ; UTC", 0}, {"Auto ; CET", 1}}},
    };
    const std::pair<Program, const char*> programs[] = {
        {Program::ravlog, "invalid parameter or its value"},
        {Program::pondrel, dos2unix},
        {Program::brimsel, dos2unix}};
    for (const auto& [program, invalid] : programs) {
        ReadOptions options;
        options.program = program;
        for (const Case& c : cases) {
            const auto read = [&](const char* value) {
                return readText("[COMMON]\n" + c.keyword + " 7\n[LINE]\nHISTORY a.his\n" +
                                    c.keyword + " " + value + "\n",
                                options);
            };
            for (const char* value : c.refused)
                EXPECT_EQ(failureText(read(value)),
                          "Config error, line 5: " + std::string(invalid) + "\n")
                    << c.keyword << " " << value;
            for (const auto& [value, number] : c.taken) {
                const ReadResult r = read(value);
                ASSERT_FALSE(r.stop) << c.keyword << " " << value;
                const Line& line = r.config.lines.at(0);
                if (c.keyword == "TIMESHIFT") {
                    EXPECT_EQ(line.timeShift, number) << value;
                } else if (program == Program::ravlog) {
                    EXPECT_EQ(line.cutHistory, number) << value;
                }
            }
        }
    }
}

// ---- Filling and precedence ------------------------------------------------------

TEST(ConfigReaderFilling, CommonAfterTheLastLineStillReachesEveryLine) {
    ReadOptions withH;
    withH.presetLines.emplace_back();
    withH.presetLines.back().source.path = "cmd.his";
    const ReadResult r = readText(
        "[COMMON]\nCUTHISTORY 3\nTIMESHIFT 1\n"
        "[LINE]\nHISTORY a.his\nCUTHISTORY 9\nBUSYHIST T\n"
        "[LINE]\nHISTORY b.his\nTIMESHIFT -4\n"
        "[COMMON]\nCUTHISTORY 5\nBUSYHIST IO\nSWAPINOUT Yes\n",
        withH);
    ASSERT_FALSE(r.stop);
    const std::vector<Line>& l = r.config.lines;
    ASSERT_EQ(l.size(), 3u);
    // The last [COMMON] value counts, for the -h line too; a line's own value wins.
    EXPECT_EQ(l[0].cutHistory, 5);
    EXPECT_EQ(l[1].cutHistory, 9);
    EXPECT_EQ(l[2].cutHistory, 5);
    EXPECT_EQ(l[0].timeShift, 1);
    EXPECT_EQ(l[1].timeShift, 1);
    EXPECT_EQ(l[2].timeShift, -4);
    EXPECT_EQ(l[0].busyHistMask, 0x06);
    EXPECT_EQ(l[1].busyHistMask, 0x01);
    EXPECT_EQ(l[2].busyHistMask, 0x06);
    for (const Line& line : l) {
        EXPECT_EQ(line.swapInOut, 1);
        EXPECT_EQ(line.advancedCps, 0);
        EXPECT_EQ(line.binkdAbortedOut, 0);
    }
}

TEST(ConfigReaderFixed, OptionsWinOverTheirKeywords) {
    ReadOptions options;
    using K = Keyword;
    options.fixed = {K::output,     K::pondrel,        K::sessionStat, K::date,
                     K::time,       K::busyHist,       K::group,       K::keepAll,
                     K::noDrawZero, K::protectSummary, K::middLine,    K::showValue};
    options.settings.outputPath = "opt.out";
    options.settings.busyHistMask = 0x01;
    options.settings.group = true;
    options.settings.reportDate = 12345;
    const ReadResult r = readText(
        "[COMMON]\n"
        "OUTPUT file.out\nPONDREL file.lnk\nSESSIONSTAT +file.ses\n"
        "DATE 15.3.24\nTIME nonsense\n"  // would be errors, but are not read
        "BUSYHIST Yes\nGROUP No\nKEEPALL Yes\nNODRAWZERO Yes\nPROTECTSUMMARY Yes\n"
        "MIDDLINE Yes\nSHOWVALUE CPS\n"
        "[LINE]\nHISTORY a.his\nBUSYHIST O\n",
        options);
    ASSERT_FALSE(r.stop) << r.stop->message;
    const Settings& s = r.config.settings;
    EXPECT_EQ(s.outputPath, "opt.out");
    EXPECT_EQ(s.linksPath, "ravlog.lnk");
    EXPECT_EQ(s.sessionsPath, "ravlog.ses");
    EXPECT_FALSE(s.sessionsAppend);
    EXPECT_EQ(s.reportDate, 12345);
    EXPECT_EQ(s.timeWindow.endHourBound, 24);
    EXPECT_EQ(s.busyHistMask, 0x01);
    EXPECT_EQ(r.config.lines[0].busyHistMask, 0x01);  // per-line masks take the option too
    EXPECT_TRUE(s.group);
    EXPECT_FALSE(s.keepAll);
    EXPECT_FALSE(s.noDrawZero);
    EXPECT_FALSE(s.protectSummary);
    EXPECT_EQ(s.middLine, MiddLineMode::no);
    EXPECT_EQ(s.showValue, ShowValueMode::ses);

    // A fixed keyword is still checked before it is skipped.
    EXPECT_EQ(failureText(readText("[LINE]\nHISTORY a.his\nOUTPUT x\n", options)),
              "Config error, line 3: parameter not allowed in [LINE] section\n");
    EXPECT_EQ(failureText(readText("KEEPALL Yes\n", options)),
              "Config error, line 1: no section defined\n");
    EXPECT_EQ(failureText(readText("[COMMON]\nGROUP\n", options)),
              "Config error, line 2: invalid parameter or its value\n");
}

// Each program reads one configuration per keyword: the setting shows
// in the programs that act on the keyword and nowhere else.
TEST(ConfigReaderPrograms, EachActsOnItsOwnKeywords) {
    using C = const Configuration&;
    struct Case {
        const char* common;
        const char* actors;  // r ravlog, p pondrel, b brimsel
        bool (*took)(C);
    };
    const Case cases[] = {
        {"OUTPUT x", "r", [](C c) { return c.settings.outputPath == "x"; }},
        {"TIMESHIFT 3", "rpb", [](C c) { return c.lines[0].timeShift == 3; }},
        {"DATE 15.3.2024", "r", [](C c) { return c.settings.reportDate != 0; }},
        {"MIDDLINE Yes", "r", [](C c) { return c.settings.middLine == MiddLineMode::yes; }},
        {"KEEPALL Yes", "rp", [](C c) { return c.settings.keepAll; }},
        {"GROUP Yes", "rp", [](C c) { return c.settings.group; }},
        {"NODRAWZERO Yes", "r", [](C c) { return c.settings.noDrawZero; }},
        {"ADDR 2:5020/1", "rp", [](C c) { return !c.addresses.empty(); }},
        {"BUSYHIST Yes", "r", [](C c) { return c.lines[0].busyHistMask != 0; }},
        {"SUPPORTNEWFORMAT No", "rpb", [](C c) { return !c.settings.supportNewFormat; }},
        {"SHOWVALUE CPS", "r", [](C c) { return c.settings.showValue == ShowValueMode::cps; }},
        {"PROTECTSUMMARY Yes", "r", [](C c) { return c.settings.protectSummary; }},
        {"[LINE]\nHISTORY b.his\nNAME \"x\"", "rp", [](C c) { return c.lines[0].hasName; }},
        {"CUTHISTORY 5", "r", [](C c) { return c.lines[0].cutHistory == 5; }},
        {"TIME 10-12", "r", [](C c) { return c.settings.timeWindow.endHourBound != 24; }},
        {"PONDREL x", "r", [](C c) { return c.settings.linksPath == "x"; }},
        {"SESSIONSTAT x", "r", [](C c) { return c.settings.sessionsPath == "x"; }},
        {"BRAKESESSTAT D", "rp", [](C c) { return c.settings.brakeSesStatMask == 0x0800; }},
        {"ADVANCEDCPS Yes", "rp", [](C c) { return c.lines[0].advancedCps != 0; }},
        {"SWAPINOUT Yes", "rpb", [](C c) { return c.lines[0].swapInOut != 0; }},
        {"BINKDABORTED Out", "rp", [](C c) { return c.lines[0].binkdAbortedOut != 0; }},
        {"JSONREPORT x", "r", [](C c) { return c.settings.jsonReportPath == "x"; }},
        {"HTMLREPORT x", "r", [](C c) { return c.settings.htmlReportPath == "x"; }},
        {"CHARSET CP866", "rpb", [](C c) { return c.settings.charset == Charset::cp866; }},
        {"ARCHIVE x", "rp", [](C c) { return c.settings.archivePath == "x"; }},
    };
    const std::pair<Program, char> programs[] = {
        {Program::ravlog, 'r'}, {Program::pondrel, 'p'}, {Program::brimsel, 'b'}};
    for (const Case& c : cases) {
        for (auto [program, letter] : programs) {
            ReadOptions options;
            options.program = program;
            const ReadResult r = readText(withCommon(std::string(c.common) + "\n"), options);
            ASSERT_FALSE(r.stop) << c.common << ": " << r.stop->message;
            EXPECT_EQ(c.took(r.config), std::strchr(c.actors, letter) != nullptr)
                << c.common << " in " << letter;
        }
    }
    ReadOptions pondrel;
    pondrel.program = Program::pondrel;
    // A keyword that a program does not act on is judged all the same.
    for (const Program program : {Program::pondrel, Program::brimsel}) {
        ReadOptions other;
        other.program = program;
        EXPECT_EQ(failureText(readText(withCommon("TIME not a window\n"), other)),
                  "Invalid time not a window\n");
        EXPECT_EQ(failureText(readText(withCommon("DATE 15.3.24\n"), other)),
                  "Invalid Date (year): 15.3.24\n");
        EXPECT_EQ(failureText(readText(withCommon("JSONREPORT +day.json\n"), other)),
                  "Config error, line 2: " + std::string(jsonAppendRefused) + "\n");
        // Nor is an adjusted date told where it is of no use.
        const ReadResult adjusted = readText(withCommon("DATE 31.2\n"), other);
        EXPECT_FALSE(adjusted.stop);
        EXPECT_EQ(adjusted.warnings, "");
    }
    EXPECT_EQ(failureText(readText("[COMMON]\nHISTORY a.his\n", pondrel)),
              "Config error, line 2: keyword not allowed in [COMMON] section\n");
}

}  // namespace
}  // namespace rv
