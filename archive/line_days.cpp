#include "archive/line_days.h"

#include <algorithm>
#include <map>

#include "core/direction.h"
#include "core/history_reader.h"
#include "core/session_validity.h"

namespace rv {

namespace {

std::uint64_t addressKey(const FidoAddress& a) {
    return std::uint64_t{static_cast<std::uint16_t>(a.zone)} |
           std::uint64_t{static_cast<std::uint16_t>(a.net)} << 16 |
           std::uint64_t{static_cast<std::uint16_t>(a.node)} << 32 |
           std::uint64_t{static_cast<std::uint16_t>(a.point)} << 48;
}

}  // namespace

bool LineDays::read(const Line& line, bool detectFormats, SourceOpener& opener,
                    std::int64_t beforeDay, const std::vector<std::int64_t>& skipped) {
    days_.clear();
    index_.clear();
    gathered_.clear();
    HistorySource source = line.source;  // a pair's twin takes the copy's place
    HistoryReader reader(opener);
    if (!reader.openHistory(source, detectFormats)) {
        failure_ = reader.openFailure();
        return false;
    }
    const LineDirectionRules rules{line.swapInOut != 0, reader.type(), source.n, source.m,
                                   line.binkdAbortedOut != 0};
    // The days met, by day; records mostly follow one another on one day,
    // so the day last met is kept at hand.
    std::map<std::int64_t, ArchivedDay> met;
    ArchivedDay* current = nullptr;
    bool currentWanted = false;
    SessionRecord r;
    const bool whole = reader.readWithTwin(source, [&] {
        while (reader.readSession(r)) {
            const bool zeroDuration = r.duration == 0;
            if (zeroDuration) r.duration = 1;
            const std::optional<std::int64_t> t = countedTime(r, line.timeShift);
            if (!t) continue;
            const std::int64_t day = dayOfTime(*t);
            if (day >= beforeDay) continue;
            if (current == nullptr || current->day != day) {
                auto [it, added] = met.try_emplace(day, ArchivedDay{day, 0, *t, *t});
                current = &it->second;
                currentWanted = !std::binary_search(skipped.begin(), skipped.end(), day);
            }
            ++current->records;
            current->firstTime = std::min(current->firstTime, *t);
            current->lastTime = std::max(current->lastTime, *t);
            if (!currentWanted) continue;
            r.flags = applyDirectionRules(static_cast<std::uint16_t>(r.flags | reader.direction()),
                                          rules);
            const std::uint16_t kind = r.flags & SessionFlags::kindMask;
            const auto [it, added] =
                index_.try_emplace(Key{day, addressKey(r.address), kind}, gathered_.size());
            if (added) gathered_.push_back({day, ArchivedSums{r.address, kind, {}, 0}});
            ArchivedSums& sums = gathered_[it->second].sums;
            countTraffic(sums.counters, r, zeroDuration, true);
            sums.protectedSessions += r.has(SessionFlags::protectedSession);
        }
    });
    if (!whole) {
        failure_ = reader.openFailure();
        return false;
    }
    for (const auto& [day, facts] : met)
        days_.push_back(facts);
    // The sums grouped by day once, each day's in the order they came.
    std::stable_sort(gathered_.begin(), gathered_.end(),
                     [](const Gathered& a, const Gathered& b) { return a.day < b.day; });
    index_.clear();  // its places no longer hold
    return true;
}

std::vector<const ArchivedSums*> LineDays::sumsOf(std::int64_t day) const {
    const auto [from, to] =
        std::equal_range(gathered_.begin(), gathered_.end(), day,
                         [](const auto& a, const auto& b) { return dayOf(a) < dayOf(b); });
    std::vector<const ArchivedSums*> sums;
    for (auto g = from; g != to; ++g)
        sums.push_back(&g->sums);
    return sums;
}

}  // namespace rv
