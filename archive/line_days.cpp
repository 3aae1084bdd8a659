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

void LineDays::begin(const LineDirectionRules& rules, std::int16_t timeShift,
                     std::int64_t beforeDay, const std::vector<ArchivedDay>& recorded,
                     std::vector<std::int64_t> again) {
    rules_ = rules;
    shift_ = std::int64_t{timeShift} * 3600;
    beforeDay_ = beforeDay;
    recordedDays_.clear();
    ends_.clear();
    for (const ArchivedDay& d : recorded) {
        recordedDays_.push_back(d.day);
        // A day that would end before the one before it holds nothing.
        ends_.push_back(std::max(shiftedEnd(d, timeShift), ends_.empty() ? noDay : ends_.back()));
    }
    held_.assign(recorded.size(), 0);
    again_ = std::move(again);
    lastDay_ = recorded.empty() ? noDay : recorded.back().day;
    lastEnd_ = ends_.empty() ? noDay : ends_.back();
    met_.clear();
    days_.clear();
    index_.clear();
    gathered_.clear();
    current_ = nullptr;
    heldCount_ = nullptr;
    spanStart_ = noDay;
    spanLength_ = 0;
    tally_ = Tally{};
}

LineDays::Tally LineDays::take(const SessionRecord& r, std::int64_t t, std::uint16_t fileDirection,
                               Tally tally) {
    if (static_cast<std::uint64_t>(t - spanStart_) >= spanLength_) {
        settle(tally);
        enterSpan(t);
        // A gathered day takes every record here.
        tally = current_ ? Tally{} : Tally{spanStart_, spanLength_, 0};
    }
    if (!current_) {
        ++tally.records;
        return tally;
    }
    ++current_->records;
    gather(r, t, fileDirection);
    return tally;
}

void LineDays::settle(const Tally& tally) {
    if (heldCount_ != nullptr) *heldCount_ += tally.records;
}

void LineDays::enterSpan(std::int64_t t) {
    current_ = nullptr;
    heldCount_ = nullptr;
    std::int64_t day = dayOfTime(t);
    std::int64_t end = 0;
    if (t < lastEnd_) {
        // A recorded day's span.
        const auto i = static_cast<std::size_t>(std::upper_bound(ends_.begin(), ends_.end(), t) -
                                                ends_.begin());
        spanStart_ = i == 0 ? noDay : ends_[i - 1];
        end = ends_[i];
        day = recordedDays_[i];
        spanLength_ = static_cast<std::uint64_t>(end - spanStart_);
        if (!std::binary_search(again_.begin(), again_.end(), day)) {
            heldCount_ = &held_[i];
            return;
        }
    } else {
        // After the last recorded day: on it still, or on a day of its own.
        if (day <= lastDay_) day = lastDay_;
        spanStart_ = day == lastDay_ ? lastEnd_ : std::max(day * 86400, lastEnd_);
        end = day * 86400 + 86400;
        spanLength_ = static_cast<std::uint64_t>(end - spanStart_);
        if (day >= beforeDay_) return;
    }
    current_ = &met_.try_emplace(day, ArchivedDay{day, 0, t, t, end - shift_}).first->second;
    current_->end = std::max(current_->end, end - shift_);
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
    heldCount_ = nullptr;
    spanStart_ = noDay;
    spanLength_ = 0;
    tally_ = Tally{};
    // The sums grouped by day once, each day's in the order they came.
    std::stable_sort(gathered_.begin(), gathered_.end(),
                     [](const Gathered& a, const Gathered& b) { return a.day < b.day; });
    index_.clear();  // its places no longer hold
}

bool LineDays::read(const Line& line, bool detectFormats, SourceOpener& opener,
                    FileDirectory& directory, std::time_t now, std::int64_t beforeDay,
                    const std::vector<ArchivedDay>& recorded, std::vector<std::int64_t> again) {
    HistorySource source = line.source;  // a pair's twin takes the copy's place
    HistoryReader reader(opener, directory, now);
    if (!reader.openHistory(source, detectFormats)) {
        failure_ = reader.openFailure();
        return false;
    }
    begin(LineDirectionRules{line.swapInOut != 0, reader.type(), source.n, source.m,
                             line.binkdAbortedOut != 0},
          line.timeShift, beforeDay, recorded, std::move(again));
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
