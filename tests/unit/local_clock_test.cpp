#include "core/local_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/dates.h"
#include "core/time_text.h"
#include "core/wall_clock.h"
#include "time_zone_scope.h"

namespace rv {
namespace {

using testing::centralEurope;
using testing::TimeZoneScope;

constexpr std::int64_t day = 86400;

// Seconds of a UTC calendar date and time.
std::int64_t utc(int year, unsigned month, unsigned mday, int hour = 0, int minute = 0) {
    return daysFromCivil(year, month, mday) * day + hour * 3600 + minute * 60;
}

// ---- Run clock --------------------------------------------------------------

TEST(LocalClockRunClock, TakesLocalDateValuesAndMidnight) {
    TimeZoneScope zone(centralEurope);
    // Tuesday 5 March 2024, 10:15 CET.
    const RunClock clock = makeRunClock(utc(2024, 3, 5, 9, 15));
    EXPECT_EQ(clock.date.year, 2024);
    EXPECT_EQ(clock.date.month, 3);
    EXPECT_EQ(clock.date.day, 5);
    EXPECT_EQ(clock.date.dayOfYear, 31 + 29 + 5);
    EXPECT_EQ(clock.date.weekday, 2);
    EXPECT_EQ(clock.isDst, 0);
    EXPECT_EQ(clock.local.tm_hour, 10);
    EXPECT_EQ(clock.midnight, utc(2024, 3, 5) - 3600);
}

TEST(LocalClockRunClock, DateIsLocalNotUtc) {
    TimeZoneScope zone(centralEurope);
    // 23:30 UTC on Saturday 9 March is already Sunday 10 March in Berlin.
    const RunClock clock = makeRunClock(utc(2024, 3, 9, 23, 30));
    EXPECT_EQ(clock.date.day, 10);
    EXPECT_EQ(clock.date.weekday, 7);
    EXPECT_EQ(clock.midnight, utc(2024, 3, 10) - 3600);
}

TEST(LocalClockRunClock, LastDayOfLeapYear) {
    TimeZoneScope zone(centralEurope);
    const RunClock clock = makeRunClock(utc(2024, 12, 31, 12));
    EXPECT_EQ(clock.date.dayOfYear, 366);
    EXPECT_EQ(clock.date.weekday, 2);
}

TEST(LocalClockRunClock, SummerRunKeepsItsFlagForMidnight) {
    TimeZoneScope zone(centralEurope);
    const RunClock summer = makeRunClock(utc(2024, 7, 15, 8));
    EXPECT_EQ(summer.isDst, 1);
    EXPECT_EQ(summer.midnight, utc(2024, 7, 15) - 7200);
    // On the day summer time begins (02:00 CET) the run's flag is already
    // set at noon, so midnight is read as summer time: an hour early.
    const RunClock switchDay = makeRunClock(utc(2024, 3, 31, 10));
    EXPECT_EQ(switchDay.isDst, 1);
    EXPECT_EQ(switchDay.midnight, utc(2024, 3, 31) - 7200);
}

// ---- TimeShift AUTO ---------------------------------------------------------

TEST(LocalClockAutoTimeShift, StandardOffsetInWholeHoursTowardZero) {
    struct Case {
        const char* zone;
        std::int64_t now;
        int hours;
    };
    const Case cases[] = {
        {centralEurope, utc(2024, 1, 15, 12), 1},
        {centralEurope, utc(2024, 7, 15, 12), 1},  // summer time left out
        {"EST5EDT,M3.2.0,M11.1.0", utc(2024, 7, 15, 12), -5},
        {"EST5EDT,M3.2.0,M11.1.0", utc(2024, 1, 15, 12), -5},
        {"IST-5:30", utc(2024, 7, 15, 12), 5},                    // +5:30 cut to 5
        {"NST3:30NDT,M3.2.0,M11.1.0", utc(2024, 7, 15, 12), -3},  // -3:30 cut to -3
        {"UTC0", utc(2024, 7, 15, 12), 0},
    };
    for (const Case& c : cases) {
        TimeZoneScope zone(c.zone);
        EXPECT_EQ(autoTimeShiftHours(c.now), c.hours) << c.zone;
    }
}

// ---- Local time converter: behaviour ----------------------------------------

TEST(LocalClockConverter, NegativeTimeCannotBeBrokenDown) {
    TimeZoneScope zone(centralEurope);
    LocalTimeConverter converter(0);
    EXPECT_FALSE(converter.toLocal(-1).has_value());
    EXPECT_FALSE(converter.toLocal(-86400 * 365).has_value());
    EXPECT_EQ(converter.mktimeCalls(), 0u);
    ASSERT_TRUE(converter.toLocal(0).has_value());
    EXPECT_EQ(*converter.toLocal(0), -3600);  // 1970-01-01 00:00 CET
}

// Times from an archive may be any 64-bit value: those beyond a calendar
// are refused without overflowing, the last one taken still converts.
TEST(LocalClockConverter, ExtremeTimesAreRefusedNotOverflowed) {
    TimeZoneScope zone(centralEurope);
    constexpr std::int64_t last = LocalTimeConverter::lastTime;
    const std::int64_t endOf9999 = utc(9999, 12, 31, 23, 59) + 59;
    const std::pair<std::int64_t, std::optional<std::int64_t>> cases[] = {
        {std::numeric_limits<std::int64_t>::max(), std::nullopt},
        {9223372036854720000, std::nullopt},
        {std::numeric_limits<std::int64_t>::max() - day + 1, std::nullopt},
        {last + 1, std::nullopt},
        {std::numeric_limits<std::int64_t>::min(), std::nullopt},
        {endOf9999, endOf9999 - 3600},
        {last - day, last - day - 3600},
        {last, last - 3600},
    };
    LocalTimeConverter converter(0);
    for (const auto& [t, local] : cases) {
        const std::optional<std::time_t> got = converter.toLocal(t);
        EXPECT_EQ(got ? std::optional<std::int64_t>(*got) : std::nullopt, local) << t;
    }
}

TEST(LocalClockConverter, ReadsFieldsWithTheRunFlag) {
    TimeZoneScope zone(centralEurope);
    LocalTimeConverter winterRun(0);
    LocalTimeConverter summerRun(1);
    const std::int64_t julyNoon = utc(2024, 7, 15, 12);
    const std::int64_t januaryNoon = utc(2024, 1, 15, 12);
    EXPECT_EQ(*winterRun.toLocal(julyNoon), julyNoon - 3600);
    EXPECT_EQ(*winterRun.toLocal(januaryNoon), januaryNoon - 3600);
    EXPECT_EQ(*summerRun.toLocal(julyNoon), julyNoon - 7200);
    EXPECT_EQ(*summerRun.toLocal(januaryNoon), januaryNoon - 7200);
}

TEST(LocalClockConverter, CallsMktimeOncePerDayOfADenseStream) {
    TimeZoneScope zone(centralEurope);
    LocalTimeConverter converter(0);
    const std::int64_t start = utc(2024, 5, 1);
    // The first day costs both its ends; each day that follows a held one
    // costs its last second.
    for (std::int64_t t = start; t < start + 30 * day; t += 10)
        converter.toLocal(t);
    EXPECT_EQ(converter.mktimeCalls(), 2u + 29u);
    // Going back to a day still held costs nothing.
    converter.toLocal(start + 2 * day + 1000);
    EXPECT_EQ(converter.mktimeCalls(), 2u + 29u);
    // A lone day costs both its ends.
    converter.toLocal(start + 100 * day);
    EXPECT_EQ(converter.mktimeCalls(), 2u + 29u + 2u);
}

// ---- Local time converter: identical to mktime ------------------------------

bool zoneInstalled(const std::string& zone) {
    const char* dir = std::getenv("TZDIR");
    const std::string path = std::string(dir && *dir ? dir : "/usr/share/zoneinfo") + "/" + zone;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char magic[4] = {};
    const bool isZone = std::fread(magic, 1, 4, file) == 4 && std::string(magic, 4) == "TZif";
    std::fclose(file);
    return isZone;
}

// What the converter must reproduce: the UTC fields of t handed to mktime
// with the run's flag.
std::time_t directMktime(std::int64_t t, int isDst) {
    const std::time_t asTime = static_cast<std::time_t>(t);
    std::tm fields{};
    gmtime_r(&asTime, &fields);
    fields.tm_isdst = isDst;
    return std::mktime(&fields);
}

struct Comparison {
    int isDst = 0;
    std::size_t samples = 0;
    std::size_t mismatches = 0;
    std::string first;

