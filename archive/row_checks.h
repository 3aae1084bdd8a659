// The checks every row read from the archive passes before anything of it
// is counted: the file may have been edited by hand or damaged, and a
// value out of its range must neither wrap a sum nor count twice.
#pragma once

#include <array>
#include <cstdint>
#include <iterator>
#include <string>

#include "archive/day_archive.h"

struct sqlite3_stmt;

namespace rv {

// What is wrong with a row; none when it may be counted.
enum class RowFault : std::uint8_t {
    none,
    notAnInteger,
    notADate,
    records,
    times,
    address,
    kind,
    counter,
    parts,
    moreSessions,
};

// Every count, time or byte sum a value holds, and what the values of one
// column add up to over all days read, stay below this: no sum of them,
// nor such a sum plus what the histories add, wraps 64 bits.
inline constexpr std::uint64_t archivedValueLimit = std::uint64_t{1} << 62;

// Reads the columns day, records, first_time and last_time (from column 0
// on) of a days row into day, and checks them: a date from 1970 on, the
// records within the limit, the times in order and within the day (give
// or take two days, more than any zone and TimeShift could move them).
RowFault readDayRow(sqlite3_stmt* st, ArchivedDay& day);

// Reads the columns zone to protected (from column 0 on) of a traffic row
// into s, refusing what is no integer or does not fit its field; the
// values themselves are checked by SumsCheck.
RowFault readTrafficRow(sqlite3_stmt* st, ArchivedSums& s);

// The sums of the days read, rows or packed: an address as a counted
// record has it, kind bits of The Brake!'s kinds only, every counter and
// the sums of every counter within the limit, a part (sessions in, time
// out, ...) within its whole, and a day's sessions within its records.
class SumsCheck {
  public:
    void startDay(const ArchivedDay& day) { sessionsLeft_ = day.records; }
    RowFault check(const ArchivedSums& s);

  private:
    std::uint64_t sessionsLeft_ = 0;
    std::array<std::uint64_t, std::size(archivedCounters) + 1> totals_{};
};

// The reason a run gives for a damaged row: "damaged day 2024-04-10
// (times outside the day)", "damaged sums of 2024-04-10 (unknown kind
// bits)". A day that is no date is not named.
std::string damagedDay(const ArchivedDay& day, RowFault fault);
std::string damagedSums(std::int64_t day, RowFault fault);

}  // namespace rv
