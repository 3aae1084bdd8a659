// pondrel's command line read by parseOptions against a fixed run clock,
// and the record filter's period test. The program-level forms (messages
// on standard error, exit status) are in tests/program/pondrel_reports_test.cpp.
#include "pondrel/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "captured_stream.h"
#include "core/dates.h"
#include "pondrel/pondrel_run.h"
#include "time_zone_scope.h"

namespace rv::pondrel {
namespace {

using testing::CapturedStream;
using testing::TimeZoneScope;

constexpr std::int64_t day = 86400;

// Local midnight in the fixed zone of the fixture (UTC+3, no daylight saving).
std::time_t midnight(int year, unsigned month, unsigned mday) {
    return static_cast<std::time_t>(daysFromCivil(year, month, mday) * day - 3 * 3600);
}

struct Parsed {
    Stop stop;
    Options options;
    Configuration config;
    std::string warnings;
};

// Runs are made on a chosen local date at 10:00 in a zone three hours east
// of UTC, so that a date that slips to UTC shows as a wrong day.
class PondrelOptions : public ::testing::Test {
  protected:
    TimeZoneScope zone{"MSK-3"};

    Parsed parseOn(int year, unsigned month, unsigned mday, std::vector<std::string> args) {
        const RunClock clock = makeRunClock(midnight(year, month, mday) + 10 * 3600);
        Parsed parsed;
        CapturedStream warnings;
        std::vector<std::string_view> views(args.begin(), args.end());
        parsed.stop = parseOptions(views, parsed.config, parsed.options, clock, warnings.get());
        parsed.warnings = warnings.text();
        return parsed;
    }
    Parsed parse(std::vector<std::string> args) { return parseOn(2025, 1, 1, std::move(args)); }

