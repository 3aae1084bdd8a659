// The period header under every ravlog report heading: one line for a
// window within the day, a From:/To  : pair with both dates for a window
// that wraps midnight, and the right dates when the run's daylight-saving
// flag is not the report day's own (a winter run reporting a summer day).
#include <gtest/gtest.h>

#include <string>

#include "captured_stream.h"
#include "core/dates.h"
#include "ravlog/report_period.h"
#include "time_zone_scope.h"

namespace rv {
namespace {

using namespace ravlog;

using testing::CapturedStream;
using testing::TimeZoneScope;

// The header of a window on a day, the day's midnight read with the
// run's daylight-saving flag as the run driver does it.
std::string header(int day, int month, int year, int runIsDst, const char* window) {
    std::tm fields{};
    fields.tm_mday = day;
    fields.tm_mon = month - 1;
    fields.tm_year = year - 1900;
    const std::time_t reportDate = localCalendarTime(fields, runIsDst);
    TimeWindow w;
    EXPECT_TRUE(parseTimeWindow(window, w)) << window;
    const ReportPeriod period = computePeriod(reportDate, w);
    CapturedStream out;
    writePeriodHeader(out.get(), PeriodView{w, period.windowStart, period.windowEnd});
    return out.text();
}

std::string blanks(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

TEST(RavlogPeriodHeader, WindowWithinTheDay) {
    TimeZoneScope zone(testing::centralEurope);
    EXPECT_EQ(header(5, 3, 2024, 0, "0-24"),
              "From 0:00:00 to 23:59:59, 05 March 2024, Tuesday\n\n");
    // 23 characters of date: one blank to centre it.
    EXPECT_EQ(header(31, 3, 2024, 0, "8:30-17:30:15"),
              " From 8:30:00 to 17:30:15, 31 March 2024, Sunday\n\n");
    EXPECT_EQ(header(15, 6, 2024, 1, "8-17"),
              "From 8:00:00 to 17:00:00, 15 June 2024, Saturday\n\n");
    // 21 characters: two blanks.
    EXPECT_EQ(header(6, 5, 2024, 1, "0-24"), "  From 0:00:00 to 23:59:59, 06 May 2024, Monday\n\n");
}

TEST(RavlogPeriodHeader, WrappingWindowShowsBothDates) {
    TimeZoneScope zone(testing::centralEurope);
    EXPECT_EQ(header(5, 3, 2024, 0, "22-6"), blanks(6) + "From: 22:00:00, 04 March 2024, Monday\n" +
                                                 blanks(21) +
                                                 "To  :  6:00:00, 05 March 2024, Tuesday\n\n");
    // Over the first of the month and the change to summer time.
    EXPECT_EQ(header(1, 4, 2024, 0, "20:15-8"),
              blanks(7) + "From: 20:15:00, 31 March 2024, Sunday\n" + blanks(22) +
                  "To  :  8:00:00, 01 April 2024, Monday\n\n");
}

// A run started in winter reads a summer day's midnight an hour late, one
// started in summer reads a winter day's an hour early; the dates shown
// are still those of the report day.
TEST(RavlogPeriodHeader, DatesOfDaysOfTheOtherSeason) {
    TimeZoneScope zone(testing::centralEurope);
    EXPECT_EQ(header(15, 6, 2024, 0, "23-24"),
              "From 23:00:00 to 23:59:59, 15 June 2024, Saturday\n\n");
    EXPECT_EQ(header(15, 6, 2024, 0, "23:30-1"),
              blanks(6) + "From: 23:30:00, 14 June 2024, Friday\n" + blanks(21) +
                  "To  :  1:00:00, 15 June 2024, Saturday\n\n");
    EXPECT_EQ(header(15, 6, 2024, 0, "0-24"),
              "From 0:00:00 to 23:59:59, 15 June 2024, Saturday\n\n");
    EXPECT_EQ(header(5, 3, 2024, 1, "0-24"),
              "From 0:00:00 to 23:59:59, 05 March 2024, Tuesday\n\n");
    EXPECT_EQ(header(5, 3, 2024, 1, "0:30-6"),
              "From 0:30:00 to 6:00:00, 05 March 2024, Tuesday\n\n");
    EXPECT_EQ(header(5, 3, 2024, 1, "23-0"),
              "From 23:00:00 to 23:59:59, 05 March 2024, Tuesday\n\n");
    EXPECT_EQ(header(5, 3, 2024, 1, "23-5"), blanks(6) + "From: 23:00:00, 04 March 2024, Monday\n" +
                                                 blanks(21) +
                                                 "To  :  5:00:00, 05 March 2024, Tuesday\n\n");
}

}  // namespace
}  // namespace rv
