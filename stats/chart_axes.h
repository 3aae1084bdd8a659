// The steps of the pages' chart axes, as a person would choose them: a
// value axis from 0 in steps of 1, 2 or 5 times a power of ten up to the
// first step at or above the most, and a date axis labelled every day,
// two days, week, fortnight or whole months, as many labels as fit a
// phone's width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rv {

// A value axis: steps intervals of step each, the top at steps * step.
// Traffic axes count in tenths of their unit (bytes, M or G, the units of
// the text tables), so that a step can be half an M.
struct ValueAxis {
    std::uint64_t step;
    unsigned steps;
    std::uint64_t unit = 1;        // of the value (bytes) in one counted unit
    bool tenths = false;           // the axis counts tenths of the unit
    std::string_view suffix = "";  // "", "M" or "G"
    // The top in the value's own units (sessions, bytes), which the bars
    // are scaled to.
    long double topValue() const;
    // The label of the k-th line from 0: "0", "20M", "2.5M".
    std::string label(unsigned k) const;
};

// At most four steps; an axis of no value at all runs from 0 to 1.
ValueAxis countAxis(std::uint64_t most);
// The bytes of a day: raw bytes below 1,000,000 as the tables show them,
// M (2^20) below 10 G, G above.
ValueAxis trafficAxis(std::uint64_t bytes);

// A label of a date axis: the day (an index from the axis' first day) it
// stands under, and its text: "06-30" on a day axis, "Jul" on a month
// axis, the year ("2024") for January.
struct DateLabel {
    std::size_t day;
    std::string text;
};
inline constexpr std::size_t maxDateLabels = 7;
std::vector<DateLabel> dateLabels(std::int64_t firstDay, std::size_t days);

}  // namespace rv