    // The message of a run that must end, with the status checked.
    std::string stopOf(std::vector<std::string> args, int status = exitFailure) {
        const Parsed parsed = parse(std::move(args));
        if (!parsed.stop) return "no stop";
        EXPECT_EQ(parsed.stop->status, status);
        return parsed.stop->message;
    }
};

TEST_F(PondrelOptions, DefaultsLeaveThePeriodOpen) {
    const Parsed p = parse({});
    ASSERT_FALSE(p.stop);
    EXPECT_EQ(p.options.begin, 0);
    EXPECT_EQ(p.options.end, 2147483647);
    EXPECT_FALSE(p.options.daysGiven);
    EXPECT_FALSE(p.options.ascii);
    EXPECT_EQ(p.options.outputPath, "");
    EXPECT_EQ(p.options.group, SwitchOption::notGiven);
    EXPECT_EQ(p.options.keepAll, SwitchOption::notGiven);
    EXPECT_EQ(p.config.settings.configPath, "ravlog.ctl");
}

// The run is on 1 January 2025, so every step back crosses the year end.
TEST_F(PondrelOptions, NegativeStepsCrossTheYearEnd) {
    struct Case {
        const char* arg;
        std::time_t expected;
    };
    const Case cases[] = {
        {"-b", midnight(2025, 1, 1)},
        {"-b-1", midnight(2024, 12, 31)},
        {"-e-1", midnight(2025, 1, 1) - 1},
        {"-b1.-1", midnight(2024, 12, 1)},
        {"-b0.-1", midnight(2024, 12, 1)},
        {"-b0.-13", midnight(2023, 12, 1)},
        {"-b0.0.-1", midnight(2024, 1, 1)},
        {"-b-366", midnight(2024, 1, 1)},      // 2024 has 366 days
        {"-b-31.-1", midnight(2024, 10, 31)},  // back to 1 December, then 31 days
        {"-b-1.0.-1", midnight(2023, 12, 31)},
        {"-e-60", midnight(2024, 11, 2) + day - 1},
    };
    for (const Case& c : cases) {
        const Parsed p = parse({c.arg});
        ASSERT_FALSE(p.stop) << c.arg << ": " << p.stop->message;
        const std::time_t got = c.arg[1] == 'b' ? p.options.begin : p.options.end;
        EXPECT_EQ(got, c.expected) << c.arg;
        EXPECT_EQ(p.warnings, "") << c.arg;
    }
}

TEST_F(PondrelOptions, DayStepsBackFromMarchPassThe29thOfFebruaryOnlyInLeapYears) {
    EXPECT_EQ(parseOn(2024, 3, 1, {"-b-1"}).options.begin, midnight(2024, 2, 29));
    EXPECT_EQ(parseOn(2023, 3, 1, {"-b-1"}).options.begin, midnight(2023, 2, 28));
    EXPECT_EQ(parseOn(2000, 3, 1, {"-b-1"}).options.begin, midnight(2000, 2, 29));
    // The same day of last month, kept at the 31st beyond February's end,
    // rolls over into March.
    EXPECT_EQ(parseOn(2023, 3, 31, {"-b0.-1"}).options.begin, midnight(2023, 3, 3));
}

TEST_F(PondrelOptions, TwentyNinthOfFebruary) {
    struct Case {
        int runYear;
        const char* arg;
        std::time_t expected;
        const char* warning;
    };
    const Case cases[] = {
        {2025, "-b29.2.2024", midnight(2024, 2, 29), ""},
        {2025, "-b29.2.2000", midnight(2000, 2, 29), ""},
        {2024, "-b29.2", midnight(2024, 2, 29), ""},
        {2025, "-b29.2.2023", midnight(2023, 2, 28),
         "Begin date adjusted to Tue Feb 28 00:00:00 2023\n"},
        {2023, "-b29.2", midnight(2023, 2, 28),
         "Begin date adjusted to Tue Feb 28 00:00:00 2023\n"},
        {2025, "-e29.2.2023", midnight(2023, 2, 28) + day - 1,
         "End date adjusted to Tue Feb 28 23:59:59 2023\n"},
        {2025, "-e31.2.2023", midnight(2023, 2, 28) + day - 1,
         "End date adjusted to Tue Feb 28 23:59:59 2023\n"},
        {2025, "-b29.2.1900", midnight(1900, 2, 28),
         "Begin date adjusted to Wed Feb 28 00:00:00 1900\n"},
        {2025, "-b31.4.2024", midnight(2024, 4, 30),
         "Begin date adjusted to Tue Apr 30 00:00:00 2024\n"},
        {2025, "-b31.2.12345", midnight(12345, 2, 28),
         "Begin date adjusted to Wed Feb 28 00:00:00 12345\n"},
    };
    for (const Case& c : cases) {
        const Parsed p = parseOn(c.runYear, 6, 15, {c.arg});
        ASSERT_FALSE(p.stop) << c.arg;
        EXPECT_EQ(c.arg[1] == 'b' ? p.options.begin : p.options.end, c.expected) << c.arg;
        EXPECT_EQ(p.warnings, c.warning) << c.arg;
    }
}

TEST_F(PondrelOptions, RefusedYearsAndMonthsNameTheBoundAndTheValue) {
    EXPECT_EQ(stopOf({"-b1.1.99"}), "Invalid begin year: 1.1.99\n");
    EXPECT_EQ(stopOf({"-e31.12.1899"}), "Invalid end year: 31.12.1899\n");
    EXPECT_EQ(stopOf({"-b1.13"}), "Invalid begin month: 1.13\n");
    EXPECT_EQ(stopOf({"-e0.13.2024"}), "Invalid end month: 0.13.2024\n");
    // The year is read first: a bad year wins over a bad month.
    EXPECT_EQ(stopOf({"-b1.13.99"}), "Invalid begin year: 1.13.99\n");
    // Options before the bad one have been taken; those after it are not read.
    EXPECT_EQ(stopOf({"-u-", "-b1.1.1899", "-x"}), "Invalid begin year: 1.1.1899\n");
    EXPECT_FALSE(parse({"-b1.1.1900"}).stop);
    EXPECT_FALSE(parse({"-b1.12"}).stop);
}

TEST_F(PondrelOptions, DaysAreASigned16BitCount) {
    Parsed p = parse({"-d7"});
    ASSERT_FALSE(p.stop);
    EXPECT_TRUE(p.options.daysGiven);
    EXPECT_EQ(p.options.days, 7);
    EXPECT_EQ(p.options.daysArgument, "-d7");
    // The period itself is settled after the configuration is read.
    EXPECT_EQ(p.options.end, 2147483647);

    EXPECT_EQ(parse({"-d0"}).options.days, 0);
    EXPECT_EQ(parse({"-d32767"}).options.days, 32767);
    // Decimal digits alone: a value read only in part would set another period.
    EXPECT_EQ(stopOf({"-d"}), "Invalid days period: \n");
    EXPECT_EQ(stopOf({"-d12days"}), "Invalid days period: 12days\n");

    EXPECT_EQ(stopOf({"-d-2"}), "Invalid days period: -2\n");
    EXPECT_EQ(stopOf({"/d-2"}), "Invalid days period: -2\n");
    EXPECT_EQ(stopOf({"-d32768"}), "Invalid days period: 32768\n");
}

TEST_F(PondrelOptions, DrawingSetSwitch) {
    EXPECT_FALSE(parse({"-u"}).options.ascii);
    EXPECT_FALSE(parse({"-u+"}).options.ascii);
    EXPECT_TRUE(parse({"-u-"}).options.ascii);
    EXPECT_TRUE(parse({"/u-"}).options.ascii);
    // -u+ and -u leave an earlier -u- in force.
    EXPECT_TRUE(parse({"-u-", "-u+"}).options.ascii);
    EXPECT_TRUE(parse({"-u-", "-u"}).options.ascii);
    for (const char* bad : {"-ux", "-u+-", "-u--", "-u++", "-u "})
        EXPECT_EQ(stopOf({bad}), std::string("Unknown option or invalid value: ") + bad +
                                     "\nUse -? or --help to help\n");
}

TEST_F(PondrelOptions, GroupAndKeepAllSwitches) {
    EXPECT_EQ(parse({"-g+"}).options.group, SwitchOption::on);
    EXPECT_EQ(parse({"-g-"}).options.group, SwitchOption::off);
    EXPECT_EQ(parse({"-g"}).options.group, SwitchOption::invert);
    EXPECT_EQ(parse({"-g-", "-g"}).options.group, SwitchOption::invert);  // the last one counts
    EXPECT_EQ(parse({"-k+"}).options.keepAll, SwitchOption::on);
    EXPECT_EQ(parse({"-k-"}).options.keepAll, SwitchOption::off);
    EXPECT_EQ(parse({"/k"}).options.keepAll, SwitchOption::invert);
    EXPECT_EQ(parse({"-k+"}).options.group, SwitchOption::notGiven);
    for (const char* bad : {"-gx", "-g+-", "-kyes", "-k0"})
        EXPECT_EQ(stopOf({bad}), std::string("Unknown option or invalid value: ") + bad +
                                     "\nUse -? or --help to help\n");
}

TEST_F(PondrelOptions, OutputNameEndsAtTheFirstNonNameCharacter) {
    struct Case {
        const char* arg;
        const char* path;
        bool append;
    };
    const Case cases[] = {
        {"-oreport.txt", "report.txt", false},
        {"-o+report.txt", "report.txt", true},
        {"-oout/%Y%M%D.txt", "out/%Y%M%D.txt", false},  // macros wait for the opening
        {"-orep ort.txt", "rep", false},
        {"-orep\tort.txt", "rep", false},
        {"-orep;ort.txt", "rep", false},
        {"-orep,ort.txt", "rep", false},
        {"-orep\xC3\xA9.txt", "rep", false},
        {"-o", "", false},
        {"-o+", "", true},
    };
    for (const Case& c : cases) {
        const Parsed p = parse({c.arg});
        ASSERT_FALSE(p.stop) << c.arg;
        EXPECT_EQ(p.options.outputPath, c.path) << c.arg;
        EXPECT_EQ(p.options.outputAppend, c.append) << c.arg;
    }
    // A blank between the letter and the name leaves the name an argument
    // of its own, which is no option.
    EXPECT_EQ(stopOf({"-o", "report.txt"}),
              "Unknown option or invalid value: report.txt\nUse -? or --help to help\n");
}

TEST_F(PondrelOptions, ConfigurationAndHistories) {
    Parsed p = parse({"-cother.ctl", "-hfirst.his,2,1", "/hsecond.his"});
    ASSERT_FALSE(p.stop);
    EXPECT_EQ(p.config.settings.configPath, "other.ctl");
    ASSERT_EQ(p.config.lines.size(), 2u);
    EXPECT_EQ(p.config.lines[0].source.path, "first.his");
    EXPECT_EQ(p.config.lines[0].source.n, 2);
    EXPECT_EQ(p.config.lines[0].source.m, 1);
    EXPECT_EQ(p.config.lines[1].source.path, "second.his");
}

TEST_F(PondrelOptions, HelpEndsWithTheUsageAndStatusZero) {
    for (const char* help : {"-?", "/?", "--help", "--HELP", "--HeLp", "-h"}) {
        const Parsed p = parse({"-u-", help, "-x"});
        ASSERT_TRUE(p.stop) << help;
        EXPECT_EQ(p.stop->status, 0) << help;
        EXPECT_EQ(p.stop->message, usageText) << help;
    }
}

TEST_F(PondrelOptions, UnknownArguments) {
    for (const char* bad :
         {"-x", "-B1.1.2024", "--", "--helpme", "--hel", "-", "/", "x", "report.txt", "", "+u-"}) {
        EXPECT_EQ(stopOf({bad}), std::string("Unknown option or invalid value: ") + bad +
                                     "\nUse -? or --help to help\n")
            << bad;
    }
}

// ---- the record filter's period test -----------------------------------------

class PondrelOptionsPeriod : public ::testing::Test {
  protected:
    pondrel::Run run{0};

