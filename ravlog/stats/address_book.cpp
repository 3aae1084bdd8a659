#include "ravlog/stats/address_book.h"

#include "core/format.h"

// The walk over the entries costs time in proportion to the list, and a
// busy node reads millions of sessions from a few thousand addresses. So
// the outcome of the walk (the entries counted into and how the walk ended)
// is kept per address and kind marker, and the walk runs once per address.
//
// Why a kept outcome stays right while groups spawn entries:
//
// The walk depends only on the address bytes and on whether the session
// carries kind bits; the list changes only by spawns, and a spawn S for an
// address B goes into the run of its group G (the entries between G and
// the next entry with a wildcard or group bit), where S copies G's fixed
// components and B's values at G's '#' components. So S matches an address
// only if G does. Take an address A whose outcome is kept:
//
// - A's walk ended before G: S lies behind that end.
// - A's walk passed G without counting there: either G does not match A,
//   and then S does not either, or A is a kind session, which passes S as
//   it passed G (S has no kind bits and is not excluded).
// - A's walk counted into G and went on to its own entry P in G's run:
//   A's stepping passed only entries lower than A and stopped at P. S is
//   inserted before the entry Y where B's stepping stopped (Y is above B).
//   If Y lies behind P, S lies behind P too. Otherwise A's stepping now
//   meets S, and it must still pass it, that is B must compare lower than
//   A. When every entry of the run compares as a whole address (G has no
//   '*' component, so neither have its spawns; configured plain entries
//   never have one), the order is total and B < Y <= P = A. When G has '*'
//   components but its run holds spawns only, all of them compare on the
//   same components, they stand strictly ascending, and again B < Y <= P.
//   When G has '*' components and configured entries stand in its run, the
//   two orders mix and B may stop in front of A's entry (2:4500/# then
//   2:4500/30.5: a session from 30.0 spawns 30.* in front of 30.5, and 30.5
//   now finds 30.*). Only for such groups a spawn renews the group's
//   generation, which sends every outcome through the group back to the walk.

namespace rv {

namespace {

constexpr std::uint16_t wildcardBits = AddrFlags::hasAny | AddrFlags::group;

std::uint64_t packAddress(const FidoAddress& a) {
    return std::uint64_t{static_cast<std::uint16_t>(a.zone)} |
           std::uint64_t{static_cast<std::uint16_t>(a.net)} << 16 |
           std::uint64_t{static_cast<std::uint16_t>(a.node)} << 32 |
           std::uint64_t{static_cast<std::uint16_t>(a.point)} << 48;
}

bool hasAnyComponent(const FidoAddress& a) {
    return a.zone == anyComponent || a.net == anyComponent || a.node == anyComponent ||
           a.point == anyComponent;
}

HistoryRow emptyHistoryRow(const ChartLayout* layout) {
    HistoryRow row;
    if (layout == nullptr) return row;
    layout->historyTemplate.copy(row.chars.data(), chartCells);
    row.size = chartCells;
    return row;
}

}  // namespace

std::size_t AddressBook::WalkKeyHash::operator()(const WalkKey& key) const {
    std::uint64_t x = key.address ^ (key.hasKind ? 0x9E3779B97F4A7C15u : 0);
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDu;
    x ^= x >> 33;
    return static_cast<std::size_t>(x);
}

AddressBook::AddressBook(const std::vector<AddrSpec>& specs, const ChartLayout* layout)
    : layout_(layout) {
    for (const AddrSpec& spec : specs) {
        AddrEntry& entry = entries_.emplace_back();
        entry.pattern = spec.pattern;
        entry.flags = spec.flags;
        // A kind entry is matched by its event key alone; it is never a group.
        if (entry.has(AddrFlags::kindMask)) entry.flags &= ~wildcardBits;
        entry.displayName = spec.displayName;
        entry.historyRow = emptyHistoryRow(layout);
    }
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (!it->has(AddrFlags::group)) continue;
        bool configuredInRun = false;
        for (auto next = std::next(it); next != entries_.end() && !next->has(wildcardBits);
             ++next) {
            configuredInRun = true;
        }
        groupRuns_[&*it].spawnsReorder = configuredInRun && hasAnyComponent(it->pattern);
    }
}

