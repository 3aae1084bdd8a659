// What ravlog makes of one record before it counts it: the validity test
// with its message, the local start time, and the line's direction rules
// (SwapInOut, then the settling of BinkD sessions).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "captured_stream.h"
#include "core/dates.h"
#include "core/direction.h"
#include "core/session_validity.h"
#include "time_zone_scope.h"
#include "tools/history_writer.h"

namespace rv {
namespace {

using namespace SessionFlags;
using histgen::utcSeconds;
using testing::CapturedStream;
using testing::TimeZoneScope;

SessionRecord record(FidoAddress a, std::uint32_t start, std::uint32_t duration) {
    SessionRecord r;
    r.address = a;
    r.startTime = start;
    r.duration = duration;
    return r;
}

struct Checked {
    Validity validity;
    SessionTime time;
};

Checked check(const SessionRecord& r, std::int16_t shift = 0) {
    LocalTimeConverter converter(0);
    Checked c;
    c.validity = checkSession(r, shift, converter, c.time);
    return c;
}

std::string report(const SessionRecord& r, std::int16_t shift = 0) {
    const Checked c = check(r, shift);
    CapturedStream out;
    reportInvalidRecord(out.get(), "hist/a.his", r, c.time);
    return out.text();
}

// ---- Validity ------------------------------------------------------------------

TEST(RavlogRecordSessionValidity, AddressesZoneZeroIsSilentOthersAreReported) {
    TimeZoneScope zone("UTC");
    const std::uint32_t t = utcSeconds(2024, 3, 5, 10, 15);
    EXPECT_EQ(check(record({2, 5020, 1, 0}, t, 60)).validity, Validity::valid);
    EXPECT_EQ(check(record({0, 5020, 1, 0}, t, 60)).validity, Validity::dropSilently);
    EXPECT_EQ(check(record({-1, 5020, 1, 0}, t, 60)).validity, Validity::invalid);
    EXPECT_EQ(check(record({2, -5, 1, 0}, t, 60)).validity, Validity::invalid);
    EXPECT_EQ(check(record({2, 5020, -1, 0}, t, 60)).validity, Validity::invalid);
    EXPECT_EQ(check(record({2, 5020, 1, -1}, t, 60)).validity, Validity::invalid);
    // Zone 0 is dropped silently even when its time is unreadable too.
    EXPECT_EQ(check(record({0, 1, 1, 0}, 0x80000000u, 60)).validity, Validity::dropSilently);

    EXPECT_EQ(report(record({-1, 5020, 1, 0}, t, 60)),
              "Invalid record in hist/a.his: -1:5020/1.0 Tue Mar 05 10:15:00 2024\n");
    // The day of the month is zero-padded.
    EXPECT_EQ(report(record({2, 5020, 1, -1}, utcSeconds(2024, 3, 3, 9, 5, 7), 60)),
              "Invalid record in hist/a.his: 2:5020/1.-1 Sun Mar 03 09:05:07 2024\n");
}

TEST(RavlogRecordSessionValidity, LengthOfADayAtMost) {
    TimeZoneScope zone("UTC");
    const std::uint32_t t = utcSeconds(2024, 3, 5);
    EXPECT_EQ(check(record({2, 5020, 1, 0}, t, 86400)).validity, Validity::valid);
    EXPECT_EQ(check(record({2, 5020, 1, 0}, t, 86401)).validity, Validity::invalid);
    EXPECT_EQ(report(record({2, 5020, 1, 0}, t, 86401)),
              "Invalid record in hist/a.his: 2:5020/1.0 Tue Mar 05 00:00:00 2024\n");
}

TEST(RavlogRecordSessionValidity, TimesThatCannotBeTaken) {
    TimeZoneScope zone("UTC");
    // A start from 2^31 on reads as a negative time: it cannot be broken down.
    const Checked negative = check(record({2, 5020, 1, 0}, 0x80000000u, 60));
    EXPECT_EQ(negative.validity, Validity::invalid);
    EXPECT_FALSE(negative.time.brokenDown);
    EXPECT_EQ(report(record({2, 5020, 1, 0}, 0x80000000u, 60)),
              "Invalid record in hist/a.his: 2:5020/1.0 ??? ??? ?? ??:??:?? ????\n");
    // A shift can push a start below 1970 too.
    EXPECT_EQ(check(record({2, 5020, 1, 0}, 1800, 60), -1).validity, Validity::invalid);
    // The very start of 1970 is local time 0, which no session can have.
    EXPECT_EQ(check(record({2, 5020, 1, 0}, 0, 60)).validity, Validity::invalid);
    EXPECT_EQ(check(record({2, 5020, 1, 0}, 1, 60)).validity, Validity::valid);
    // The end must fit a signed 32-bit time.
    EXPECT_EQ(check(record({2, 5020, 1, 0}, 2147483647u - 10, 10)).validity, Validity::valid);
    EXPECT_EQ(check(record({2, 5020, 1, 0}, 2147483647u - 10, 11)).validity, Validity::invalid);
}

TEST(RavlogRecordSessionValidity, ShiftedStartIsShownAndReadAsLocalTime) {
    const std::uint32_t t = utcSeconds(2024, 3, 5, 10, 15);
    {
        TimeZoneScope zone("UTC");
        const Checked c = check(record({2, 5020, 1, 0}, t, 60), -3);
        ASSERT_EQ(c.validity, Validity::valid);
        EXPECT_EQ(c.time.shown().tm_hour, 7);
        EXPECT_EQ(c.time.shown().tm_min, 15);
        EXPECT_EQ(c.time.localStart, static_cast<std::int64_t>(t) - 3 * 3600);
        EXPECT_EQ(report(record({2, 5020, 1, -2}, t, 60), 14),
                  "Invalid record in hist/a.his: 2:5020/1.-2 Wed Mar 06 00:15:00 2024\n");
    }
    {
        // The history's clock fields are local fields: in central Europe (winter
        // flag) 10:15 is 09:15 UTC, also for a summer date.
        TimeZoneScope zone(testing::centralEurope);
        const Checked winter = check(record({2, 5020, 1, 0}, t, 60));
        EXPECT_EQ(winter.time.localStart, static_cast<std::int64_t>(t) - 3600);
        EXPECT_EQ(winter.time.shown().tm_hour, 10);
        const std::uint32_t summer = utcSeconds(2024, 7, 1, 12);
        EXPECT_EQ(check(record({2, 5020, 1, 0}, summer, 60)).time.localStart,
                  static_cast<std::int64_t>(summer) - 3600);
    }
}

// ---- Raw window --------------------------------------------------------------------

// The raw window may drop a record untested only where the full test would
// drop it too: a valid record outside the window, or one of zone 0. Checked
// against checkSession and the window test on the local time, for records
// every few minutes over a week around windows on the days clocks change,
// in zones with daylight saving and with the widest offsets, with time
// shifts either way, and at the ends of the calendar range.
TEST(RavlogRecordRawWindow, DropsOnlyWhatTheFullTestDrops) {
    struct ZoneCase {
        const char* tz;
        int year, month, day;  // a report day, on which clocks change where they do
    };
    const ZoneCase zones[] = {
        {testing::centralEurope, 2024, 3, 31},
        {testing::centralEurope, 2024, 10, 27},
        {"EST5EDT,M3.2.0,M11.1.0", 2024, 11, 3},
        {"<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", 2024, 4, 7},  // Lord Howe's half hour
        {"<+14>-14", 2024, 1, 1},
        {"<-12>12", 2024, 12, 31},
        {"<+24>-24", 2024, 6, 1},  // the widest offsets that TZ takes
        {"<-24>24<-23>23,M3.5.0,M10.5.0/3", 2024, 10, 27},
        {"UTC0", 1970, 1, 2},   // the start of the range
        {"UTC0", 2038, 1, 18},  // and its end
    };
    const char* windows[] = {"0-24", "22-6", "2-3", "10:00-10:00", "23:59:59-0"};
    const std::int16_t shifts[] = {0, -12, 5, 23};
    const std::uint32_t durations[] = {0, 1, 3600, 86400, 86401};
    const FidoAddress addresses[] = {
        {2, 5020, 1, 0}, {0, 5020, 1, 0}, {-1, 5020, 1, 0}, {2, 5020, 1, -1}};
    std::size_t records = 0;
    std::size_t passedBy = 0;
    for (const ZoneCase& z : zones) {
        TimeZoneScope zone(z.tz);
        for (const int isDst : {0, 1}) {
            std::tm day{};
            day.tm_year = z.year - 1900;
            day.tm_mon = z.month - 1;
            day.tm_mday = z.day;
            const std::time_t reportDate = localCalendarTime(day, isDst);
            for (const char* text : windows) {
                TimeWindow window;
                ASSERT_TRUE(parseTimeWindow(text, window)) << text;
                const ReportPeriod period = computePeriod(reportDate, window);
                for (const std::int16_t shift : shifts) {
                    const RawWindow raw(period.windowStart, period.windowEnd, shift);
                    LocalTimeConverter converter(isDst);
                    const std::int64_t from = period.windowStart - 4 * 86400 - shift * 3600;
                    for (std::int64_t stored = from; stored < period.windowEnd + 4 * 86400;
                         stored += 397) {
                        for (const std::uint32_t duration : durations) {
                            for (const FidoAddress& address : addresses) {
                                SessionRecord r =
                                    record(address, static_cast<std::uint32_t>(stored), duration);
                                ++records;
                                if (!raw.passesBy(r)) continue;
                                ++passedBy;
                                if (r.duration == 0) r.duration = 1;
                                SessionTime time;
                                const Validity v = checkSession(r, shift, converter, time);
                                const bool selected =
                                    v == Validity::valid && time.localStart <= period.windowEnd &&
                                    time.localStart + r.duration > period.windowStart;
                                ASSERT_TRUE(v == Validity::dropSilently ||
                                            (v == Validity::valid && !selected))
                                    << z.tz << " dst " << isDst << " window " << text << " shift "
                                    << shift << " stored " << stored << " duration " << duration
                                    << " zone " << address.zone;
                            }
                        }
                    }
                }
            }
        }
    }
    // Most records, which lie days away from the window, are dropped at once.
    EXPECT_GT(passedBy, records / 4);
}

// ---- Direction rules -----------------------------------------------------------------

TEST(RavlogRecordDirectionRules, BinkdSettling) {
    struct Case {
        std::uint16_t flags;
        std::uint16_t n;
        std::uint16_t m;
        bool abortedOut;
        std::uint16_t settled;
    };
    const Case cases[] = {
        // Aborted sessions (both bits) keep one direction and stay aborted.
        {0x0003, 1, 1, true, 0x0002},
        {0x0003, 1, 1, false, 0x0001},
        {0x0003, 0, 1, false, 0x0002},
        {0x0003, 0, 0, false, 0x0002},
        {0x0003, 2, 0, true, 0x0001},
        {0x000B, 1, 1, true, 0x000A},
        // Others are normal and turned by the channel counts.
        {0x0001, 0, 1, false, 0x0006},
        {0x0001, 1, 1, false, 0x0005},
        {0x0002, 1, 0, false, 0x0005},
        {0x0002, 1, 1, true, 0x0006},
        {0x0001, 0, 0, false, 0x0005},  // in -> out (n 0) -> in (m 0)
        {0x0000, 1, 1, false, 0x0004},
        {0x0009, 1, 1, false, 0x000D},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(settleBinkdDirection(c.flags, c.n, c.m, c.abortedOut), c.settled)
            << std::hex << c.flags << " n " << c.n << " m " << c.m << " out " << c.abortedOut;
    }
}

TEST(RavlogRecordDirectionRules, SwapInOut) {
    EXPECT_EQ(swapDirection(incoming), outgoing);
    EXPECT_EQ(swapDirection(outgoing | normal | protectedSession),
              incoming | normal | protectedSession);
    EXPECT_EQ(swapDirection(0), incoming | outgoing);
    EXPECT_EQ(swapDirection(incoming | outgoing), incoming | outgoing);
    EXPECT_EQ(swapDirection(kindBbs | normal), kindBbs | normal | incoming | outgoing);
}

TEST(RavlogRecordDirectionRules, SwapFirstThenBinkdOnBinkdLinesOnly) {
    LineDirectionRules binkd{true, HistoryType::binkd, 1, 0, false};
    // in -> (swap) out -> (m 0) in, and normal.
    EXPECT_EQ(applyDirectionRules(incoming, binkd), incoming | normal);
    // none -> (swap) both -> aborted, n set and m 0: incoming.
    EXPECT_EQ(applyDirectionRules(0, binkd), incoming);

    LineDirectionRules plain{true, HistoryType::plain28, 1, 0, false};
    EXPECT_EQ(applyDirectionRules(incoming, plain), outgoing);
    EXPECT_EQ(applyDirectionRules(0, plain), incoming | outgoing);

    LineDirectionRules untouched{false, HistoryType::long100, 0, 0, true};
    EXPECT_EQ(applyDirectionRules(incoming | outgoing, untouched), incoming | outgoing);
    EXPECT_EQ(applyDirectionRules(incoming, untouched), incoming);

    LineDirectionRules binkdOnly{false, HistoryType::binkd, 0, 1, false};
    EXPECT_EQ(applyDirectionRules(incoming, binkdOnly), outgoing | normal);
}

}  // namespace
}  // namespace rv
