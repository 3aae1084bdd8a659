#include "core/file_macros.h"

#include <gtest/gtest.h>

#include "captured_stream.h"
#include "core/dates.h"
#include "time_zone_scope.h"

namespace rv {
namespace {

using testing::CapturedStream;
using testing::centralEurope;
using testing::TimeZoneScope;

// A run at noon (CET) of the given date.
RunClock runOn(int year, unsigned month, unsigned day) {
    return makeRunClock(daysFromCivil(year, month, day) * 86400 + 11 * 3600);
}

class FileMacros : public ::testing::Test {
  protected:
    TimeZoneScope zone{centralEurope};
    CapturedStream warnings;
    RunClock tuesday = runOn(2024, 3, 5);

    std::string expand(std::string_view name) { return expand(name, tuesday); }
    std::string expand(std::string_view name, const RunClock& clock) {
        return expandFileMacros(name, clock, warnings.get());
    }
};

TEST_F(FileMacros, DateOfTheRunInEitherCase) {
    EXPECT_EQ(expand("ses%Y%M%D-%W.txt"), "ses20240305-2.txt");
    EXPECT_EQ(expand("day%N.log"), "day065.log");
    EXPECT_EQ(expand("%y%m%d%n%w"), "202403050652");
    EXPECT_EQ(expand("ravlog.out"), "ravlog.out");
    EXPECT_EQ(expand(""), "");
    EXPECT_EQ(warnings.text(), "");
}

TEST_F(FileMacros, FieldWidthsAndWeekdayNumbers) {
    EXPECT_EQ(expand("%D.%M %N %W", runOn(2024, 1, 1)), "01.01 001 1");    // a Monday
    EXPECT_EQ(expand("%D.%M %N %W", runOn(2024, 3, 10)), "10.03 070 7");   // a Sunday
    EXPECT_EQ(expand("%D.%M %N %W", runOn(2024, 12, 31)), "31.12 366 2");  // leap year
    EXPECT_EQ(expand("%D.%M %N %W", runOn(2023, 12, 31)), "31.12 365 7");
}

TEST_F(FileMacros, PercentSignKeptOnce) {
    EXPECT_EQ(expand("100%%.txt"), "100%.txt");
    EXPECT_EQ(expand("a%%d"), "a%d");  // the letter after %% is plain text
    EXPECT_EQ(expand("%%%Y"), "%2024");
    EXPECT_EQ(warnings.text(), "");
}

TEST_F(FileMacros, InvalidMacrosAreDroppedWithAWarning) {
    EXPECT_EQ(expand("a%xb.txt"), "ab.txt");
    EXPECT_EQ(warnings.text(), "Skipping invalid filename macros '%x'\n");
    EXPECT_EQ(expand("%q%Z%1.%D"), ".05");
    EXPECT_EQ(warnings.text(),
              "Skipping invalid filename macros '%x'\n"
              "Skipping invalid filename macros '%q'\n"
              "Skipping invalid filename macros '%Z'\n"
              "Skipping invalid filename macros '%1'\n");
}

TEST_F(FileMacros, TrailingPercentIsDroppedWithAWarning) {
    EXPECT_EQ(expand("stat%"), "stat");
    EXPECT_EQ(warnings.text(), "Skipping invalid filename macros '%'\n");
}

}  // namespace
}  // namespace rv
