// The checks every row read from the archive passes before anything of it
// is counted: the file may have been edited by hand or damaged, and a
// value out of its range must neither wrap a sum nor count twice.
#pragma once

#include <cstdint>
#include <string>

#include "archive/day_archive.h"
#include "core/session_record.h"
#include "core/session_validity.h"

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
    negative,
    counter,
    parts,
    moreSessions,
};

// The most records the days read may hold, each day's and all together:
// a record adds one session, at most a day (longestSession) of time and 32
// bits of bytes each way, so that no sum of the sums read (a group's, a
// line's, the report's), nor such a sum with what the histories add,
// wraps 64 bits. A thousand years of a node of a million sessions a year
// stay below it.
inline constexpr std::uint64_t archivedRecordLimit = std::uint64_t{1} << 31;

// Reads the columns day, records, first_time, last_time and history_end
// (from column 0 on; NULL for a day recorded before the ends were kept) of
// a days row into day, and checks them: a date from 1970 on, the records
// within the limit, the times in order and within the day (give or take
// two days, more than any zone and TimeShift could move them), and so the
// end, which is in the history's own clock.
RowFault readDayRow(sqlite3_stmt* st, ArchivedDay& day);

// Reads the columns zone to protected (from column 0 on) of a traffic row
// into s, refusing what is no integer or does not fit its field; the
// values themselves are checked by SumsCheck.
RowFault readTrafficRow(sqlite3_stmt* st, ArchivedSums& s);

// The sums of the days read, rows or packed: an address as a counted
// record has it, kind bits of The Brake!'s kinds only, at least one
// session, no more time and bytes than its sessions can hold, a part
// (sessions in, time out, ...) within its whole, a day's sessions within
// its records and the records of all days read within the limit.
class SumsCheck {
  public:
    RowFault startDay(const ArchivedDay& day) {
        sessionsLeft_ = day.records;
        recordsRead_ += day.records;  // a day's are within the limit
        return recordsRead_ > archivedRecordLimit ? RowFault::records : RowFault::none;
    }
    // Inline: pondrel checks a year's sums, about 150,000, in its reading
    // loop, with a few comparisons each.
    RowFault check(const ArchivedSums& s) {
        const FidoAddress& a = s.address;
        if (a.zone <= 0 || a.net < 0 || a.node < 0 || a.point < 0) return RowFault::address;
        if ((s.kind & ~SessionFlags::kindMask) != 0) return RowFault::kind;
        const TrafficCounters& c = s.counters;
        static_assert(longestSession < (1 << 17));
        const bool counted = (c.sessions != 0) & ((c.timeOnline >> 17) < c.sessions) &
                             ((c.bytesReceived >> 32) < c.sessions) &
                             ((c.bytesSent >> 32) < c.sessions);
        if (!counted) return RowFault::counter;
        const bool partsFit = (c.sessionsIn <= c.sessions) & (c.sessionsOut <= c.sessions) &
                              (c.noTrafficSessions <= c.sessions) &
                              (c.zeroDurationSessions <= c.sessions) &
                              (s.protectedSessions <= c.sessions) & (c.timeIn <= c.timeOnline) &
                              (c.timeOut <= c.timeOnline) & (c.trafficTime <= c.timeOnline);
        if (!partsFit) return RowFault::parts;
        if (c.sessions > sessionsLeft_) return RowFault::moreSessions;
        sessionsLeft_ -= c.sessions;
        return RowFault::none;
    }

  private:
    std::uint64_t sessionsLeft_ = 0;
    std::uint64_t recordsRead_ = 0;
};

// The reason a run gives for a damaged row: "damaged day 2024-04-10
// (times outside the day)", "damaged sums of 2024-04-10 (unknown kind
// bits)". A day that is no date is not named.
std::string damagedDay(const ArchivedDay& day, RowFault fault);
std::string damagedSums(std::int64_t day, RowFault fault);

}  // namespace rv