// Steps over the entries behind the group that compare lower than the
// address, and takes the next one when it equals the address; otherwise a
// new entry goes in at that point, so spawned entries stand in ascending
// order up to the next wildcard or group entry.
AddressBook::Position AddressBook::ownEntry(Position group, const FidoAddress& address) {
    auto pos = std::next(group);
    while (pos != entries_.end() && !pos->has(wildcardBits) &&
           compareAddress(pos->pattern, address) < 0) {
        ++pos;
    }
    if (pos != entries_.end() && !pos->has(wildcardBits) &&
        compareAddress(pos->pattern, address) == 0) {
        return pos;
    }
    AddrEntry spawned;
    const FidoAddress& g = group->pattern;
    spawned.pattern = {g.zone == anyComponent ? anyComponent : address.zone,
                       g.net == anyComponent ? anyComponent : address.net,
                       g.node == anyComponent ? anyComponent : address.node,
                       g.point == anyComponent ? anyComponent : address.point};
    spawned.displayName = group->displayName;
    spawned.historyRow = emptyHistoryRow(layout_);
    GroupRun& run = groupRuns_[&*group];
    if (run.spawnsReorder) ++run.generation;
    return entries_.insert(pos, std::move(spawned));
}

AddressBook::Outcome AddressBook::walk(const FidoAddress& address, bool hasKind) {
    Outcome outcome;
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (compareAddress(it->pattern, address) != 0) {
            ++it;
            continue;
        }
        if (it->has(AddrFlags::excluded)) {
            outcome.end = WalkEnd::excludedEntry;
            break;
        }
        // Events of The Brake! count only in kind entries.
        if (hasKind && !it->has(AddrFlags::kindMask)) {
            ++it;
            continue;
        }
        outcome.targets[outcome.targetCount++] = &*it;
        if (!it->has(AddrFlags::group)) {
            outcome.end = WalkEnd::plainEntry;
            break;
        }
        // Groups carry no kind bits, so only a mail session gets here, and
        // its own entry (neither group nor kind entry) ends the walk.
        const GroupRun& run = groupRuns_.find(&*it)->second;  // every group has its run
        it = ownEntry(it, address);
        if (run.spawnsReorder) {
            outcome.run = &run;
            outcome.generation = run.generation;
        }
    }
    return outcome;
}

MatchResult AddressBook::matchSession(const SessionRecord& session, const MatchContext& context) {
    const bool hasKind = session.has(SessionFlags::kindMask);
    const WalkKey key{packAddress(session.address), hasKind};
    auto found = outcomes_.find(key);
    if (found == outcomes_.end()) {
        found = outcomes_.emplace(key, walk(session.address, hasKind)).first;
    } else if (found->second.run != nullptr &&
               found->second.run->generation != found->second.generation) {
        found->second = walk(session.address, hasKind);
    }
    const Outcome& outcome = found->second;

    MatchResult result;
    result.end = outcome.end;
    result.counted = outcome.targetCount > 0;
    for (std::size_t i = 0; i < outcome.targetCount; ++i) {
        countSession(*outcome.targets[i], session, context, layout_);
    }
    if (outcome.end == WalkEnd::plainEntry) {
        result.accountingEntry = outcome.targets[outcome.targetCount - 1];
        if (session.has(SessionFlags::protectedSession)) {
            result.accountingEntry->flags |= AddrFlags::hasProtected;
        }
    }
    return result;
}

