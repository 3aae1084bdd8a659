#include "core/dates.h"

#include <gtest/gtest.h>

#include <string>

#include "captured_stream.h"
#include "core/time_text.h"
#include "time_zone_scope.h"

namespace rv {
namespace {

using testing::CapturedStream;
using testing::centralEurope;
using testing::TimeZoneScope;

constexpr std::int64_t hour = 3600;
constexpr std::int64_t day = 86400;

std::int64_t utcMidnight(int year, unsigned month, unsigned mday) {
    return daysFromCivil(year, month, mday) * day;
}

// Dates are read relative to a run on Tuesday 5 March 2024, 10:15 CET, in
// Central European time. A winter run reads every date as CET (UTC+1).
class DatesValue : public ::testing::Test {
  protected:
    TimeZoneScope zone{centralEurope};
    RunClock clock = makeRunClock(utcMidnight(2024, 3, 5) + 9 * hour + 15 * 60);
    CapturedStream warnings;

    static std::time_t cet(int year, unsigned month, unsigned mday) {
        return utcMidnight(year, month, mday) - hour;
    }
    RunClock runOn(int year, unsigned month, unsigned mday) {
        return makeRunClock(utcMidnight(year, month, mday) + 11 * hour);
    }
    std::time_t date(std::string_view text) { return date(text, clock); }
    std::time_t date(std::string_view text, const RunClock& at) {
        const DateResult result = parseDate(text, at, warnings.get());
        EXPECT_FALSE(result.stop) << text << ": " << result.stop->message;
        return result.time;
    }
    std::string stopMessage(std::string_view text) {
        const DateResult result = parseDate(text, clock, warnings.get());
        if (!result.stop) return "no stop";
        EXPECT_EQ(result.stop->status, exitFailure);
        return result.stop->message;
    }
};

TEST_F(DatesValue, RelativeForms) {
    EXPECT_EQ(date(""), cet(2024, 3, 5));
    EXPECT_EQ(date(""), clock.midnight);
    EXPECT_EQ(date("0"), cet(2024, 3, 5));
    EXPECT_EQ(date("-1"), cet(2024, 3, 4));
    EXPECT_EQ(date("-7"), cet(2024, 2, 27));  // through 29 February
    EXPECT_EQ(date("1"), cet(2024, 3, 1));
    EXPECT_EQ(date("0.-1"), cet(2024, 2, 5));
    EXPECT_EQ(date("0.0.-1"), cet(2023, 3, 5));
    EXPECT_EQ(date(".-1"), cet(2024, 2, 5));
    EXPECT_EQ(date("..-1"), cet(2023, 3, 5));
    EXPECT_EQ(date("15.3"), cet(2024, 3, 15));
    EXPECT_EQ(date("15.3.2024"), cet(2024, 3, 15));
    EXPECT_EQ(date("1.-3"), cet(2023, 12, 1));
    EXPECT_EQ(date("0.-14"), cet(2023, 1, 5));
    EXPECT_EQ(date("-1.-1.-1"), cet(2023, 2, 4));
    EXPECT_EQ(date(" 7 . 6 . 2022"), cet(2022, 6, 7));  // atoi skips leading blanks
    EXPECT_EQ(warnings.text(), "");
}

TEST_F(DatesValue, DayStepsAcrossMonthsAndLeapDays) {
    EXPECT_EQ(date("-5"), cet(2024, 2, 29));
    EXPECT_EQ(date("-6"), cet(2024, 2, 28));
    EXPECT_EQ(date("-5.0.2023"), cet(2023, 2, 28));
    EXPECT_EQ(date("-65"), cet(2023, 12, 31));
    EXPECT_EQ(date("-1", runOn(2025, 1, 1)), cet(2024, 12, 31));
    EXPECT_EQ(date("-36500"), cet(2024, 3, 5) - 36500 * day);
    // Far back from a year set high: whole 400-year cycles land on the same date.
    EXPECT_EQ(date("-146097.1.2500"), cet(2100, 1, 5));
}

// The day steps written out one at a time, as the rule reads: a day above
// 1 is decreased; day 1 becomes the last day of the month before, and
// January 1900 is followed by December 1900.
void stepBackOneDay(int& year, int& month, int& mday) {
    if (mday > 1) {
        --mday;
        return;
    }
    if (month > 1) {
        --month;
    } else {
        month = 12;
        if (year > 1900) --year;
    }
    mday = daysInMonth(month, year);
}

TEST_F(DatesValue, FarDayStepsMatchSingleSteps) {
    for (int year : {1900, 1901, 2024, 2301, 2302, 2750}) {
        for (int month : {1, 2, 3, 12}) {
            for (int steps : {1, 28, 59, 365, 366, 146096, 146097, 146098, 300001}) {
                int y = year;
                int m = month;
                int d = 5;  // the day of the run, kept
                for (int i = 0; i < steps; ++i)
                    stepBackOneDay(y, m, d);
                const std::string text = "-" + std::to_string(steps) + "." + std::to_string(month) +
                                         "." + std::to_string(year);
                EXPECT_EQ(date(text), cet(y, static_cast<unsigned>(m), static_cast<unsigned>(d)))
                    << text;
            }
        }
    }
}

TEST_F(DatesValue, YearsNeverStepBelow1900) {
    EXPECT_EQ(date("0.0.-124"), cet(1900, 3, 5));
    EXPECT_EQ(date("0.0.-200"), cet(1900, 3, 5));
    EXPECT_EQ(date("0.0.1900"), cet(1900, 3, 5));
    // January 1900 steps back to December 1900, and the months go round.
    EXPECT_EQ(date("0.-1.1900"), cet(1900, 2, 5));
    EXPECT_EQ(date("0.-1", runOn(1900, 1, 5)), cet(1900, 12, 5));
    EXPECT_EQ(date("0.-13", runOn(1900, 1, 5)), cet(1900, 12, 5));
    // 1490 months from March 2024 reach January 1900; of the 1999998510
    // further steps, 166666542 rounds of 12 leave 6 more: July 1900.
    EXPECT_EQ(date("0.-2000000000"), cet(1900, 7, 5));
    // 1 January 1900 is 45354 days before 5 March 2024; one more step goes
    // to 31 December 1900, and 1999954645 steps remain, 290 after whole
    // rounds of 365.
    EXPECT_EQ(date("-2000000000"), cet(1900, 12, 31) - 290 * day);
}

TEST_F(DatesValue, KeptDayRollsOverIntoTheNextMonth) {
    const RunClock jan31 = runOn(2024, 1, 31);
    EXPECT_EQ(date("0.2", jan31), cet(2024, 3, 2));    // 31 February 2024
    EXPECT_EQ(date("0.-2", jan31), cet(2023, 12, 1));  // 31 November 2023
    // The negative day counts down from the kept 31: 30 February is 1 March.
    EXPECT_EQ(date("-1.2", jan31), cet(2024, 3, 1));
    EXPECT_EQ(date("0.0.-1", runOn(2024, 2, 29)), cet(2023, 3, 1));
    EXPECT_EQ(warnings.text(), "");
}

TEST_F(DatesValue, DayBeyondTheMonthIsAdjustedWithAWarning) {
    EXPECT_EQ(date("31.4"), cet(2024, 4, 30));
    EXPECT_EQ(warnings.text(), "Date adjusted to Tue Apr 30 00:00:00 2024\n");
}

TEST_F(DatesValue, TwentyNinthOfFebruary) {
    EXPECT_EQ(date("29.2.2000"), cet(2000, 2, 29));
    EXPECT_EQ(date("29.2.2024"), cet(2024, 2, 29));
    EXPECT_EQ(warnings.text(), "");
    EXPECT_EQ(date("29.2.2023"), cet(2023, 2, 28));
    EXPECT_EQ(date("29.2.1900"), cet(1900, 2, 28));
    EXPECT_EQ(warnings.text(),
              "Date adjusted to Tue Feb 28 00:00:00 2023\n"
              "Date adjusted to Wed Feb 28 00:00:00 1900\n");
}

TEST_F(DatesValue, YearAndMonthOutOfRangeStop) {
    EXPECT_EQ(stopMessage("15.3.24"), "Invalid Date (year): 15.3.24\n");
    EXPECT_EQ(stopMessage("1.1.1899"), "Invalid Date (year): 1.1.1899\n");
    EXPECT_EQ(stopMessage("1.13"), "Invalid Date (month): 1.13\n");
    EXPECT_EQ(stopMessage("1.13.24"), "Invalid Date (year): 1.13.24\n");  // the year comes first
    EXPECT_EQ(stopMessage("40.13.2024"), "Invalid Date (month): 40.13.2024\n");
    EXPECT_EQ(warnings.text(), "");
}

// Only day[.month[.year]] of signed decimal numbers is a date: anything
// else stops with the message of the part it stands in, and every form of
// that shape, empty parts included, is still read.
TEST_F(DatesValue, OnlyTheDateFormIsRead) {
    struct Refused {
        const char* text;
        const char* message;
    };
    const Refused refused[] = {
        {"3-11-2025", "Invalid date: 3-11-2025\n"},
        {"yesterday", "Invalid date: yesterday\n"},
        {"5x", "Invalid date: 5x\n"},
        {"-", "Invalid date: -\n"},
        {"3 11", "Invalid date: 3 11\n"},
        {"1/3", "Invalid date: 1/3\n"},
        {"x.13", "Invalid date: x.13\n"},  // the day is read first
        {"1.March", "Invalid Date (month): 1.March\n"},
        {"1.3x.2024", "Invalid Date (month): 1.3x.2024\n"},
        {"1.3.2024x", "Invalid Date (year): 1.3.2024x\n"},
        {"1.3.2024.5", "Invalid Date (year): 1.3.2024.5\n"},
        {"1.3.--1", "Invalid Date (year): 1.3.--1\n"},
    };
    for (const Refused& c : refused)
        EXPECT_EQ(stopMessage(c.text), c.message) << c.text;
    struct Read {
        const char* text;
        std::time_t expected;
    };
    const Read read[] = {
        {".", cet(2024, 3, 5)},           {"5.", cet(2024, 3, 5)},
        {".3", cet(2024, 3, 5)},          {"15..2024", cet(2024, 3, 15)},
        {"..2023", cet(2023, 3, 5)},      {"+3", cet(2024, 3, 3)},
        {"-0", cet(2024, 3, 5)},          {"1.-1.-1", cet(2023, 2, 1)},
        {"007.03.2024", cet(2024, 3, 7)},
    };
    for (const Read& c : read)
        EXPECT_EQ(date(c.text), c.expected) << c.text;
    EXPECT_EQ(warnings.text(), "");
}

TEST_F(DatesValue, ConvertedWithTheRunsDaylightSavingFlag) {
    // A winter run reads a summer date as CET, a summer run a winter date as CEST.
    EXPECT_EQ(date("15.7"), cet(2024, 7, 15));
    const RunClock summer = runOn(2024, 7, 15);
    ASSERT_EQ(summer.isDst, 1);
    EXPECT_EQ(date("1.1", summer), utcMidnight(2024, 1, 1) - 2 * hour);
    EXPECT_EQ(date("", summer), utcMidnight(2024, 7, 15) - 2 * hour);
}

// The archive keeps a day as its text and compares the texts in SQL
// (ORDER BY day, day >= ?): a text must read back as its day, and the
// texts must sort as the days do.
TEST(DatesDayNumbers, TextsReadBackAndSortAsTheDays) {
    std::string before;
    for (std::int64_t d = 0; d < daysFromCivil(2101, 1, 1); ++d) {
        const std::string text = dayText(d);
        ASSERT_EQ(dayNumber(text), d) << text;
        ASSERT_LT(before, text);
        before = text;
    }
    EXPECT_EQ(dayText(daysFromCivil(2024, 2, 29)), "2024-02-29");
    for (const char* notADate :
         {"2024-02-30", "2023-02-29", "2100-02-29", "2024-04-31", "2024-13-01", "2024-00-10",
          "2024-01-00", "2024-1-01", "2024/01/01", "2024-01-01 ", "", "20x4-01-01"})
        EXPECT_EQ(dayNumber(notADate), noDay) << notADate;
}

TEST(DatesDayNumbers, ATimeIsOnTheDayThatHoldsIt) {
    for (std::int64_t t = -3 * day; t <= 3 * day; t += hour)
        for (const std::int64_t s : {t - 1, t, t + 1}) {
            const std::int64_t d = dayOfTime(s);
            EXPECT_TRUE(d * day <= s && s < (d + 1) * day) << s;
        }
}

TEST(DatesStepBackMonth, JanuaryGoesToDecemberButNotBelow1900) {
    std::tm date{};
    date.tm_year = 124;
    date.tm_mon = 0;
    stepBackMonth(date);
    EXPECT_EQ(date.tm_year, 123);
    EXPECT_EQ(date.tm_mon, 11);
    stepBackMonth(date);
    EXPECT_EQ(date.tm_mon, 10);
    date.tm_year = 0;
    date.tm_mon = 0;
    stepBackMonth(date);
    EXPECT_EQ(date.tm_year, 0);
    EXPECT_EQ(date.tm_mon, 11);
}

TEST(DatesDaysInMonth, GregorianLeapYears) {
    EXPECT_EQ(daysInMonth(1, 2023), 31);
    EXPECT_EQ(daysInMonth(4, 2023), 30);
    EXPECT_EQ(daysInMonth(6, 2023), 30);
    EXPECT_EQ(daysInMonth(9, 2023), 30);
    EXPECT_EQ(daysInMonth(11, 2023), 30);
    EXPECT_EQ(daysInMonth(12, 2023), 31);
    EXPECT_EQ(daysInMonth(2, 2023), 28);
    EXPECT_EQ(daysInMonth(2, 2024), 29);
    EXPECT_EQ(daysInMonth(2, 1900), 28);
    EXPECT_EQ(daysInMonth(2, 2000), 29);
    EXPECT_EQ(daysInMonth(2, 2100), 28);
}

// ---- pondrel's period bounds ------------------------------------------------

class DatesPeriodBound : public DatesValue {
  protected:
    DateResult bound(std::string_view text, bool isEnd) {
        return parsePeriodBound(text, isEnd, clock, warnings.get());
    }
};

TEST_F(DatesPeriodBound, BeginAtMidnightEndAtLastSecond) {
    EXPECT_EQ(bound("", false).time, cet(2024, 3, 5));
    EXPECT_EQ(bound("", true).time, cet(2024, 3, 5) + day - 1);
    EXPECT_EQ(bound("-1", false).time, cet(2024, 3, 4));
    EXPECT_EQ(bound("1", false).time, cet(2024, 3, 1));
    EXPECT_EQ(bound("1.-1", false).time, cet(2024, 2, 1));
    EXPECT_EQ(bound("5.1.2024", true).time, cet(2024, 1, 5) + day - 1);
    EXPECT_EQ(bound("29.2.2024", false).time, cet(2024, 2, 29));
    EXPECT_EQ(bound("29.2.2000", false).time, cet(2000, 2, 29));
    EXPECT_EQ(warnings.text(), "");
}

TEST_F(DatesPeriodBound, AdjustedDayNamesTheBound) {
    EXPECT_EQ(bound("29.2.2023", false).time, cet(2023, 2, 28));
    EXPECT_EQ(bound("31.2.2023", true).time, cet(2023, 2, 28) + day - 1);
    EXPECT_EQ(bound("29.2.1900", false).time, cet(1900, 2, 28));
    EXPECT_EQ(warnings.text(),
              "Begin date adjusted to Tue Feb 28 00:00:00 2023\n"
              "End date adjusted to Tue Feb 28 23:59:59 2023\n"
              "Begin date adjusted to Wed Feb 28 00:00:00 1900\n");
}

TEST_F(DatesPeriodBound, InvalidYearAndMonthNameTheBound) {
    struct Case {
        const char* text;
        bool isEnd;
        const char* message;
    };
    const Case cases[] = {
        {"1.1.99", false, "Invalid begin year: 1.1.99\n"},
        {"1.1.99", true, "Invalid end year: 1.1.99\n"},
        {"1.13", false, "Invalid begin month: 1.13\n"},
        {"1.13.2024", true, "Invalid end month: 1.13.2024\n"},
        {"1.x", false, "Invalid begin month: 1.x\n"},
        {"1.1.2024-", true, "Invalid end year: 1.1.2024-\n"},
        {"3-11-2025", false, "Invalid date: 3-11-2025\n"},
        {"today", true, "Invalid date: today\n"},
    };
    for (const Case& c : cases) {
        const DateResult result = bound(c.text, c.isEnd);
        ASSERT_TRUE(result.stop) << c.text;
        EXPECT_EQ(result.stop->message, c.message);
        EXPECT_EQ(result.stop->status, exitFailure);
    }
}

// ---- Time windows -----------------------------------------------------------

struct WindowFields {
    unsigned startHour, startMinute, startSecond;
    unsigned endHour, endMinute, endSecond;
    unsigned bound;
};

WindowFields fieldsOf(const TimeWindow& w) {
    return {w.startHour, w.startMinute, w.startSecond, w.endHour,
            w.endMinute, w.endSecond,   w.endHourBound};
}

bool operator==(const WindowFields& a, const WindowFields& b) {
    return a.startHour == b.startHour && a.startMinute == b.startMinute &&
           a.startSecond == b.startSecond && a.endHour == b.endHour && a.endMinute == b.endMinute &&
           a.endSecond == b.endSecond && a.bound == b.bound;
}

std::ostream& operator<<(std::ostream& out, const WindowFields& f) {
    return out << f.startHour << ':' << f.startMinute << ':' << f.startSecond << '-' << f.endHour
               << ':' << f.endMinute << ':' << f.endSecond << " bound " << f.bound;
}

TEST(DatesTimeWindow, ValidForms) {
    struct Case {
        const char* text;
        WindowFields fields;
    };
    const Case cases[] = {
        {"8-17", {8, 0, 0, 17, 0, 0, 17}},
        {"8:30-17:30", {8, 30, 0, 17, 30, 0, 18}},
        {"22-6", {22, 0, 0, 6, 0, 0, 6}},
        {"0-24", {0, 0, 0, 23, 59, 59, 24}},
        {"10:00-10:00", {10, 0, 0, 10, 0, 0, 10}},
        {"8:45-8:30", {8, 45, 0, 8, 30, 0, 9}},
        {"8-17 ;comment", {8, 0, 0, 17, 0, 0, 17}},
        {"8-17,rest", {8, 0, 0, 17, 0, 0, 17}},
        {" 8 : 30 : 15 - 17 : 45 : 05 ", {8, 30, 15, 17, 45, 5, 18}},
        {"\t8\t-\t17\t", {8, 0, 0, 17, 0, 0, 17}},
        {"01:02:03-04:05:06", {1, 2, 3, 4, 5, 6, 5}},
        {"8-17:00:00", {8, 0, 0, 17, 0, 0, 17}},
        {"8-23:59:59", {8, 0, 0, 23, 59, 59, 24}},
        {"8-0:00:01", {8, 0, 0, 0, 0, 1, 1}},
        {"8:-17", {8, 0, 0, 17, 0, 0, 17}},  // an empty number is 0
        {"8-17:", {8, 0, 0, 17, 0, 0, 17}},
        {"-", {0, 0, 0, 23, 59, 59, 24}},
        {"23:59:59-24", {23, 59, 59, 23, 59, 59, 24}},
        // An end of 0 on the whole hour is the end of the day, as 24.
        {"22-0", {22, 0, 0, 23, 59, 59, 24}},
        {"23-0:00:00", {23, 0, 0, 23, 59, 59, 24}},
    };
    for (const Case& c : cases) {
        TimeWindow window;
        ASSERT_TRUE(parseTimeWindow(c.text, window)) << c.text;
        EXPECT_EQ(fieldsOf(window), c.fields) << c.text;
    }
}

TEST(DatesTimeWindow, InvalidFormsLeaveTheWindowAlone) {
    const char* const texts[] = {
        "24-1",          // start hour above 23
        "8:60-9",        // minute above 59
        "8:00:60-9",     // second above 59
        "8-9:60",        //
        "8-9:00:60",     //
        "8-17:30:00x",   // a value character after the window
        "8-17x",         //
        "8-17 x",        //
        "8-17-",         //
        "8",             // no '-'
        "8:30",          //
        "8;-17",         //
        "x8-17",         //
        "",              //
        "8-24:30",       // past the end of the day
        "8-25",          // an end hour above 24 is refused
        "8-4294967297",  // would wrap to 1 in 32 bits
        "4294967304-9",  // would wrap to 8
        "99999999999999999999-9",
    };
    for (const char* text : texts) {
        TimeWindow window;
        window.startHour = 3;
        const WindowFields before = fieldsOf(window);
        EXPECT_FALSE(parseTimeWindow(text, window)) << '"' << text << '"';
        EXPECT_EQ(fieldsOf(window), before) << '"' << text << '"';
    }
}

TEST(DatesReportPeriod, DefaultWindowIsTheWholeReportDay) {
    const std::time_t reportDate = 1709593200;
    const ReportPeriod period = computePeriod(reportDate, TimeWindow{});
    EXPECT_EQ(period.windowStart, reportDate);
    EXPECT_EQ(period.windowEnd, reportDate + day - 1);
    EXPECT_EQ(period.windowHours, 24);
}

TEST(DatesReportPeriod, DerivedFromParsedWindows) {
    struct Case {
        const char* text;
        std::int64_t start;  // seconds from the report date
        std::int64_t end;
        int hours;
    };
    const Case cases[] = {
        {"8-17", 8 * hour, 17 * hour, 9},
        {"8:30-17:30", 8 * hour + 1800, 17 * hour + 1800, 10},
        {"22-6", 22 * hour - day, 6 * hour, 8},
        {"0-24", 0, day - 1, 24},
        {"10:00-10:00", 10 * hour - day, 10 * hour, 24},
        {"8:45-8:30", 8 * hour + 2700, 8 * hour + 1800, 1},  // does not wrap: holds nothing
        {"22-0", 22 * hour, day - 1, 2},
        {"23-0", 23 * hour, day - 1, 1},
        {"23:30-0:30", 23 * hour + 1800 - day, 1800, 2},
        {"12:00:01-12:00:00", 12 * hour + 1 - day, 12 * hour, 24},
    };
    const std::time_t reportDate = 1709593200;
    for (const Case& c : cases) {
        TimeWindow window;
        ASSERT_TRUE(parseTimeWindow(c.text, window)) << c.text;
        const ReportPeriod period = computePeriod(reportDate, window);
        EXPECT_EQ(period.windowStart - reportDate, c.start) << c.text;
        EXPECT_EQ(period.windowEnd - reportDate, c.end) << c.text;
        EXPECT_EQ(period.windowHours, c.hours) << c.text;
    }
}

}  // namespace
}  // namespace rv
