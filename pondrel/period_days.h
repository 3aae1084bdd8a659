// The period's days: what every local day (in the lines' clock after
// TimeShift, as the period's From and To) counted, for the JSON's "days"
// and the page's charts, and for the page each entry's traffic per day.
//
// Records are not counted per day one by one: a line counts into the day
// it is on, and when its records move to another day (a history is in
// time order, so about once a day) the day is closed: the line's tallies
// are flushed and what the day counted goes to the day and to the line's
// totals. A record costs two comparisons more.
#pragma once

#include <cstdint>
#include <vector>

#include "core/dates.h"
#include "stats/address_book.h"
#include "stats/traffic_counters.h"

namespace rv::pondrel {

// Bytes received and sent on one day.
struct DayBytes {
    std::int64_t day = 0;
    std::uint64_t bytes = 0;
};

class PeriodDays {
  public:
    // The day a line is counting and what it counted on it since opened.
    struct Open {
        std::int64_t day = noDay;
        std::int64_t start = 0;  // its first second and the one after its last, in the line's clock
        std::int64_t end = 0;
        TrafficCounters counters;

        bool holds(std::int64_t shifted) const { return shifted >= start && shifted < end; }
    };

    // The page draws each entry's traffic per day: keep it.
    void keepEntryTraffic() { perEntry_ = true; }

    // Closes the open day and opens day (days since 1970 in the line's clock).
    void moveTo(Open& open, std::int64_t day, AddressBook& book, bool advancedCps,
                TrafficCounters& lineTotals) {
        close(open, book, advancedCps, lineTotals);
        open.day = day;
        open.start = day * 86400;
        open.end = open.start + 86400;
    }
    // The line's tallies are handed to their entries, what the line
    // counted since the day opened to the day and the line's totals.
    void close(Open& open, AddressBook& book, bool advancedCps, TrafficCounters& lineTotals);

    // Once, after the last line.
    void finish();

    // The first day counted and the counters of it and each day after, up
    // to the last one counted; empty when none was.
    std::int64_t firstDay() const { return firstDay_; }
    const std::vector<TrafficCounters>& days() const { return days_; }

    // An entry's traffic per day, in order, the days without traffic left
    // out; null unless kept (or for an entry that never counted a byte).
    const std::vector<DayBytes>* trafficOf(const AddrEntry& entry) const;

  private:
    struct EntryDays {
        const AddrEntry* entry;
        std::uint64_t seen = 0;  // its bytes when the last day closed
        std::vector<DayBytes> traffic;
    };

    void noteEntries(std::int64_t day, const AddressBook& book);

    std::int64_t firstDay_ = 0;
    std::vector<TrafficCounters> days_;
    bool perEntry_ = false;
    // In the book's list order while counting; by entry after finish.
    std::vector<EntryDays> entries_;
};

}  // namespace rv::pondrel
