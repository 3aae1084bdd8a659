// A line's history read for the day archive: per recorded day, how many
// records it holds, and for the days to record the first and last record
// time and the sums of every address and event kind. The records
// are taken as pondrel takes them (its filter, the line's TimeShift and
// direction rules), so that an archived day counts as the day read from
// the history would. ravlog hands it the records of its report reading
// (take), so that the history is read once; read() reads a history for
// itself.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/day_archive.h"
#include "core/byte_source.h"
#include "core/config_model.h"
#include "core/dates.h"
#include "core/direction.h"
#include "core/file_directory.h"
#include "core/session_record.h"

namespace rv {

// A line's days are spans of its history's clock that follow each other:
// a recorded day takes the records from the end of the day recorded
// before it up to its own end, so that a record counts on one day
// whatever TimeShift the line has had since. A record after the last
// recorded day's end goes to its day in the line's clock, and one that
// clock puts on the last recorded day (after a smaller TimeShift) is
// added to that day.
class LineDays {
  public:
    // Starts a line: recorded holds the days the archive has (in order),
    // again those of them gathered anew; only days before beforeDay are
    // looked at. The sums of every other day are gathered.
    void begin(const LineDirectionRules& rules, std::int16_t timeShift, std::int64_t beforeDay,
               const std::vector<ArchivedDay>& recorded, std::vector<std::int64_t> again);
    // The records of the span at hand that are only counted (its sums are
    // not gathered): kept by the reading loop itself, so that such a
    // record costs a comparison and an addition.
    struct Tally {
        std::int64_t start = noDay;  // the span's first second
        std::uint64_t length = 0;
        std::uint64_t records = 0;
        bool count(std::int64_t t) {
            if (static_cast<std::uint64_t>(t - start) >= length) return false;
            ++records;
            return true;
        }
    };
    // The line's tally: a reading loop may keep a copy at hand and put it
    // back when it is done.
    Tally& tally() { return tally_; }
    // A record that pondrel counts (countedTime gave t), read from a file
    // of the direction given, that the tally did not count: it settles the
    // tally and returns the one for the record's span. (Taken and given
    // back by value, the loop's tally can stay in registers.)
    [[nodiscard]] Tally take(const SessionRecord& r, std::int64_t t, std::uint16_t fileDirection,
                             Tally tally);
    void take(const SessionRecord& r, std::int64_t t, std::uint16_t fileDirection) {
        if (!tally_.count(t)) tally_ = take(r, t, fileDirection, tally_);
    }
    // After the line's last record: the results below hold from here.
    void end();

    // begin, take every record of the line's history (and a pair's twin),
    // end. False, with the reason, when the history cannot be read whole.
    [[nodiscard]] bool read(const Line& line, bool detectFormats, SourceOpener& opener,
                            FileDirectory& directory, std::time_t now, std::int64_t beforeDay,
                            const std::vector<ArchivedDay>& recorded,
                            std::vector<std::int64_t> again);
    const std::string& failure() const { return failure_; }

    // Parallel to recorded: the records the history holds in each day's
    // span (0 for those gathered again).
    const std::vector<std::uint64_t>& held() const { return held_; }
    // The days gathered, in order, with their ends: the new ones, those
    // gathered again, and the last recorded day when records were added
    // to it (with only those).
    const std::vector<ArchivedDay>& days() const { return days_; }
    // The sums of a day gathered, in the order their first records came.
    std::vector<const ArchivedSums*> sumsOf(std::int64_t day) const;

  private:
    struct Key {
        std::int64_t day;
        std::uint64_t address;
        std::uint16_t kind;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const {
            std::uint64_t h = k.address ^ (static_cast<std::uint64_t>(k.day) << 20) ^ k.kind;
            h ^= h >> 33;
            h *= 0xFF51AFD7ED558CCDu;
            h ^= h >> 33;
            return static_cast<std::size_t>(h);
        }
    };
    struct Gathered {
        std::int64_t day;
        ArchivedSums sums;
    };
    static std::int64_t dayOf(std::int64_t day) { return day; }
    static std::int64_t dayOf(const Gathered& g) { return g.day; }

    void enterSpan(std::int64_t t);
    void settle(const Tally& tally);
    void gather(const SessionRecord& r, std::int64_t t, std::uint16_t fileDirection);

    std::string failure_;
    LineDirectionRules rules_{};
    std::int64_t shift_ = 0;  // TimeShift in seconds
    std::int64_t beforeDay_ = 0;
    // The recorded days, their ends in the line's clock (never falling)
    // and the records their spans hold; the last one's day and end.
    std::vector<std::int64_t> recordedDays_;
    std::vector<std::int64_t> ends_;
    std::vector<std::uint64_t> held_;
    std::vector<std::int64_t> again_;
    std::int64_t lastDay_ = noDay;
    std::int64_t lastEnd_ = noDay;
    // The span at hand: its first second and length, and where its
    // records go: a gathered day, or the count of a recorded one (or
    // nowhere, a day not looked at).
    std::int64_t spanStart_ = noDay;
    std::uint64_t spanLength_ = 0;
    ArchivedDay* current_ = nullptr;
    std::uint64_t* heldCount_ = nullptr;
    // The days gathered, by day.
    std::map<std::int64_t, ArchivedDay> met_;
    Tally tally_;
    std::vector<ArchivedDay> days_;
    std::unordered_map<Key, std::size_t, KeyHash> index_;
    std::vector<Gathered> gathered_;
};

}  // namespace rv
