// A line's history read for the day archive: per local day, how many
// records it holds and the day's first and last record time, and for the
// days asked for the sums of every address and event kind. The records
// are taken as pondrel takes them (its filter, the line's TimeShift and
// direction rules), so that an archived day counts as the day read from
// the history would.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/day_archive.h"
#include "core/byte_source.h"
#include "core/config_model.h"
#include "core/session_record.h"

namespace rv {

// The local day of such a time.
inline std::int64_t dayOfTime(std::int64_t t) {
    return t >= 0 ? t / 86400 : (t - 86399) / 86400;
}

class LineDays {
  public:
    // Reads the line's history (and a pair's twin) once. Only days before
    // beforeDay are looked at; the sums of every day but those in skipped
    // (in order) are gathered. False, with the reason, when the history
    // cannot be opened.
    bool read(const Line& line, bool detectFormats, SourceOpener& opener, std::int64_t beforeDay,
              const std::vector<std::int64_t>& skipped);
    const std::string& failure() const { return failure_; }

    // Every day that holds a counted record, in order.
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

    std::string failure_;
    std::vector<ArchivedDay> days_;
    std::unordered_map<Key, std::size_t, KeyHash> index_;
    std::vector<Gathered> gathered_;
};

}  // namespace rv
