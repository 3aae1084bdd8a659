// ravlog's command line: every option form, the error texts, the usage
// text, and how options meet the configuration file (fixed keywords, bare
// switches inverting the file's value).
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "captured_stream.h"
#include "core/config_reader.h"
#include "ravlog/options.h"
#include "report_texts.h"
#include "time_zone_scope.h"
#include "tools/history_writer.h"

namespace rv {
namespace {

using testing::CapturedStream;
using testing::TimeZoneScope;

struct Parsed {
    Configuration config;
    ravlog::Options options;
    Stop stop;
    std::string warnings;
};

// Parses the arguments as a run on Tuesday 5 March 2024 at noon, UTC.
Parsed parse(const std::vector<std::string>& args) {
    TimeZoneScope zone("UTC");
    const RunClock clock = makeRunClock(histgen::utcSeconds(2024, 3, 5, 12));
    CapturedStream warnings;
    Parsed p;
    p.config.settings.reportDate = clock.midnight;
    const std::vector<std::string_view> views(args.begin(), args.end());
    p.stop = parseOptions(views, p.config, p.options, clock, warnings.get());
    p.warnings = warnings.text();
    return p;
}

std::string unknown(const std::string& arg) {
    return "Unknown option or invalid value: " + arg + "\nUse -? or --help to help\n";
}

// Options, then the configuration text with the options' fixed keywords,
// then the inversions: the order of a run.
Settings settle(const std::vector<std::string>& args, const std::string& configText) {
    Parsed p = parse(args);
    EXPECT_FALSE(p.stop);
    const RunClock clock = makeRunClock(histgen::utcSeconds(2024, 3, 5, 12));
    ConfigContext context;
    context.fixed = p.options.fixed;
    context.clock = &clock;
    const std::string text = "[COMMON]\n" + configText + "[LINE]\nHISTORY a.his\n";
    auto source = memorySource(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    Stop stop = readConfig(*source, p.config, context);
    EXPECT_FALSE(stop);
    applySwitchOptions(p.options, p.config.settings);
    return p.config.settings;
}

TEST(RavlogOptions, UsageEndsWithStatusZero) {
    for (const char* arg : {"-?", "/?", "--help", "--HELP", "/-Help", "-h", "-h,1,1", "-h;x"}) {
        const Parsed p = parse({arg});
        ASSERT_TRUE(p.stop) << arg;
        EXPECT_EQ(p.stop->status, 0) << arg;
        EXPECT_EQ(p.stop->message, testing::usageText("ravlog")) << arg;
    }
    // The usage ends the reading: what follows is not looked at.
    const Parsed early = parse({"-?", "-x"});
    EXPECT_EQ(early.stop->status, 0);
}

TEST(RavlogOptions, UnknownOptionsAndBadValues) {
    for (const char* arg : {"x",   "report", "-",   "/",   "-x",       "-G",    "-C",
                            "-H",  "-gx",    "-k1", "-n=", "-p?",      "-m",    "-mx",
                            "-m0", "-s",     "-sx", "--",  "--helpme", "--hel", "-?"}) {
        if (std::string_view(arg) == "-?") continue;
        const Parsed p = parse({arg});
        ASSERT_TRUE(p.stop) << arg;
        EXPECT_EQ(p.stop->status, exitFailure) << arg;
        EXPECT_EQ(p.stop->message, unknown(arg)) << arg;
    }
    // Arguments before the bad one have been taken; the first bad one ends the reading.
    const Parsed p = parse({"-g+", "-y", "-z"});
    EXPECT_EQ(p.stop->message, unknown("-y"));
}

TEST(RavlogOptions, ConfigPath) {
    EXPECT_EQ(parse({}).config.settings.configPath, "ravlog.ctl");
    EXPECT_EQ(parse({"-cmy.ctl"}).config.settings.configPath, "my.ctl");
    EXPECT_EQ(parse({"/cother.ctl"}).config.settings.configPath, "other.ctl");
    EXPECT_EQ(parse({"-ca.ctl", "-cb.ctl"}).config.settings.configPath, "b.ctl");
    const std::string longest(259, 'c');
    const Parsed fits = parse({"-c" + longest});
    EXPECT_FALSE(fits.stop);
    EXPECT_EQ(fits.config.settings.configPath, longest);
    const std::string tooLong(260, 'c');
    const Parsed refused = parse({"-c" + tooLong});
    ASSERT_TRUE(refused.stop);
    EXPECT_EQ(refused.stop->status, exitFailure);
    EXPECT_EQ(refused.stop->message,
              "Config file name too long (at most 259 characters): " + tooLong + "\n");
}

TEST(RavlogOptions, ReportFileNames) {
    const Parsed p = parse({"-ostat.txt,x", "-l+links.txt", "-e+stat.txt", "-eother.txt"});
    ASSERT_FALSE(p.stop);
    const Settings& s = p.config.settings;
    EXPECT_EQ(s.outputPath, "stat.txt");  // the name ends at ','
    EXPECT_FALSE(s.outputAppend);
    EXPECT_EQ(s.linksPath, "links.txt");
    EXPECT_TRUE(s.linksAppend);
    // A later -e replaces the name, but append mode once set stays set.
    EXPECT_EQ(s.sessionsPath, "other.txt");
    EXPECT_TRUE(s.sessionsAppend);
    EXPECT_TRUE(p.options.fixed.has(Keyword::output));
    EXPECT_TRUE(p.options.fixed.has(Keyword::pondrel));
    EXPECT_TRUE(p.options.fixed.has(Keyword::sessionStat));

    const Parsed untouched = parse({"-g+"});
    EXPECT_EQ(untouched.config.settings.outputPath, "ravlog.out");
    EXPECT_FALSE(untouched.options.fixed.has(Keyword::output));

    // The option fixes the name: OUTPUT in the file is ignored.
    EXPECT_EQ(settle({"-e+run.ses"}, "SESSIONSTAT file.ses\n").sessionsPath, "run.ses");
    EXPECT_EQ(settle({}, "SESSIONSTAT +file.ses\n").sessionsPath, "file.ses");
}

TEST(RavlogOptions, HistorySourcesInOrder) {
    const Parsed p = parse({"-ha.his", "-hbinkd.his,0", "-hx.OHS", "-hb.his,2,1;c"});
    ASSERT_FALSE(p.stop);
    const std::vector<Line>& l = p.config.lines;
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[0].source.path, "a.his");
    EXPECT_EQ(l[0].source.type, HistoryType::plain28);
    // Both BinkD numbers 0 are accepted on the command line.
    EXPECT_EQ(l[1].source.path, "binkd.his");
    EXPECT_EQ(l[1].source.type, HistoryType::binkd);
    EXPECT_EQ(l[1].source.n, 0);
    EXPECT_EQ(l[1].source.m, 0);
    EXPECT_EQ(l[2].source.pairLetter, 2);  // the O of OHS
    EXPECT_EQ(l[3].source.n, 2);
    EXPECT_EQ(l[3].source.m, 1);
    for (const Line& line : l)
        EXPECT_EQ(line.timeShift, timeShiftUnset);  // filled from [COMMON] later
}

TEST(RavlogOptions, DateAndTime) {
    const Parsed date = parse({"-d15.3.2024"});
    ASSERT_FALSE(date.stop);
    EXPECT_EQ(date.config.settings.reportDate,
              static_cast<std::time_t>(histgen::utcSeconds(2024, 3, 15)));
    EXPECT_TRUE(date.options.fixed.has(Keyword::date));
    EXPECT_EQ(parse({"-d"}).config.settings.reportDate,
              static_cast<std::time_t>(histgen::utcSeconds(2024, 3, 5)));
    EXPECT_EQ(parse({"-d-1"}).config.settings.reportDate,
              static_cast<std::time_t>(histgen::utcSeconds(2024, 3, 4)));
    const Parsed adjusted = parse({"-d31.4"});
    EXPECT_EQ(adjusted.config.settings.reportDate,
              static_cast<std::time_t>(histgen::utcSeconds(2024, 4, 30)));
    EXPECT_EQ(adjusted.warnings, "Date adjusted to Tue Apr 30 00:00:00 2024\n");
    EXPECT_EQ(parse({"-d15.3.24"}).stop->message, "Invalid Date (year): 15.3.24\n");
    EXPECT_EQ(parse({"-d1.13"}).stop->message, "Invalid Date (month): 1.13\n");

    const Parsed time = parse({"-t8:30-17:30"});
    ASSERT_FALSE(time.stop);
    EXPECT_EQ(time.config.settings.timeWindow.startHour, 8);
    EXPECT_EQ(time.config.settings.timeWindow.endHourBound, 18);
    EXPECT_TRUE(time.options.fixed.has(Keyword::time));
    for (const char* bad : {"8-25", "24-1", "8:60-9", "8-17:30:00x", "", "8"}) {
        const Parsed p = parse({std::string("-t") + bad});
        ASSERT_TRUE(p.stop) << bad;
        EXPECT_EQ(p.stop->status, exitFailure);
        EXPECT_EQ(p.stop->message, std::string("Invalid time ") + bad + "\n");
    }
    // End hour 0 on the whole hour is the end of the day; 24 is the same.
    for (const char* end : {"-t22-0", "-t22-24"}) {
        const TimeWindow w = parse({end}).config.settings.timeWindow;
        EXPECT_EQ(w.endHour, 23) << end;
        EXPECT_EQ(w.endMinute, 59) << end;
        EXPECT_EQ(w.endSecond, 59) << end;
        EXPECT_EQ(w.endHourBound, 24) << end;
    }
}

TEST(RavlogOptions, BusyHistMask) {
    struct Case {
        const char* arg;
        std::uint8_t mask;
        const char* warnings;
    };
    const Case cases[] = {
        {"-b+", 0x1F, ""},   {"-b-", 0x00, ""},
        {"-b", 0x00, ""},    {"-bTIO", 0x07, ""},
        {"-bpu$", 0x38, ""}, {"-bxT", 0x01, "Skipping invalid character 'x' in BusyHist mask\n"},
    };
    for (const Case& c : cases) {
        const Parsed p = parse({c.arg});
        ASSERT_FALSE(p.stop) << c.arg;
        EXPECT_EQ(p.config.settings.busyHistMask, c.mask) << c.arg;
        EXPECT_EQ(p.warnings, c.warnings) << c.arg;
        EXPECT_TRUE(p.options.fixed.has(Keyword::busyHist)) << c.arg;
    }
    // -b- wins over BUSYHIST Yes inside a [LINE] section too.
    Parsed p = parse({"-b-"});
    const RunClock clock = makeRunClock(histgen::utcSeconds(2024, 3, 5, 12));
    ConfigContext context;
    context.fixed = p.options.fixed;
    context.clock = &clock;
    const std::string text = "[COMMON]\nBUSYHIST Yes\n[LINE]\nHISTORY a.his\nBUSYHIST Yes\n";
    auto source = memorySource(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    ASSERT_FALSE(readConfig(*source, p.config, context));
    EXPECT_EQ(p.config.settings.busyHistMask, 0);
    EXPECT_EQ(p.config.lines[0].busyHistMask, 0);
}

TEST(RavlogOptions, ThreeValuedSwitches) {
    const Parsed p = parse({"-g+", "-k-", "-n", "/p+"});
    ASSERT_FALSE(p.stop);
    EXPECT_EQ(p.options.group, SwitchOption::on);
    EXPECT_TRUE(p.options.fixed.has(Keyword::group));
    EXPECT_EQ(p.options.keepAll, SwitchOption::off);
    EXPECT_TRUE(p.options.fixed.has(Keyword::keepAll));
    EXPECT_EQ(p.options.noDrawZero, SwitchOption::invert);
    EXPECT_FALSE(p.options.fixed.has(Keyword::noDrawZero));  // the bare form keeps the keyword
    EXPECT_EQ(p.options.protectSummary, SwitchOption::on);

    // Fixed forms: the keyword is ignored.
    EXPECT_FALSE(settle({"-g+", "-g-"}, "GROUP Yes\n").group);
    EXPECT_TRUE(settle({"-k+"}, "KEEPALL No\n").keepAll);
    EXPECT_FALSE(settle({"-n-"}, "NODRAWZERO Yes\n").noDrawZero);
    EXPECT_TRUE(settle({"-p+"}, "PROTECTSUMMARY No\n").protectSummary);
    // Bare forms invert what the file says, or the default.
    EXPECT_FALSE(settle({"-g"}, "GROUP Yes\n").group);
    EXPECT_TRUE(settle({"-g"}, "").group);
    EXPECT_TRUE(settle({"-k"}, "KEEPALL No\n").keepAll);
    EXPECT_FALSE(settle({"-n"}, "NODRAWZERO Yes\n").noDrawZero);
    EXPECT_TRUE(settle({"-p"}, "").protectSummary);
}

TEST(RavlogOptions, LastFormOfASwitchWins) {
    // A later + or - form fixes the value whatever came before; a later
    // bare form leaves the keyword active and inverts the file's value.
    struct Form {
        std::vector<std::string> forms;  // for the letter x
        const char* keywordValue;        // "" when the file has no such line
        bool expected;
    };
    const std::vector<Form> table = {
        {{"x"}, "Yes", false},
        {{"x"}, "No", true},
        {{"x"}, "", true},
        {{"x+"}, "No", true},
        {{"x-"}, "Yes", false},
        {{"x", "x+"}, "No", true},
        {{"x", "x-"}, "Yes", false},
        {{"x+", "x"}, "No", true},
        {{"x+", "x"}, "Yes", false},
        {{"x+", "x"}, "", true},
        {{"x-", "x"}, "Yes", false},
        {{"x-", "x"}, "", true},
        {{"x+", "x-"}, "Yes", false},
        {{"x-", "x+", "x"}, "No", true},
        {{"x", "x"}, "No", true},  // two bare forms are one inversion, as the last one wins
        {{"x+x"}, "No", true},     // only the third character counts
    };
    struct Letter {
        char letter;
        const char* keyword;
        bool Settings::*setting;
    };
    const Letter letters[] = {{'g', "GROUP", &Settings::group},
                              {'k', "KEEPALL", &Settings::keepAll},
                              {'n', "NODRAWZERO", &Settings::noDrawZero},
                              {'p', "PROTECTSUMMARY", &Settings::protectSummary}};
    for (const Letter& l : letters) {
        for (const Form& f : table) {
            std::vector<std::string> args;
            std::string shown;
            for (std::string form : f.forms) {
                form[0] = l.letter;
                args.push_back("-" + form);
                shown += " -" + form;
            }
            const std::string keyword =
                *f.keywordValue ? std::string(l.keyword) + " " + f.keywordValue + "\n" : "";
            SCOPED_TRACE(shown + " with '" + keyword + "'");
            EXPECT_EQ(settle(args, keyword).*l.setting, f.expected);
        }
    }
}

TEST(RavlogOptions, MiddLineAndShowValue) {
    struct MiddCase {
        const char* arg;
        MiddLineMode mode;
    };
    for (const MiddCase& c :
         {MiddCase{"-m+", MiddLineMode::yes}, MiddCase{"-m-", MiddLineMode::no},
          MiddCase{"-mg", MiddLineMode::group}, MiddCase{"-mG", MiddLineMode::group}}) {
        const Parsed p = parse({c.arg});
        ASSERT_FALSE(p.stop) << c.arg;
        EXPECT_EQ(p.config.settings.middLine, c.mode) << c.arg;
        EXPECT_TRUE(p.options.fixed.has(Keyword::middLine)) << c.arg;
    }
    struct ShowCase {
        const char* arg;
        ShowValueMode mode;
    };
    for (const ShowCase& c :
         {ShowCase{"-ss", ShowValueMode::ses}, ShowCase{"-sT", ShowValueMode::time},
          ShowCase{"-st", ShowValueMode::time}, ShowCase{"-sC", ShowValueMode::cps}}) {
        const Parsed p = parse({c.arg});
        ASSERT_FALSE(p.stop) << c.arg;
        EXPECT_EQ(p.config.settings.showValue, c.mode) << c.arg;
        EXPECT_TRUE(p.options.fixed.has(Keyword::showValue)) << c.arg;
    }
    EXPECT_EQ(settle({"-m-"}, "MIDDLINE Yes\n").middLine, MiddLineMode::no);
    EXPECT_EQ(settle({"-ss"}, "SHOWVALUE CPS\n").showValue, ShowValueMode::ses);
}

}  // namespace
}  // namespace rv
