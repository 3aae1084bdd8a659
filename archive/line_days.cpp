#include "archive/line_days.h"

#include <algorithm>

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

void LineDays::begin(const LineDirectionRules& rules, std::int64_t beforeDay,
                     std::vector<std::int64_t> skipped) {
    rules_ = rules;
    beforeDay_ = beforeDay;
    skipped_ = std::move(skipped);
    met_.clear();
    days_.clear();
    index_.clear();
    gathered_.clear();
    current_ = nullptr;
    dayStart_ = noDay;
    gathering_ = false;
    tally_ = Tally{};
}

LineDays::Tally LineDays::take(const SessionRecord& r, std::int64_t t, std::uint16_t fileDirection,
                               Tally tally) {
    if (static_cast<std::uint64_t>(t - dayStart_) >= 86400) {
        settle(tally);
        enterDay(t);
        // A gathered day takes every record here.
        tally = Tally{gathering_ ? noDay : dayStart_, 0};
    }
    if (!gathering_) {
        ++tally.records;
        return tally;
    }
    ++current_->records;
    gather(r, t, fileDirection);
    return tally;
}

void LineDays::settle(const Tally& tally) {
    if (current_ != nullptr && !gathering_) current_->records += tally.records;
}

void LineDays::enterDay(std::int64_t t) {
    const std::int64_t day = dayOfTime(t);
    dayStart_ = day * 86400;
    if (day >= beforeDay_) {
        current_ = nullptr;
        gathering_ = false;
        return;
    }
    current_ = &met_.try_emplace(day, ArchivedDay{day, 0, t, t}).first->second;
    gathering_ = !std::binary_search(skipped_.begin(), skipped_.end(), day);
}

void LineDays::gather(const SessionRecord& record, std::int64_t t, std::uint16_t fileDirection) {
    current_->firstTime = std::min(current_->firstTime, t);
    current_->lastTime = std::max(current_->lastTime, t);
    SessionRecord r = record;
    const bool zeroDuration = r.duration == 0;
    if (zeroDuration) r.duration = 1;
    r.flags = applyDirectionRules(static_cast<std::uint16_t>(r.flags | fileDirection), rules_);
    const std::uint16_t kind = r.flags & SessionFlags::kindMask;
    const auto [it, added] =
        index_.try_emplace(Key{current_->day, addressKey(r.address), kind}, gathered_.size());
    if (added) gathered_.push_back({current_->day, ArchivedSums{r.address, kind, {}, 0}});
    ArchivedSums& sums = gathered_[it->second].sums;
    countTraffic(sums.counters, r, zeroDuration, true);
    sums.protectedSessions += r.has(SessionFlags::protectedSession);
}

void LineDays::end() {
    settle(tally_);
    for (const auto& [day, facts] : met_)
        days_.push_back(facts);
    met_.clear();
    current_ = nullptr;
    dayStart_ = noDay;
    tally_ = Tally{};
    // The sums grouped by day once, each day's in the order they came.
    std::stable_sort(gathered_.begin(), gathered_.end(),
                     [](const Gathered& a, const Gathered& b) { return a.day < b.day; });
    index_.clear();  // its places no longer hold
}

bool LineDays::read(const Line& line, bool detectFormats, SourceOpener& opener,
                    std::int64_t beforeDay, std::vector<std::int64_t> skipped) {
    HistorySource source = line.source;  // a pair's twin takes the copy's place
    HistoryReader reader(opener);
    if (!reader.openHistory(source, detectFormats)) {
        failure_ = reader.openFailure();
        return false;
    }
    begin(LineDirectionRules{line.swapInOut != 0, reader.type(), source.n, source.m,
                             line.binkdAbortedOut != 0},
          beforeDay, std::move(skipped));
    SessionRecord r;
    const bool whole = reader.readWithTwin(source, [&] {
        while (reader.readSession(r))
            if (const std::optional<std::int64_t> t = countedTime(r, line.timeShift))
                take(r, *t, reader.direction());
    });
    end();
    if (!whole) {
        failure_ = reader.openFailure();
        return false;
    }
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
