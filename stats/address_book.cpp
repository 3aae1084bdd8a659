#include "stats/address_book.h"

#include "core/format.h"

// The walk over the entries costs time in proportion to the list, and a
// busy node reads millions of sessions from a few thousand addresses. So
// the outcome of the walk (the entries counted into and how the walk ended)
// is kept per address and kind marker (stats/walk_memo.h), and the walk runs
// once per address.
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
//
// Two more savings, for histories with very many addresses:
//
// - The walk visits only the configured entries that can match an address
//   of the session's zone and net (a pattern component that is neither a
//   wildcard nor the address's value never compares equal), in order.
// - Points rarely tell outcomes apart. When no configured entry that can
//   match the node has a point other than '*', the walk decides alike for
//   every point of the node: each entry compares equal for all of them or
//   for none, a group among them has '*' for the point, so its spawns do
//   too and the own entry is the same, and stepping through a group's run
//   decides on zone, net and node before it reaches a point. Then one
//   outcome serves the whole node.

namespace rv {

namespace {

constexpr std::uint16_t wildcardBits = AddrFlags::hasAny | AddrFlags::group;

bool hasAnyComponent(const FidoAddress& a) {
    return a.zone == anyComponent || a.net == anyComponent || a.node == anyComponent ||
           a.point == anyComponent;
}

// The order of a spawned entry within its run: the address with the
// group's '*' components left out (read as -1, as the spawns hold them),
// each component moved up by one so that the key sorts as compareAddress
// orders the run.
std::uint64_t runKey(const FidoAddress& group, const FidoAddress& address) {
    const auto part = [](std::int16_t groupPart, std::int16_t value) {
        return std::uint64_t{
            static_cast<std::uint16_t>((groupPart == anyComponent ? anyComponent : value) + 1)};
    };
    return part(group.zone, address.zone) << 48 | part(group.net, address.net) << 32 |
           part(group.node, address.node) << 16 | part(group.point, address.point);
}

}  // namespace

AddressBook::AddressBook(const std::vector<AddrSpec>& addrLines, const ChartLayout* layout)
    : layout_(layout) {
    // Sized once: the entries view these texts, which must not move.
    names_.reserve(addrLines.size());
    for (const AddrSpec& addrSpec : addrLines) {
        AddrEntry& entry = entries_.emplace_back();
        configured_.push_back(std::prev(entries_.end()));
        entry.pattern = addrSpec.pattern;
        entry.flags = addrSpec.flags;
        // A kind entry is matched by its event key alone; it is never a group.
        if (entry.has(AddrFlags::kindMask)) entry.flags &= ~wildcardBits;
        entry.displayName = &names_.emplace_back(addrSpec.displayName);
        entry.historyRow = newHistoryRow();
    }
    for (std::size_t i = 0; i < configured_.size(); ++i) {
        const AddrEntry& group = *configured_[i];
        if (!group.has(AddrFlags::group)) continue;
        std::size_t next = i + 1;
        while (next < configured_.size() && !configured_[next]->has(wildcardBits))
            ++next;
        const bool configuredInRun = next > i + 1;
        GroupRun& run = groupRuns_[&group];
        run.spawnsReorder = configuredInRun && hasAnyComponent(group.pattern);
        run.spawnsOnly = !configuredInRun;
        run.next = next;
        run.spawns = std::set<Position, SpawnOrder>(SpawnOrder{group.pattern});
        if (run.spawnsReorder) {
            reorderRuns_.push_back(&run);
            run.outcomeRun = reorderRuns_.size() < WalkOutcome::alwaysWalk
                                 ? static_cast<std::uint16_t>(reorderRuns_.size())
                                 : WalkOutcome::alwaysWalk;
        }
    }
}

// Steps over the entries behind the group that compare lower than the
// address, and takes the next one when it equals the address; otherwise a
// new entry goes in at that point, so spawned entries stand in ascending
// order up to the next wildcard or group entry.
AddressBook::Position AddressBook::ownEntry(Position group, const FidoAddress& address) {
    GroupRun& run = groupRuns_.find(&*group)->second;  // every group has its run
    if (run.spawnsOnly) {
        // The run holds spawned entries alone, in ascending order: the
        // stepping below stops at the first one not lower than the address.
        const std::uint64_t key = runKey(group->pattern, address);
        const auto above = run.spawns.lower_bound(key);
        if (above != run.spawns.end() && runKey(group->pattern, (*above)->pattern) == key)
            return *above;
        const Position before = above != run.spawns.end()       ? *above
                                : run.next < configured_.size() ? configured_[run.next]
                                                                : entries_.end();
        const Position spawned = entries_.insert(before, spawnedEntry(*group, address));
        run.spawns.emplace_hint(above, spawned);
        return spawned;
    }
    auto pos = std::next(group);
    while (pos != entries_.end() && !pos->has(wildcardBits) &&
           compareAddress(pos->pattern, address) < 0) {
        ++pos;
    }
    if (pos != entries_.end() && !pos->has(wildcardBits) &&
        compareAddress(pos->pattern, address) == 0) {
        return pos;
    }
    if (run.spawnsReorder) ++run.generation;
    return entries_.insert(pos, spawnedEntry(*group, address));
}

bool AddressBook::SpawnOrder::operator()(Position a, Position b) const {
    return runKey(group, a->pattern) < runKey(group, b->pattern);
}
bool AddressBook::SpawnOrder::operator()(Position a, std::uint64_t key) const {
    return runKey(group, a->pattern) < key;
}
bool AddressBook::SpawnOrder::operator()(std::uint64_t key, Position b) const {
    return key < runKey(group, b->pattern);
}

// The address's own entry behind its group: the group's '*' components
// stay '*'; the label is the group's.
AddrEntry AddressBook::spawnedEntry(const AddrEntry& group, const FidoAddress& address) {
    AddrEntry spawned;
    const FidoAddress& g = group.pattern;
    spawned.pattern = {g.zone == anyComponent ? anyComponent : address.zone,
                       g.net == anyComponent ? anyComponent : address.net,
                       g.node == anyComponent ? anyComponent : address.node,
                       g.point == anyComponent ? anyComponent : address.point};
    spawned.displayName = group.displayName;
    spawned.historyRow = newHistoryRow();
    return spawned;
}

HistoryRow* AddressBook::newHistoryRow() {
    if (layout_ == nullptr) return nullptr;
    HistoryRow& row = historyRows_.emplace_back();
    layout_->historyTemplate.copy(row.chars.data(), chartCells);
    row.size = chartCells;
    return &row;
}

// The walk visits the configured entries only. A spawned entry matches an
// address only if its group does, and a walk that reaches a group either
// passes it (no match, or a kind session, which passes the spawns as it
// passes the group) or ends in the group's run at the address's own entry.
const std::vector<AddressBook::Candidate>& AddressBook::candidates(const FidoAddress& address) {
    const std::uint32_t key = std::uint32_t{static_cast<std::uint16_t>(address.zone)} << 16 |
                              static_cast<std::uint16_t>(address.net);
    auto found = candidates_.find(key);
    if (found != candidates_.end()) return found->second;
    // A hostile history can name millions of nets: past a bound the lists
    // are made anew for each walk instead of kept.
    constexpr std::size_t keptLists = 1 << 16;
    std::vector<Candidate>& list = candidates_.size() < keptLists ? candidates_[key] : scratch_;
    list.clear();
    for (const Position it : configured_) {
        const FidoAddress& p = it->pattern;
        // As compareAddress: a negative component on either side matches.
        const bool zone = p.zone < 0 || address.zone < 0 || p.zone == address.zone;
        const bool net = p.net < 0 || address.net < 0 || p.net == address.net;
        if (zone && net) list.push_back({p, it});
    }
    return list;
}

namespace {

// compareAddress(pattern, address) == 0 for a candidate of the address's
// zone and net, whose zone and net compare equal already.
bool candidateMatches(const FidoAddress& pattern, const FidoAddress& address) {
    const auto same = [](std::int16_t p, std::int16_t a) { return p < 0 || a < 0 || p == a; };
    return same(pattern.node, address.node) && same(pattern.point, address.point);
}

}  // namespace

bool AddressBook::pointsMatter(const FidoAddress& address) {
    for (const Candidate& c : candidates(address)) {
        if ((c.pattern.node < 0 || c.pattern.node == address.node) &&
            c.pattern.point != anyComponent) {
            return true;
        }
    }
    return false;
}

bool AddressBook::isStale(const WalkOutcome& outcome) const {
    if (outcome.run == 0) return false;
    if (outcome.run == WalkOutcome::alwaysWalk) return true;
    return reorderRuns_[outcome.run - 1]->generation != outcome.generation;
}

WalkOutcome AddressBook::walk(const FidoAddress& address, bool hasKind) {
    WalkOutcome outcome;
    for (const Candidate& c : candidates(address)) {
        if (!candidateMatches(c.pattern, address)) continue;
        const Position it = c.entry;
        if (it->has(AddrFlags::excluded)) {
            outcome.end = WalkEnd::excludedEntry;
            break;
        }
        // Events of The Brake! count only in kind entries.
        if (hasKind && !it->has(AddrFlags::kindMask)) continue;
        outcome.targets[outcome.targetCount++] = &*it;
        if (!it->has(AddrFlags::group)) {
            outcome.end = WalkEnd::plainEntry;
            break;
        }
        // Groups carry no kind bits, so only a mail session gets here. Its
        // own entry matches it and is neither group nor kind entry: the
        // walk ends there, counting into it unless it is excluded.
        const GroupRun& run = groupRuns_.find(&*it)->second;  // every group has its run
        const Position own = ownEntry(it, address);
        if (run.spawnsReorder) {
            outcome.run = run.outcomeRun;
            outcome.generation = run.generation;
        }
        if (own->has(AddrFlags::excluded)) {
            outcome.end = WalkEnd::excludedEntry;
        } else {
            outcome.targets[outcome.targetCount++] = &*own;
            outcome.end = WalkEnd::plainEntry;
        }
        break;
    }
    return outcome;
}

// The kept outcome of the address: the node's when points do not matter
// there, else the address's own; walked when missing or gone stale.
std::uint32_t AddressBook::keptFor(const FidoAddress& address, bool hasKind) {
    if (address.zone < 0 || address.net < 0 || address.node < 0 || address.point < 0) {
        return memo_.keep(walk(address, hasKind));  // the histories yield no such address
    }
    const std::uint64_t nodeKey = WalkMemo::key(address, hasKind, true);
    std::uint32_t found = memo_.find(nodeKey);
    if (found == WalkMemo::none) {
        found = pointsMatter(address) ? WalkMemo::perPoint : memo_.keep(walk(address, hasKind));
        memo_.insert(nodeKey, found);
    }
    if (found == WalkMemo::perPoint) {
        const std::uint64_t key = WalkMemo::key(address, hasKind, false);
        found = memo_.find(key);
        if (found == WalkMemo::none) {
            found = memo_.keep(walk(address, hasKind));
            memo_.insert(key, found);
        }
    }
    KeptOutcome& kept = memo_[found];
    if (isStale(kept.outcome)) kept.outcome = walk(address, hasKind);
    return found;
}

void AddressBook::flushTallies(TrafficCounters& lineTotals, bool advancedCps) {
    const std::uint16_t marks =
        AddrFlags::matched | (advancedCps ? AddrFlags::advancedCps : std::uint16_t{0});
    for (KeptOutcome& kept : memo_.kept()) {
        if (kept.tally.sessions == 0) continue;
        const WalkOutcome& outcome = kept.outcome;
        for (std::size_t i = 0; i < outcome.targetCount; ++i) {
            AddrEntry& entry = *outcome.targets[i];
            addCounters(entry, kept.tally);
            entry.flags |= marks;
        }
        if (outcome.end == WalkEnd::plainEntry) {
            addCounters(lineTotals, kept.tally);
            if (kept.protectedSessions > 0)
                outcome.targets[outcome.targetCount - 1]->flags |= AddrFlags::hasProtected;
        }
        kept.tally = TrafficCounters{};
        kept.protectedSessions = 0;
    }
}

void AddressBook::countSums(const FidoAddress& address, std::uint16_t kind,
                            const TrafficCounters& sums, std::uint64_t protectedSessions,
                            bool advancedCps, TrafficCounters& lineTotals) {
    if (sums.sessions == 0) return;
    const WalkOutcome outcome = memo_[keptFor(address, kind != 0)].outcome;
    const std::uint16_t marks =
        AddrFlags::matched | (advancedCps ? AddrFlags::advancedCps : std::uint16_t{0});
    for (std::size_t i = 0; i < outcome.targetCount; ++i) {
        addCounters(*outcome.targets[i], sums);
        outcome.targets[i]->flags |= marks;
    }
    if (outcome.end != WalkEnd::plainEntry) return;
    if ((kind & (SessionFlags::kindAnswer | SessionFlags::kindDial | SessionFlags::kindTerminal)) !=
        0) {
        TrafficCounters times = sums;
        times.sessions = 0;
        times.noTrafficSessions = 0;
        addCounters(lineTotals, times);
    } else {
        addCounters(lineTotals, sums);
    }
    if (protectedSessions > 0)
        outcome.targets[outcome.targetCount - 1]->flags |= AddrFlags::hasProtected;
}

bool AddressBook::takes(const SessionRecord& session) {
    return walk(session.address, session.has(SessionFlags::kindMask)).end == WalkEnd::plainEntry;
}

namespace {

// Adds one session to the entry's counters and, with a layout, marks its
// history row.
void countSession(AddrEntry& entry, const SessionRecord& session, const MatchContext& context,
                  const ChartLayout* layout) {
    if (context.advancedCps) entry.flags |= AddrFlags::advancedCps;
    entry.flags |= AddrFlags::matched;
    countTraffic(entry, session, context.zeroDuration, true);
    if (layout == nullptr) return;
    const bool noTraffic = session.bytesReceived == 0 && session.bytesSent == 0;
    if (context.noDrawZero && noTraffic && !session.has(SessionFlags::kindMask)) return;
    markHistoryRow(*entry.historyRow, context.axisStart, context.axisEnd, *layout);
}

}  // namespace

MatchResult AddressBook::matchSession(const SessionRecord& session, const MatchContext& context) {
    const bool hasKind = session.has(SessionFlags::kindMask);
    std::uint32_t index = memo_.nodeOutcome(session.address, hasKind);
    if (index == WalkMemo::none) index = keptFor(session.address, hasKind);
    const WalkOutcome& outcome = memo_[index].outcome;
    MatchResult result;
    result.end = outcome.end;
    result.counted = outcome.targetCount > 0;
    for (std::size_t i = 0; i < outcome.targetCount; ++i)
        countSession(*outcome.targets[i], session, context, layout_);
    if (outcome.end == WalkEnd::plainEntry) {
        result.accountingEntry = outcome.targets[outcome.targetCount - 1];
        // No branch: protected sessions come at random.
        result.accountingEntry->flags |= static_cast<std::uint16_t>(
            AddrFlags::hasProtected * session.has(SessionFlags::protectedSession));
    }
    return result;
}

bool isPrintable(const AddrEntry& entry, bool keepAll) {
    if (entry.has(AddrFlags::excluded)) return false;
    return entry.has(AddrFlags::matched) || (keepAll && !entry.has(AddrFlags::kindMask));
}

PrintableCounts AddressBook::finishEntries(bool keepAll) {
    memo_ = WalkMemo{};
    PrintableCounts counts;
    for (AddrEntry& e : entries_) {
        // Sessions that moved nothing show the handshake time.
        if (!e.has(AddrFlags::excluded) && e.has(AddrFlags::advancedCps)) applyAdvancedCps(e);
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
