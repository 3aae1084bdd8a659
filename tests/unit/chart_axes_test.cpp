#include "stats/chart_axes.h"

#include <gtest/gtest.h>

#include <string>

#include "captured_stream.h"
#include "core/dates.h"
#include "core/html_page.h"
#include "core/out_buffer.h"

namespace rv {
namespace {

// The labels of an axis from 0 up, one text.
std::string labelsOf(const ValueAxis& axis) {
    std::string text;
    for (unsigned k = 0; k <= axis.steps; ++k)
        text += (k ? " " : "") + axis.label(k);
    return text;
}

TEST(ChartAxes, ValueAxesStepByOneTwoOrFiveUpToTheMost) {
    struct Case {
        std::uint64_t most;
        bool bytes;
        const char* labels;
    };
    const Case cases[] = {
        {0, false, "0 1"},
        {3, false, "0 1 2 3"},
        {5, false, "0 2 4 6"},
        {126, false, "0 50 100 150"},
        {200, false, "0 50 100 150 200"},
        {201, false, "0 100 200 300"},
        {999999, true, "0 500000 1000000"},
        {1000000, true, "0 0.5M 1M"},           // from 1,000,000 bytes on in M, as the tables
        {230055403, true, "0 100M 200M 300M"},  // 219.4M
        {std::uint64_t{10} << 30, true, "0 5G 10G"},
        {UINT64_MAX, true, "0 5000000000G 10000000000G 15000000000G 20000000000G"},
    };
    for (const Case& c : cases) {
        const ValueAxis axis = c.bytes ? trafficAxis(c.most) : countAxis(c.most);
        EXPECT_EQ(labelsOf(axis), c.labels) << c.most;
        EXPECT_GE(axis.topValue(), static_cast<long double>(c.most)) << c.most;
    }
}

TEST(ChartAxes, DateAxesLabelWholeDaysWeeksOrMonths) {
    struct Case {
        const char* first;
        std::size_t days;
        const char* labels;  // "day:text" each
    };
    const Case cases[] = {
        {"2024-06-29", 2, "0:06-29 1:06-30"},
        {"2024-06-24", 7, "0:06-24 1:06-25 2:06-26 3:06-27 4:06-28 5:06-29 6:06-30"},
        {"2024-06-20", 11, "0:06-20 2:06-22 4:06-24 6:06-26 8:06-28 10:06-30"},
        // On Mondays: 2024-06-03 was one.
        {"2024-06-01", 30, "2:06-03 9:06-10 16:06-17 23:06-24"},
        {"2023-12-20", 110, "12:2024 43:Feb 72:Mar 103:Apr"},
        {"2023-07-02", 365, "61:Sep 122:Nov 183:2024 243:Mar 304:May"},
        {"2020-01-01", 3653, "0:2020 731:2022 1461:2024 2192:2026 2922:2028"},
    };
    for (const Case& c : cases) {
        std::string text;
        for (const DateLabel& label : dateLabels(dayNumber(c.first), c.days))
            text += (text.empty() ? "" : " ") + std::to_string(label.day) + ":" + label.text;
        EXPECT_EQ(text, c.labels) << c.first << " + " << c.days;
    }
}

// A traffic column reads in the form of its largest figure throughout.
TEST(ChartAxes, TrafficColumnsKeepTheFormOfTheirLargest) {
    struct Case {
        std::uint64_t largest, value;
        const char* cell;
    };
    const Case cases[] = {
        {999999, 131242, "<td>131242</td>"},
        {4404019, 131242, "<td title=\"131242 bytes\">0.1M</td>"},
        {4404019, 0, "<td title=\"0 bytes\">0.0M</td>"},
        {5683000000ULL, 4404019, "<td title=\"4404019 bytes\">4M</td>"},
        {std::uint64_t{200000} << 20, std::uint64_t{3} << 30,
         "<td title=\"3221225472 bytes\">3G</td>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(testing::bufferedText([&](OutBuffer& out) {
                      putTrafficCell(out, c.value, "bytes", trafficForm(c.largest));
                  }),
                  c.cell)
            << c.largest << " " << c.value;
}

}  // namespace
}  // namespace rv
