#include "pondrel/period_days.h"

#include <algorithm>
#include <functional>

namespace rv::pondrel {

void PeriodDays::close(Open& open, AddressBook& book, bool advancedCps,
                       TrafficCounters& lineTotals) {
    if (open.day == noDay) return;
    book.flushTallies(open.counters, advancedCps);
    if (days_.empty()) firstDay_ = open.day;
    // A day before the first one counted: a later line begins earlier, or
    // a record came out of order.
    if (open.day < firstDay_) {
        days_.insert(days_.begin(), static_cast<std::size_t>(firstDay_ - open.day),
                     TrafficCounters{});
        firstDay_ = open.day;
    }
    const auto index = static_cast<std::size_t>(open.day - firstDay_);
    if (index >= days_.size()) days_.resize(index + 1);
    addCounters(days_[index], open.counters);
    addCounters(lineTotals, open.counters);
    if (perEntry_) noteEntries(open.day, book);
    open.counters = TrafficCounters{};
    open.day = noDay;
    open.start = open.end = 0;
}

// What each entry's bytes grew by since the last day closed is this day's:
// the entries spawned meanwhile join at their place in the list.
void PeriodDays::noteEntries(std::int64_t day, const AddressBook& book) {
    const std::list<AddrEntry>& list = book.entries();
    if (list.size() != entries_.size()) {
        std::vector<EntryDays> joined;
        joined.reserve(list.size());
        auto known = entries_.begin();
        for (const AddrEntry& entry : list) {
            if (known != entries_.end() && known->entry == &entry)
                joined.push_back(std::move(*known++));
            else
                joined.push_back({&entry, 0, {}});
        }
        entries_ = std::move(joined);
    }
    auto kept = entries_.begin();
    for (const AddrEntry& entry : list) {
        EntryDays& e = *kept++;
        const std::uint64_t bytes = entry.bytesReceived + entry.bytesSent;
        if (bytes == e.seen) continue;
        if (!e.traffic.empty() && e.traffic.back().day == day)
            e.traffic.back().bytes += bytes - e.seen;
        else
            e.traffic.push_back({day, bytes - e.seen});
        e.seen = bytes;
    }
}

void PeriodDays::finish() {
    // Each line went through its days in order; the lines one after another.
    for (EntryDays& e : entries_) {
        std::vector<DayBytes>& t = e.traffic;
        std::stable_sort(t.begin(), t.end(),
                         [](const DayBytes& a, const DayBytes& b) { return a.day < b.day; });
        std::size_t kept = 0;
        for (const DayBytes& d : t) {
            if (kept > 0 && t[kept - 1].day == d.day)
                t[kept - 1].bytes += d.bytes;
            else
                t[kept++] = d;
        }
        t.resize(kept);
    }
    std::sort(entries_.begin(), entries_.end(), [](const EntryDays& a, const EntryDays& b) {
        return std::less<>{}(a.entry, b.entry);
    });
}

const std::vector<DayBytes>* PeriodDays::trafficOf(const AddrEntry& entry) const {
    const auto found = std::lower_bound(
        entries_.begin(), entries_.end(), &entry,
        [](const EntryDays& e, const AddrEntry* wanted) { return std::less<>{}(e.entry, wanted); });
    if (found == entries_.end() || found->entry != &entry || found->traffic.empty()) return nullptr;
    return &found->traffic;
}

}  // namespace rv::pondrel
