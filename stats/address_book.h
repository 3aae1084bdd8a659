// The address entries that sessions are counted into: one per ADDR line in
// configuration order, plus the per-address entries that groups ('#')
// spawn behind themselves while the histories are read. A session counts in
// the first entry that takes it; a group passes it on to its own entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/config_model.h"
#include "core/fido_address.h"
#include "core/session_record.h"
#include "stats/chart_layout.h"
#include "stats/traffic_counters.h"
#include "stats/walk_memo.h"

namespace rv {

// The counters, which every counted session updates, come first and the
// flags right behind them, so that they share as few cache lines as they can.
struct AddrEntry : TrafficCounters {
    FidoAddress pattern;      // -1 any, -2 one entry per value; a kind entry holds its event key
    std::uint16_t flags = 0;  // AddrFlags and the kind bits
    // Exactly 15 columns, or empty; held by the book, null for none.
    const std::string* displayName = nullptr;
    // In the book's store of rows, apart, as pondrel draws no charts and
    // keeps tens of thousands of entries; null when the run draws none.
    HistoryRow* historyRow = nullptr;

    bool has(std::uint16_t flag) const { return (flags & flag) != 0; }
};

// What the walk needs to know of a session beyond its record, whose flags
// carry the settled direction and whose duration is at least 1.
struct MatchContext {
    bool zeroDuration = false;  // the history stored a duration of 0
    bool advancedCps = false;   // the line's AdvancedCPS
    bool noDrawZero = false;
    std::uint64_t axisStart = 0;  // the session on the chart axis, in seconds
    std::uint64_t axisEnd = 0;
};

struct MatchResult {
    WalkEnd end = WalkEnd::noEntry;
    bool counted = false;                  // some entry took it: the line's busy chart gets it once
    AddrEntry* accountingEntry = nullptr;  // the plain entry that ended the walk
};

struct PrintableCounts {
    std::size_t links = 0;
    std::size_t groups = 0;
};

class AddressBook {
  public:
    // Without a layout (pondrel) the entries keep no history rows.
    explicit AddressBook(const std::vector<AddrSpec>& addrLines,
                         const ChartLayout* layout = nullptr);
    AddressBook(const AddressBook&) = delete;
    AddressBook& operator=(const AddressBook&) = delete;
    AddressBook(AddressBook&&) = default;
    AddressBook& operator=(AddressBook&&) = default;

    // Counts the session into the entries that take it; a protected session
    // marks the entry that accounts it.
    MatchResult matchSession(const SessionRecord& session, const MatchContext& context);

    // pondrel's counting, for mail sessions (no kind bits): the session is
    // added to the sums of its walk's outcome, which flushTallies hands to
    // the entries it counts into, and to the line's totals when the walk
    // ends in a plain entry. A busy history holds millions of sessions of a
    // few thousand outcomes: each costs one look-up and one set of sums.
    // False, with nothing counted, for a session whose outcome a later
    // spawn can change (its walk passes a group whose run mixes spawned and
    // configured entries): the caller counts it at once (matchSession).
    inline bool tallySession(const SessionRecord& session, bool zeroDuration);
    // At the end of a line; advancedCps is the line's.
    void flushTallies(TrafficCounters& lineTotals, bool advancedCps);

    // pondrel's counting of a day archive's sums of one address and kind
    // (its kind bits, 0 for mail): counted into the entries as each of
    // their sessions would be, and into the line's totals when the walk
    // ends in a plain entry (without the sessions of The Brake!'s Answer,
    // Dial and Terminal events, as for a single one).
    void countSums(const FidoAddress& address, std::uint16_t kind, const TrafficCounters& sums,
                   std::uint64_t protectedSessions, bool advancedCps, TrafficCounters& lineTotals);

    // Whether an entry takes the session (the walk ends in a plain entry),
    // walked afresh and not kept: for a caller that only asks, over entries
    // without groups, and meets far more addresses than it shows.
    bool takes(const SessionRecord& session);

    // Once, after the last line (and its flushTallies): the AdvancedCPS
    // adjustment and the counts of the entries that the reports print. The
    // kept outcomes are let go, as the reports need memory of their own; a
    // later match walks afresh.
    PrintableCounts finishEntries(bool keepAll);

    // In list order: configuration order with spawned entries behind their groups.
    const std::list<AddrEntry>& entries() const { return entries_; }

  private:
    using Position = std::list<AddrEntry>::iterator;

    // Spawns behind a group whose spawned entries hold wildcards, while
    // configured entries stand among them, can change the own entry of an
    // address seen before (see the .cpp); such groups count their spawns.
    // A run of spawned entries alone stands in ascending order, so its
    // entries are also kept in an ordered index for the own-entry search.
    // The spawned entries of a run by runKey, which the entries' patterns
    // give: the index holds no copy of the key.
    struct SpawnOrder {
        using is_transparent = void;
        FidoAddress group;
        bool operator()(Position a, Position b) const;
        bool operator()(Position a, std::uint64_t key) const;
        bool operator()(std::uint64_t key, Position b) const;
    };
    struct GroupRun {
        bool spawnsReorder = false;
        bool spawnsOnly = false;
        std::uint16_t outcomeRun = 0;  // WalkOutcome::run of the outcomes through a reordering run
        std::uint32_t generation = 0;
        std::size_t next = 0;                   // index in configured_ of the entry behind the run
        std::set<Position, SpawnOrder> spawns;  // when spawnsOnly
    };

    // A configured entry that may match the addresses of a zone and net.
    struct Candidate {
        FidoAddress pattern;
        Position entry;
    };

    // The index in memo_ of the address's outcome, walked when missing or stale.
    std::uint32_t keptFor(const FidoAddress& address, bool hasKind);
    const std::vector<Candidate>& candidates(const FidoAddress& address);
    bool pointsMatter(const FidoAddress& address);
    bool isStale(const WalkOutcome& outcome) const;
    WalkOutcome walk(const FidoAddress& address, bool hasKind);
    Position ownEntry(Position group, const FidoAddress& address);
    AddrEntry spawnedEntry(const AddrEntry& group, const FidoAddress& address);
    // A new entry's history row, with a layout.
    HistoryRow* newHistoryRow();

    std::list<AddrEntry> entries_;
    std::vector<Position> configured_;  // the configured entries, in list order
    const ChartLayout* layout_;
    std::vector<std::string> names_;      // the configured entries' labels, which entries view
    std::deque<HistoryRow> historyRows_;  // the entries' rows, with a layout; never move
    std::unordered_map<const AddrEntry*, GroupRun> groupRuns_;
    std::vector<const GroupRun*> reorderRuns_;  // the runs with spawnsReorder, numbered
    // The configured entries that can match an address of a zone and net.
    std::unordered_map<std::uint32_t, std::vector<Candidate>> candidates_;
    std::vector<Candidate> scratch_;  // the list of a net beyond those kept
    WalkMemo memo_;
};

// Printed in the reports: not excluded, and matched, or kept by KeepAll
// unless it is a kind entry.
bool isPrintable(const AddrEntry& entry, bool keepAll);

bool AddressBook::tallySession(const SessionRecord& session, bool zeroDuration) {
    std::uint32_t index = memo_.nodeOutcome(session.address, false);
    if (index == WalkMemo::none) index = keptFor(session.address, false);
    KeptOutcome& kept = memo_[index];
    if (kept.outcome.run != 0) return false;
    countTraffic(kept.tally, session, zeroDuration, true);
    kept.protectedSessions += session.has(SessionFlags::protectedSession);
    return true;
}

}  // namespace rv