    // The times that pass, in the order given.
    std::vector<std::time_t> passing(std::vector<std::time_t> times) {
        std::vector<std::time_t> passed;
        for (std::time_t t : times)
            if (passesPeriod(run, t, t)) passed.push_back(t);
        return passed;
    }
};

TEST_F(PondrelOptionsPeriod, BeginAndEndAreInclusive) {
    run.options.begin = 1000;
    run.options.end = 2000;
    EXPECT_EQ(passing({999, 1000, 1500, 2000, 2001}), (std::vector<std::time_t>{1000, 1500, 2000}));
    EXPECT_EQ(run.earliest, 1000);
    EXPECT_EQ(run.latest, 2000);
}

TEST_F(PondrelOptionsPeriod, EarliestIsTakenBeforeTheEndTest) {
    run.options.begin = 1000;
    run.options.end = 2000;
    EXPECT_EQ(passing({3000}), (std::vector<std::time_t>{}));
    // Nothing passed, so the run reports no information for the period.
    EXPECT_EQ(run.earliest, 3000);
    EXPECT_EQ(run.latest, 0);
    EXPECT_LT(run.latest, run.earliest);
    // A time before the begin touches neither.
    EXPECT_EQ(passing({500}), (std::vector<std::time_t>{}));
    EXPECT_EQ(run.earliest, 3000);
}

TEST_F(PondrelOptionsPeriod, NoEndLimit) {
    run.options.end = 0;  // -d0
    EXPECT_EQ(passing({5, 2147483647, 1}), (std::vector<std::time_t>{5, 2147483647, 1}));
    EXPECT_EQ(run.earliest, 1);
    EXPECT_EQ(run.latest, 2147483647);
}

TEST_F(PondrelOptionsPeriod, DaysCountFromTheBegin) {
    run.options.begin = 100000;
    run.options.end = -2 * day;
    EXPECT_EQ(passing({99999, 100000, 100000 + 2 * day, 100001 + 2 * day}),
              (std::vector<std::time_t>{100000, 100000 + 2 * day}));
}

// Without -b the earliest time met so far opens the period, so a later
// but earlier record moves the start back for the records after it.
TEST_F(PondrelOptionsPeriod, DaysCountFromTheEarliestRecordSoFar) {
    run.options.end = -1 * day;
    const std::time_t t0 = 10 * day;
    EXPECT_EQ(passing({t0, t0 + day, t0 + day + 1, t0 - 3600, t0 + day - 3600, t0 + day - 3599}),
              (std::vector<std::time_t>{t0, t0 + day, t0 - 3600, t0 + day - 3600}));
    EXPECT_EQ(run.earliest, t0 - 3600);
    EXPECT_EQ(run.latest, t0 + day);
}

}  // namespace
}  // namespace rv::pondrel
