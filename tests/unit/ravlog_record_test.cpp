// What ravlog makes of one record before it counts it: the validity test
// with its message, the local start time, and the line's direction rules
// (SwapInOut, then the settling of BinkD sessions).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "captured_stream.h"
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

TEST(SessionValidity, AddressesZoneZeroIsSilentOthersAreReported) {
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

TEST(SessionValidity, LengthOfADayAtMost) {
    TimeZoneScope zone("UTC");
    const std::uint32_t t = utcSeconds(2024, 3, 5);
    EXPECT_EQ(check(record({2, 5020, 1, 0}, t, 86400)).validity, Validity::valid);
    EXPECT_EQ(check(record({2, 5020, 1, 0}, t, 86401)).validity, Validity::invalid);
    EXPECT_EQ(report(record({2, 5020, 1, 0}, t, 86401)),
              "Invalid record in hist/a.his: 2:5020/1.0 Tue Mar 05 00:00:00 2024\n");
}

TEST(SessionValidity, TimesThatCannotBeTaken) {
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

TEST(SessionValidity, ShiftedStartIsShownAndReadAsLocalTime) {
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

// ---- Direction rules -----------------------------------------------------------------

TEST(DirectionRules, BinkdSettling) {
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

TEST(DirectionRules, SwapInOut) {
    EXPECT_EQ(swapDirection(incoming), outgoing);
    EXPECT_EQ(swapDirection(outgoing | normal | protectedSession),
              incoming | normal | protectedSession);
    EXPECT_EQ(swapDirection(0), incoming | outgoing);
    EXPECT_EQ(swapDirection(incoming | outgoing), incoming | outgoing);
    EXPECT_EQ(swapDirection(kindBbs | normal), kindBbs | normal | incoming | outgoing);
}

TEST(DirectionRules, SwapFirstThenBinkdOnBinkdLinesOnly) {
    LineDirectionRules binkd{true, HistoryTypes::binkd, 1, 0, false};
    // in -> (swap) out -> (m 0) in, and normal.
    EXPECT_EQ(applyDirectionRules(incoming, binkd), incoming | normal);
    // none -> (swap) both -> aborted, n set and m 0: incoming.
    EXPECT_EQ(applyDirectionRules(0, binkd), incoming);

    LineDirectionRules plain{true, HistoryTypes::plain28, 1, 0, false};
    EXPECT_EQ(applyDirectionRules(incoming, plain), outgoing);
    EXPECT_EQ(applyDirectionRules(0, plain), incoming | outgoing);

    LineDirectionRules untouched{false, HistoryTypes::long100, 0, 0, true};
    EXPECT_EQ(applyDirectionRules(incoming | outgoing, untouched), incoming | outgoing);
    EXPECT_EQ(applyDirectionRules(incoming, untouched), incoming);

    LineDirectionRules binkdOnly{false, HistoryTypes::binkd, 0, 1, false};
    EXPECT_EQ(applyDirectionRules(incoming, binkdOnly), outgoing | normal);
}

}  // namespace
}  // namespace rv