    // Compares one time; gives mktime's answer.
    std::time_t check(LocalTimeConverter& converter, std::int64_t t) {
        ++samples;
        const std::time_t expected = directMktime(t, isDst);
        const std::optional<std::time_t> got = converter.toLocal(t);
        if ((!got || (*got != expected && !eitherAnswer(t, *got))) && mismatches++ == 0) {
            std::tm fields{};
            breakDownUtc(t, fields);
            first = "t=" + std::to_string(t) + " (" + asctimeText(fields).data() +
                    ") mktime=" + std::to_string(expected) +
                    " converter=" + (got ? std::to_string(*got) : std::string("none"));
        }
        return expected;
    }

    // A wall time that a change of offset without a change of flag makes
    // occur twice or not at all (Moscow's clocks went back an hour in
    // 2014, both hours standard time) has two answers, and mktime gives
    // the one nearer the offset it met on its last call. Either is right;
    // got must be one of them.
    bool eitherAnswer(std::int64_t t, std::time_t got) const {
        directMktime(t - day, isDst);
        const std::time_t early = directMktime(t, isDst);
        directMktime(t + day, isDst);
        const std::time_t late = directMktime(t, isDst);
        return got == early || got == late;
    }

    void checkEverySecond(LocalTimeConverter& converter, std::int64_t from, std::int64_t to) {
        for (std::int64_t t = from; t < to; ++t)
            check(converter, t);
    }
};

// Wall-clock times (as t) of the daylight-saving switches between from and to.
std::vector<std::int64_t> switchWallTimes(std::int64_t from, std::int64_t to) {
    std::vector<std::int64_t> found;
    std::tm before{};
    const std::time_t start = static_cast<std::time_t>(from);
    localtime_r(&start, &before);
    for (std::time_t t = start + 3600; t < to; t += 3600) {
        std::tm now{};
        localtime_r(&t, &now);
        if (now.tm_isdst != before.tm_isdst) found.push_back(t + now.tm_gmtoff);
        before = now;
    }
    return found;
}

// On 26 October 2014 Moscow went from UTC+4 to UTC+3 for good: with the
// flag fixed, mktime's offset changes within that day. The days around it
// cost a call each, the day itself a bisection for the second.
TEST(LocalClockConverter, ADayWithAnOffsetChangeCostsABisection) {
    if (!zoneInstalled("Europe/Moscow")) GTEST_SKIP() << "Europe/Moscow is not installed";
    TimeZoneScope zone("Europe/Moscow");
    LocalTimeConverter converter(0);
    Comparison comparison;
    const std::int64_t start = utc(2014, 10, 23);
    for (std::int64_t t = start; t < start + 7 * day; t += 60)
        comparison.check(converter, t);
    EXPECT_EQ(comparison.mismatches, 0u) << comparison.first;
    EXPECT_NE(directMktime(start, 0) - start, directMktime(start + 7 * day, 0) - start - 7 * day);
    EXPECT_GT(converter.mktimeCalls(), 2u + 6u);
    EXPECT_LE(converter.mktimeCalls(), 2u + 6u + 2 * 17u);
}

// At 02:00 that night the clocks went back to 01:00, so that every time
// from 01:00:00 to 01:59:59 occurred twice. They read as their first
// occurrence (UTC+4), whichever times were converted before.
TEST(LocalClockConverter, ATimeThatOccursTwiceReadsAsTheFirst) {
    if (!zoneInstalled("Europe/Moscow")) GTEST_SKIP() << "Europe/Moscow is not installed";
    TimeZoneScope zone("Europe/Moscow");
    const std::int64_t night = utc(2014, 10, 26);
    const std::int64_t firstTwice = night + 3600, lastTwice = night + 7199;
    const std::vector<std::vector<std::int64_t>> orders = {
        {firstTwice, lastTwice, lastTwice + 1},
        {lastTwice + 1, lastTwice, firstTwice},
        {night + 12 * 3600, lastTwice, firstTwice, lastTwice + 1},
        {night - 3600, night + 5400, lastTwice + 1, lastTwice},
        {night + 2 * day, night + 5400, firstTwice, lastTwice + 1, lastTwice},
    };
    for (const std::vector<std::int64_t>& order : orders) {
        LocalTimeConverter converter(0);
        for (std::int64_t t : order) {
            // Up to 01:59:59 the first occurrence, UTC+4; from 02:00 only UTC+3.
            const std::int64_t offset = t <= lastTwice ? -4 * 3600 : -3 * 3600;
            EXPECT_EQ(*converter.toLocal(t), t + offset) << t - night;
        }
    }
}

// A zone, its daylight-saving switches in 2023 and 2024, and whether a
// summer-time run makes mktime search for years (the zone has had no
// summer time for years around most times).
struct ZoneCase {
    const char* name;
    std::size_t switches;
    bool summerRunSearches = false;
};

void PrintTo(const ZoneCase& zone, std::ostream* out) {
    *out << zone.name;
}

using ZoneAndFlag = std::tuple<ZoneCase, int>;

class LocalClockAgainstMktime : public ::testing::TestWithParam<ZoneAndFlag> {};

// Every 7 minutes over 2023 and 2024; every second for an hour either side
// of each daylight-saving switch of those years; every second around each
// change of mktime's offset from 1970 to 2106 (with the flag fixed, the
// offset changes only where the zone itself changed its offsets, such as
// Lord Howe in 1981, Moscow in 2011 and 2014, Samoa when it skipped 30
// December 2011, where mktime may also refuse a time); and random times
// from 1970 to 2106. Casablanca and Dublin have summer times that are
// behind their standard time (in Ramadan; in winter). In a zone without
// daylight saving a summer-time run makes mktime search years around each
// time for a summer-time neighbour (up to 0.3 ms a call), so there the
// 7-minute sweep covers only January 2023 and the other samples are fewer.
TEST_P(LocalClockAgainstMktime, IdenticalResults) {
    const auto [zoneCase, isDst] = GetParam();
    const std::string name = zoneCase.name;
    const bool posixRule = name.find(',') != std::string::npos;
    if (!posixRule && !zoneInstalled(name))
        GTEST_SKIP() << "time zone " << name << " is not installed; comparison skipped";
    TimeZoneScope zone(zoneCase.name);

    LocalTimeConverter converter(isDst);
    Comparison comparison;
    comparison.isDst = isDst;
    const std::int64_t from = utc(2023, 1, 1);
    const bool slowMktime = zoneCase.summerRunSearches && isDst == 1;
    const std::int64_t to = slowMktime ? utc(2023, 2, 1) : utc(2025, 1, 1);
    for (std::int64_t t = from; t < to; t += 7 * 60)
        comparison.check(converter, t);
    // A dense run of times costs about a call a day.
    EXPECT_LT(converter.mktimeCalls() * 20, comparison.samples);

    const std::vector<std::int64_t> switches = switchWallTimes(utc(2023, 1, 1), utc(2025, 1, 1));
    EXPECT_EQ(switches.size(), zoneCase.switches);
    for (std::int64_t wall : switches)
        comparison.checkEverySecond(converter, wall - 3600, wall + 3600);

    std::int64_t previous = 0;
    std::int64_t previousOffset = comparison.check(converter, previous) - previous;
    const std::int64_t scanStep = slowMktime ? 30 * day : 7 * day;
    for (std::int64_t t = scanStep; t < std::int64_t{0xFFFFFFFF}; t += scanStep) {
        const std::int64_t offset = comparison.check(converter, t) - t;
        if (offset != previousOffset) {
            // Narrow the change down to its second, then compare around it.
            std::int64_t low = previous;
            std::int64_t high = t;
            while (high - low > 1) {
                const std::int64_t middle = low + (high - low) / 2;
                (directMktime(middle, isDst) - middle == previousOffset ? low : high) = middle;
            }
            comparison.checkEverySecond(converter, high - 1800, high + 1800);
        }
        previous = t;
        previousOffset = offset;
    }

    std::mt19937_64 random(20240305);
    std::uniform_int_distribution<std::int64_t> anyTime(0, std::int64_t{0xFFFFFFFF});
    for (int i = 0; i < (slowMktime ? 1000 : 5000); ++i)
        comparison.check(converter, anyTime(random));

    EXPECT_EQ(comparison.mismatches, 0u)
        << comparison.samples << " samples; first: " << comparison.first;
}

// Brazil's old rule switched at midnight, so that a day began at 01:00.
constexpr const char* midnightSwitch = "<-03>3<-02>,M10.3.0/0,M2.3.0/0";

INSTANTIATE_TEST_SUITE_P(
    Zones, LocalClockAgainstMktime,
    ::testing::Combine(
        ::testing::Values(ZoneCase{centralEurope, 4}, ZoneCase{"Europe/Berlin", 4},
                          ZoneCase{"America/New_York", 4}, ZoneCase{"Australia/Lord_Howe", 4},
                          ZoneCase{"Asia/Kolkata", 0, true}, ZoneCase{"UTC", 0, true},
                          ZoneCase{midnightSwitch, 4}, ZoneCase{"Europe/Moscow", 0, true},
                          ZoneCase{"Pacific/Apia", 0, true}, ZoneCase{"Africa/Casablanca", 4, true},
                          ZoneCase{"Europe/Dublin", 4}),
        ::testing::Values(0, 1)),
    [](const ::testing::TestParamInfo<ZoneAndFlag>& info) {
        std::string name = std::get<0>(info.param).name;
        if (name == centralEurope) name = "CentralEuropeRule";
        if (name == midnightSwitch) name = "MidnightSwitchRule";
        for (char& c : name)
            if (c == '/') c = '_';
        return name + (std::get<1>(info.param) ? "_SummerRun" : "_WinterRun");
    });

// ---- Wall clock reader ------------------------------------------------------

// Stored local calendar fields, in range or not, read as mktime reads them
// with the flag left to it; where mktime's answer is the later occurrence
// of a wall time that occurs twice, the reader's is the earlier one.
TEST(LocalClockWallReader, AgreesWithMktimeButForTheSecondOccurrence) {
    const char* zones[] = {centralEurope,         "Europe/Berlin", "America/Sao_Paulo",
                           "Australia/Lord_Howe", "Europe/Moscow", "UTC"};
    std::mt19937 random(104);
    for (const char* name : zones) {
        if (std::string(name).find(',') == std::string::npos && !zoneInstalled(name)) continue;
        TimeZoneScope zone(name);
        WallClockReader reader;
        std::size_t earlier = 0;
        for (int i = 0; i < 20000; ++i) {
            // Now and then the out-of-range values of a damaged 16-bit field.
            const bool wild = i % 4 == 0;
            std::tm fields{};
            fields.tm_year = 70 + static_cast<int>(random() % 135);
            fields.tm_mon = static_cast<int>(random() % (wild ? 40 : 12)) - (wild ? 1 : 0);
            fields.tm_mday = 1 + static_cast<int>(random() % (wild ? 400 : 28));
            fields.tm_hour = static_cast<int>(random() % (wild ? 3000 : 24));
            fields.tm_min = static_cast<int>(random() % (wild ? 9000 : 60));
            fields.tm_sec = static_cast<int>(random() % (wild ? 65536 : 60));
            const std::time_t read = reader.toCalendar(fields);
            std::tm copy = fields;
            copy.tm_isdst = -1;
            const std::time_t byMktime = std::mktime(&copy);
            if (read == byMktime) continue;
            SCOPED_TRACE(std::string(name) + " " + std::to_string(read) + " against " +
                         std::to_string(byMktime));
            // Seconds past a minute count as elapsed time after it, so the
            // two occurrences are those of the minute's wall time.
            const int excess = fields.tm_sec > 59 ? fields.tm_sec - 59 : 0;
            const std::time_t readMinute = read - excess, mktimeMinute = byMktime - excess;
            std::tm a{}, b{};
            localtime_r(&readMinute, &a);
            localtime_r(&mktimeMinute, &b);
            EXPECT_LT(read, byMktime);
            EXPECT_EQ(std::tuple(a.tm_mday, a.tm_hour, a.tm_min, a.tm_sec),
                      std::tuple(b.tm_mday, b.tm_hour, b.tm_min, b.tm_sec));
            ++earlier;
        }
        EXPECT_LT(earlier, 20u) << name;
    }
}

// ---- Local time converter: cost ---------------------------------------------

// Conversions per second of the converter and of a plain mktime per
// record, printed for the record; only the sums of the results are
// compared, nothing about speed.
struct Timing {
    double perSecond = 0;
    std::int64_t sum = 0;
};

Timing timeConversions(const std::vector<std::int64_t>& times, bool viaConverter, int isDst) {
    LocalTimeConverter converter(isDst);
    Timing timing;
    const auto begin = std::chrono::steady_clock::now();
    for (std::int64_t t : times)
        timing.sum += viaConverter ? *converter.toLocal(t) : directMktime(t, isDst);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    timing.perSecond = static_cast<double>(times.size()) / seconds;
    return timing;
}

TEST(LocalClockConverterTiming, ConversionsPerSecond) {
    std::mt19937_64 random(7);
    std::vector<std::int64_t> dense;     // a busy node: a session every minute or so
    std::vector<std::int64_t> sparse;    // a quiet one: about one an hour
    std::vector<std::int64_t> shuffled;  // a year of times in no order
    std::int64_t t = utc(2024, 1, 1);
    for (int i = 0; i < 200000; ++i)
        dense.push_back(t += static_cast<std::int64_t>(random() % 120));
    t = utc(2024, 1, 1);
    for (int i = 0; i < 20000; ++i)
        sparse.push_back(t += static_cast<std::int64_t>(random() % 7200));
    for (int i = 0; i < 50000; ++i)
        shuffled.push_back(utc(2024, 1, 1) + static_cast<std::int64_t>(random() % (365 * day)));

    for (const char* zoneName : {static_cast<const char*>(nullptr), centralEurope}) {
        TimeZoneScope zone(zoneName);
        const char* label = zoneName ? zoneName : "machine zone (TZ unset)";
        for (const auto& [name, times] : {std::pair{"dense", &dense}, std::pair{"sparse", &sparse},
                                          std::pair{"shuffled", &shuffled}}) {
            const Timing viaMktime = timeConversions(*times, false, 0);
            const Timing viaConverter = timeConversions(*times, true, 0);
            EXPECT_EQ(viaConverter.sum, viaMktime.sum) << label << ' ' << name;
            std::printf("[timing] %-28s %-8s mktime %6.2f M/s  converter %7.2f M/s  (x%.1f)\n",
                        label, name, viaMktime.perSecond / 1e6, viaConverter.perSecond / 1e6,
                        viaConverter.perSecond / viaMktime.perSecond);
        }
    }
}

}  // namespace
}  // namespace rv
