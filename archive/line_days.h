// A line's history read for the day archive: per local day, how many
// records it holds, and for the days asked for the day's first and last
// record time and the sums of every address and event kind. The records
// are taken as pondrel takes them (its filter, the line's TimeShift and
// direction rules), so that an archived day counts as the day read from
// the history would. ravlog hands it the records of its report reading
// (take), so that the history is read once; read() reads a history for
// itself.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/day_archive.h"
#include "core/byte_source.h"
#include "core/config_model.h"
#include "core/direction.h"
#include "core/session_record.h"

namespace rv {

// The local day of such a time.
inline std::int64_t dayOfTime(std::int64_t t) {
    return t >= 0 ? t / 86400 : (t - 86399) / 86400;
}

class LineDays {
  public:
    // Far enough from every counted time that no record falls on it.
    static constexpr std::int64_t noDay = std::numeric_limits<std::int64_t>::min() / 2;

    // Starts a line: only days before beforeDay are looked at; the sums of
    // every day but those in skipped (in order) are gathered.
    void begin(const LineDirectionRules& rules, std::int64_t beforeDay,
               std::vector<std::int64_t> skipped);
    // The records of the day at hand that are only counted (its sums are
    // not gathered): kept by the reading loop itself, so that such a
    // record costs a comparison and an addition.
    struct Tally {
        std::int64_t start = noDay;  // the day's first second
        std::uint64_t records = 0;
        bool count(std::int64_t t) {
            if (static_cast<std::uint64_t>(t - start) >= 86400) return false;
            ++records;
            return true;
        }
    };
    // The line's tally: a reading loop may keep a copy at hand and put it
    // back when it is done.
    Tally& tally() { return tally_; }
    // A record that pondrel counts (countedTime gave t), read from a file
    // of the direction given, that the tally did not count: it settles the
    // tally and returns the one for the record's day. (Taken and given
    // back by value, the loop's tally can stay in registers.)
    [[nodiscard]] Tally take(const SessionRecord& r, std::int64_t t, std::uint16_t fileDirection,
                             Tally tally);
    void take(const SessionRecord& r, std::int64_t t, std::uint16_t fileDirection) {
        if (!tally_.count(t)) tally_ = take(r, t, fileDirection, tally_);
    }
    // After the line's last record: days() and sumsOf() hold from here.
    void end();

    // begin, take every record of the line's history (and a pair's twin),
    // end. False, with the reason, when the history cannot be read whole.
    bool read(const Line& line, bool detectFormats, SourceOpener& opener, std::int64_t beforeDay,
              std::vector<std::int64_t> skipped);
    const std::string& failure() const { return failure_; }

    // Every day that holds a counted record, in order; the first and last
    // times only of the days gathered.
    const std::vector<ArchivedDay>& days() const { return days_; }
    // The sums of a day asked for, in the order their first records came.
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

    void enterDay(std::int64_t t);
    void settle(const Tally& tally);
    void gather(const SessionRecord& r, std::int64_t t, std::uint16_t fileDirection);

    std::string failure_;
    LineDirectionRules rules_{};
    std::int64_t beforeDay_ = 0;
    std::vector<std::int64_t> skipped_;
    // The days met, by day; the one last met is kept at hand with its first
    // second. A day only counted (skipped, or not looked at) counts in a
    // tally, settled into it when another day comes.
    std::map<std::int64_t, ArchivedDay> met_;
    ArchivedDay* current_ = nullptr;
    std::int64_t dayStart_ = 0;
    bool gathering_ = false;
    Tally tally_;
    std::vector<ArchivedDay> days_;
    std::unordered_map<Key, std::size_t, KeyHash> index_;
    std::vector<Gathered> gathered_;
};

}  // namespace rv
