// Local wall-clock times as some histories store them (calendar fields
// with no zone), turned into calendar time.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <limits>

namespace rv {

// Reads local calendar fields as mktime normalises them, but so that the
// answer depends on the fields alone: mktime left to choose the
// daylight-saving flag reads a wall time of the hour a clock goes back by
// the offset of its own previous call, so one record would read
// differently after another. Here such a time always reads as its first
// occurrence, as the local clock converter reads it; a time of the hour
// skipped in spring is left to mktime as before.
//
// The offset is learnt once per local day from the zone's offsets two
// days before and three days after it: equal offsets (no zone has changed
// twice within six days since 1970) leave the day one offset and no C
// library call; a day with a change checks each time against both.
class WallClockReader {
  public:
    std::time_t toCalendar(const std::tm& fields);

  private:
    std::time_t wallToCalendar(const std::tm& fields);

    struct Day {
        std::int64_t day =
            std::numeric_limits<std::int64_t>::min();  // local days since 1970; none yet
        std::int64_t before = 0;  // UTC offset before a change in or near the day
        std::int64_t after = 0;   // and after it; equal when there is none
        bool known = false;       // false: the zone could not tell; mktime decides
    };
    static constexpr std::size_t dayCount = 64;  // a power of two
    std::array<Day, dayCount> days_{};
};

}  // namespace rv