void countSession(AddrEntry& entry, const SessionRecord& session, const MatchContext& context,
                  const ChartLayout* layout) {
    if (context.advancedCps) entry.flags |= AddrFlags::advancedCps;
    entry.flags |= AddrFlags::matched;
    entry.sessions += 1;
    entry.timeOnline += session.duration;
    if (context.zeroDuration) entry.zeroDurationSessions += 1;
    entry.bytesReceived += session.bytesReceived;
    entry.bytesSent += session.bytesSent;
    const bool noTraffic = session.bytesReceived == 0 && session.bytesSent == 0;
    if (noTraffic) {
        entry.noTrafficSessions += 1;
    } else {
        entry.cpsTime += session.duration;
    }
    if (session.has(SessionFlags::incoming)) {
        entry.sessionsIn += 1;
        entry.timeIn += session.duration;
    }
    if (session.has(SessionFlags::outgoing)) {
        entry.sessionsOut += 1;
        entry.timeOut += session.duration;
    }
    if (layout == nullptr) return;
    if (context.noDrawZero && noTraffic && !session.has(SessionFlags::kindMask)) return;
    markHistoryRow(entry.historyRow, context.axisStart, context.axisEnd, *layout);
}

void markHistoryRow(HistoryRow& row, std::uint64_t start, std::uint64_t end,
                    const ChartLayout& layout) {
    if (row.size < chartCells || end < start) return;
    const std::uint64_t slot = layout.slotSeconds;
    const std::uint64_t halfSlot = layout.halfSlot;
    std::uint64_t first = start / slot;
    std::uint64_t last = end / slot;
    if (first != last) {
        // A slot at either end counts only when the session fills half of it.
        const std::uint64_t head = (first + 1) * slot - start;
        const std::uint64_t tail = end - last * slot;
        if (tail >= halfSlot && head < halfSlot) {
            ++first;
        } else if (head >= halfSlot && tail < halfSlot) {
            --last;
        } else if (head < halfSlot && tail < halfSlot) {
            if (last - first > 1 && head + tail < halfSlot) {
                ++first;
                --last;
            } else if (head >= tail) {
                --last;
            } else {
                ++first;
            }
        }
    }
    constexpr std::uint64_t lastSlot = chartSlots - 1;
    if (last > lastSlot) last = lastSlot;
    for (std::uint64_t i = first; i <= last; ++i) {
        char& cell = row.chars[(i + 1) / 2];
        if (i % 2 == 1) {  // left half
            cell = cell == 'B' ? 'C' : cell == 'C' ? 'C' : 'A';
        } else {
            cell = cell == 'A' ? 'C' : cell == 'C' ? 'C' : 'B';
        }
    }
}

std::uint64_t entryCps(const AddrEntry& entry) {
    const std::uint64_t bytes = entry.bytesReceived + entry.bytesSent;
    return entry.cpsTime > 1 ? bytes / entry.cpsTime : bytes;
}

bool isPrintable(const AddrEntry& entry, bool keepAll) {
    if (entry.has(AddrFlags::excluded)) return false;
    return entry.has(AddrFlags::matched) || (keepAll && !entry.has(AddrFlags::kindMask));
}

PrintableCounts AddressBook::finishEntries(bool keepAll) {
    PrintableCounts counts;
    for (AddrEntry& e : entries_) {
        if (!e.has(AddrFlags::excluded) && e.has(AddrFlags::advancedCps)) {
            // Sessions that moved nothing show the handshake time; take it
            // off the time that carried traffic.
            if (e.zeroDurationSessions > 0) {
                e.cpsTime -= (e.sessions - e.noTrafficSessions) / 2;
            } else if (e.noTrafficSessions > 0) {
                const std::uint64_t overhead =
                    (e.timeOnline - e.cpsTime) * e.sessions / e.noTrafficSessions;
                e.cpsTime = overhead < e.timeOnline ? e.timeOnline - overhead : 1;
            }
        }
        if (!isPrintable(e, keepAll)) continue;
        if (e.has(AddrFlags::group)) {
            ++counts.groups;
        } else {
            ++counts.links;
        }
    }
    return counts;
}

}  // namespace rv
