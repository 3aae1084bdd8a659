// The cells of brimsel's text rows are written by shortcuts (fixed fields
// filled backwards, the day's date kept, the address texts kept): each
// is checked here against the plain formatter it stands in for, over the
// values where the two could part.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "brimsel/dump_row.h"
#include "core/dates.h"
#include "core/format.h"
#include "core/time_text.h"

namespace rv {
namespace {

TEST(DumpCells, NumberFieldsMatchThePlainFormatters) {
    // Every edge of a width and of the k and M steps, and a value beside it.
    std::vector<std::uint32_t> values;
    for (std::uint64_t edge :
         {1ull, 10ull, 100ull, 1000ull, 1024ull, 10000ull, 10240ull, 100000ull, 102400ull,
          1000000ull, 1048576ull, 10485760ull, 104857600ull, 1048576000ull, 4294967295ull})
        for (std::uint64_t v : {edge - 1, edge, edge + 1})
            if (v <= UINT32_MAX) values.push_back(static_cast<std::uint32_t>(v));
    // Each tenth of a MiB below 100 MiB at its first byte and its last.
    for (std::uint64_t tenth = 10; tenth < 1000; ++tenth) {
        const auto first = static_cast<std::uint32_t>((tenth * 1048576 + 9) / 10);
        values.insert(values.end(), {first - 1, first});
    }
    std::mt19937 random(17);
    for (int i = 0; i < 100000; ++i)
        values.push_back(static_cast<std::uint32_t>(random()) >> (random() % 32));

    for (std::uint32_t v : values) {
        char traffic[6];
        writeCompactTraffic(traffic, v);
        ASSERT_EQ(std::string(traffic, 6), formatTraffic(v, true).view()) << v;
        if (v < 100000) {
            char number[5];
            writeDigitsBackward(number + 5, v, 5);
            ASSERT_EQ(std::string(number, 5), formatUnsigned(v, 5).view()) << v;
        }
    }
}

TEST(DumpCells, DayCacheMatchesAFreshBreakdown) {
    const auto at = [](int year, unsigned month, unsigned day, int seconds) {
        return daysFromCivil(year, month, day) * 86400 + seconds;
    };
    // Across midnight, a month, a leap day, the years (2000 a leap year,
    // 2100 none), the DST changes (none in UTC), back to an earlier day at
    // the same time of day, past a time that cannot be broken down, and
    // the last second a 32-bit start shifted by a TimeShift can give.
    std::vector<std::int64_t> times{at(2024, 3, 5, 86399),
                                    at(2024, 3, 6, 0),
                                    at(2024, 3, 31, 3600),
                                    at(2024, 2, 28, 86399),
                                    at(2024, 2, 29, 1),
                                    at(2024, 3, 1, 0),
                                    at(2023, 12, 31, 86399),
                                    at(2024, 1, 1, 0),
                                    at(2000, 2, 29, 43200),
                                    at(2100, 2, 28, 86399),
                                    at(2100, 3, 1, 0),
                                    at(2024, 10, 27, 3599),
                                    at(2024, 10, 27, 3600),
                                    at(2024, 3, 5, 86399),
                                    at(2024, 3, 4, 86399),
                                    -1,
                                    at(2024, 3, 4, 86399),
                                    0,
                                    -86400,
                                    86399,
                                    INT32_MAX + std::int64_t{32767} * 3600};
    // And a history's walk: mostly forward within days, now and then back.
    std::mt19937 random(17);
    for (std::int64_t t = at(2023, 12, 30, 0); t < at(2024, 3, 2, 0);)
        times.push_back(t += static_cast<std::int64_t>(random() % 20000) - 1000);

    AsctimeDayCache days;
    for (std::int64_t t : times) {
        std::tm fresh{};
        char text[24];
        const bool written = days.write(t, text);
        ASSERT_EQ(written, breakDownUtc(t, fresh)) << t;
        if (written) {
            ASSERT_EQ(std::string(text, 24), asctimeText(fresh).data()) << t;
        }
    }
}

TEST(DumpCells, AddressCellsMatchFormatAddress) {
    std::vector<FidoAddress> addresses{
        {2, 5020, 545, 0}, {2, 4500, 1234, 5678}, {-1, 4500, -2, -1}, {32767, 32767, 32767, 32767}};
    for (const SessionKind& kind : sessionKinds)
        addresses.push_back(eventKeyAddress(kind));
    // More addresses than the table has slots, so that some share one.
    std::mt19937 random(17);
    for (int i = 0; i < 6000; ++i)
        addresses.push_back({static_cast<std::int16_t>(random() % 7), 5000,
                             static_cast<std::int16_t>(random() % 3000), 0});

    brimsel::AddressCells cells;
    for (int pass = 0; pass < 2; ++pass) {
        for (const FidoAddress& a : addresses) {
            ASSERT_EQ(cells.view(a), formatAddress(a, 15).view())
                << a.zone << ":" << a.net << "/" << a.node << "." << a.point;
        }
    }
}

}  // namespace
}  // namespace rv
