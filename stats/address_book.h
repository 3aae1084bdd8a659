// The address entries that sessions are counted into: one per ADDR line in
// configuration order, plus the per-address entries that groups ('#')
// spawn behind themselves while the histories are read. A session counts in
// the first entry that takes it; a group passes it on to its own entry.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/config_model.h"
#include "core/fido_address.h"
#include "core/fixed_text.h"
#include "core/session_record.h"
#include "stats/chart_layout.h"
#include "stats/traffic_counters.h"

namespace rv {

// 'A' left half busy, 'B' right half, 'C' both; '|' grid lines, blanks.
using HistoryRow = FixedText<chartCells>;

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

enum class WalkEnd : std::uint8_t { noEntry, plainEntry, excludedEntry };

struct MatchResult {
    WalkEnd end = WalkEnd::noEntry;
    bool counted = false;                  // some entry took it: the line's busy chart gets it once
    AddrEntry* accountingEntry = nullptr;  // the plain entry that ended the walk
};

// The entries that a session counts into and how its walk ends: the first
// step of matchSession, for callers that look several sessions up before
// counting them.
struct MatchPlan {
    std::array<AddrEntry*, 2> targets{};
    std::uint8_t targetCount = 0;
    WalkEnd end = WalkEnd::noEntry;
};

struct PrintableCounts {
    std::size_t links = 0;
    std::size_t groups = 0;
};

class AddressBook {
  public:
    // Without a layout (pondrel) the entries keep no history rows.
    explicit AddressBook(const std::vector<AddrSpec>& specs, const ChartLayout* layout = nullptr);
    AddressBook(const AddressBook&) = delete;
    AddressBook& operator=(const AddressBook&) = delete;
    AddressBook(AddressBook&&) = default;
    AddressBook& operator=(AddressBook&&) = default;

    // Counts the session into the entries that take it; a protected session
    // marks the entry that accounts it.
    MatchResult matchSession(const SessionRecord& session, const MatchContext& context);

    // matchSession in two steps, for a caller that holds several sessions:
    // planMatch walks (spawning entries as the walk does) and asks for the
    // entries that counting writes; countMatch counts. Sessions must be
    // planned in the order in which matchSession would take them, and each
    // counted with its own plan; their counting may come later.
    inline MatchPlan planMatch(const SessionRecord& session);
    inline MatchResult countMatch(const MatchPlan& plan, const SessionRecord& session,
                                  const MatchContext& context);

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
        std::uint16_t outcomeRun = 0;  // Outcome::run of the outcomes through a reordering run
        std::uint32_t generation = 0;
        std::size_t next = 0;                   // index in configured_ of the entry behind the run
        std::set<Position, SpawnOrder> spawns;  // when spawnsOnly
    };

    // Where the walk of one address (and kind marker) ends: the entries it
    // counts into, in order, and how it ended.
    struct Outcome {
        // run of an outcome through a reordering run beyond the numbered ones.
        static constexpr std::uint16_t alwaysWalk = 0xFFFF;

        std::array<AddrEntry*, 2> targets{};
        std::uint32_t generation = 0;  // of the run, when the outcome was walked
        std::uint16_t run = 0;         // 1 + index in reorderRuns_ of a run its spawns can change
        std::uint8_t targetCount = 0;
        WalkEnd end = WalkEnd::noEntry;
    };

    // An outcome as kept, one for all the addresses that share it, with the
    // sums of the sessions tallied into it since the last flush. An outcome
    // that a spawn can change (Outcome::run) is kept for its key alone and
    // walked again in place when it goes stale; it tallies nothing.
    struct Kept {
        Outcome outcome;
        TrafficCounters tally;
        std::uint64_t protectedSessions = 0;
    };
    static constexpr std::uint32_t noKept = 0xFFFFFFFF;
    // The value of a node's key whose addresses are kept one by one.
    static constexpr std::uint32_t perPoint = 0xFFFFFFFE;

    // The kept outcome (an index in kept_, or perPoint) by key (tableKey),
    // in one open-addressing table of 16-byte slots: a busy history meets
    // hundreds of thousands of addresses, and every record looks its
    // outcome up.
    class OutcomeTable {
      public:
        // Null when the key has no outcome yet.
        std::uint32_t* find(std::uint64_t key) {
            if (slots_.empty()) return nullptr;
            for (std::size_t i = home(key);; i = (i + 1) & (slots_.size() - 1)) {
                Slot& slot = slots_[i];
                const std::uint64_t slotKey = slot.key();
                if (slotKey == key) return &slot.kept;
                if (slotKey == emptyKey) return nullptr;
            }
        }
        // The key must be new. Earlier results of find and insert go stale.
        std::uint32_t& insert(std::uint64_t key, std::uint32_t kept);

      private:
        static constexpr std::uint64_t emptyKey = ~std::uint64_t{0};  // no address has it
        // 12 bytes, the key in two halves: a quarter less room than a
        // 64-bit aligned slot, for a table that holds every address met.
        struct Slot {
            std::uint32_t keyLow = static_cast<std::uint32_t>(emptyKey);
            std::uint32_t keyHigh = static_cast<std::uint32_t>(emptyKey >> 32);
            std::uint32_t kept = noKept;

            std::uint64_t key() const { return std::uint64_t{keyHigh} << 32 | keyLow; }
        };
        std::size_t home(std::uint64_t key) const {
            key ^= key >> 33;
            key *= 0xFF51AFD7ED558CCDu;
            key ^= key >> 33;
            return static_cast<std::size_t>(key) & (slots_.size() - 1);
        }
        void grow();

        std::vector<Slot> slots_;
        std::size_t used_ = 0;
    };

    // A configured entry that may match the addresses of a zone and net.
    struct Candidate {
        FidoAddress pattern;
        Position entry;
    };

    // The key of an address in the outcome table. Kept addresses have no
    // negative component, so the top bit of each field is free: the zone's
    // marks a kind session, the point's a whole node.
    static std::uint64_t tableKey(const FidoAddress& address, bool hasKind, bool wholeNode) {
        std::uint64_t key = std::uint64_t{static_cast<std::uint16_t>(address.zone)} |
                            std::uint64_t{static_cast<std::uint16_t>(address.net)} << 16 |
                            std::uint64_t{static_cast<std::uint16_t>(address.node)} << 32 |
                            std::uint64_t{static_cast<std::uint16_t>(address.point)} << 48;
        if (hasKind) key |= 0x8000;
        if (wholeNode) key = (key & 0x0000FFFFFFFFFFFFu) | std::uint64_t{0x8000} << 48;
        return key;
    }

    // The common case of keptFor, inline: the kept outcome of the address's
    // node when it serves all its points and no spawn can make it stale;
    // noKept otherwise.
    std::uint32_t nodeKept(const FidoAddress& address, bool hasKind) {
        if (address.zone < 0 || address.net < 0 || address.node < 0 || address.point < 0)
            return noKept;
        const std::uint32_t* found = outcomes_.find(tableKey(address, hasKind, true));
        if (found == nullptr || *found == perPoint || kept_[*found].outcome.run != 0) return noKept;
        return *found;
    }
    // The index in kept_ of the address's outcome, walked when missing or stale.
    std::uint32_t keptFor(const FidoAddress& address, bool hasKind);
    // The index of the kept outcome equal to outcome, made when there is none.
    std::uint32_t keep(const Outcome& outcome);
    const std::vector<Candidate>& candidates(const FidoAddress& address);
    bool pointsMatter(const FidoAddress& address);
    bool isStale(const Outcome& outcome) const;
    Outcome walk(const FidoAddress& address, bool hasKind);
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
    OutcomeTable outcomes_;
    std::vector<Kept> kept_;
    // The indices in kept_ by the outcome they hold, for keep(): an
    // open-addressing set at most half full, noKept where empty.
    std::vector<std::uint32_t> keptSet_;
};

// Marks the slots of [start, end) on the chart axis; a slot that the session
// touches for less than half of it is left out at either end.
void markHistoryRow(HistoryRow& row, std::uint64_t start, std::uint64_t end,
                    const ChartLayout& layout);

// Adds one session to the entry's counters and, with a layout, marks its
// history row. Inline, as counting is the work of every session.
inline void countSession(AddrEntry& entry, const SessionRecord& session,
                         const MatchContext& context, const ChartLayout* layout) {
    if (context.advancedCps) entry.flags |= AddrFlags::advancedCps;
    entry.flags |= AddrFlags::matched;
    countTraffic(entry, session, context.zeroDuration, true);
    if (layout == nullptr) return;
    const bool noTraffic = session.bytesReceived == 0 && session.bytesSent == 0;
    if (context.noDrawZero && noTraffic && !session.has(SessionFlags::kindMask)) return;
    markHistoryRow(*entry.historyRow, context.axisStart, context.axisEnd, *layout);
}

MatchPlan AddressBook::planMatch(const SessionRecord& session) {
    const bool hasKind = session.has(SessionFlags::kindMask);
    std::uint32_t index = nodeKept(session.address, hasKind);
    if (index == noKept) index = keptFor(session.address, hasKind);
    const Outcome& outcome = kept_[index].outcome;
    return {outcome.targets, outcome.targetCount, outcome.end};
}

bool AddressBook::tallySession(const SessionRecord& session, bool zeroDuration) {
    std::uint32_t index = nodeKept(session.address, false);
    if (index == noKept) index = keptFor(session.address, false);
    Kept& kept = kept_[index];
    if (kept.outcome.run != 0) return false;
    countTraffic(kept.tally, session, zeroDuration, true);
    kept.protectedSessions += session.has(SessionFlags::protectedSession);
    return true;
}

MatchResult AddressBook::countMatch(const MatchPlan& plan, const SessionRecord& session,
                                    const MatchContext& context) {
    MatchResult result;
    result.end = plan.end;
    result.counted = plan.targetCount > 0;
    for (std::size_t i = 0; i < plan.targetCount; ++i) {
        countSession(*plan.targets[i], session, context, layout_);
    }
    if (plan.end == WalkEnd::plainEntry) {
        result.accountingEntry = plan.targets[plan.targetCount - 1];
        // No branch: protected sessions come at random.
        result.accountingEntry->flags |= static_cast<std::uint16_t>(
            AddrFlags::hasProtected * session.has(SessionFlags::protectedSession));
    }
    return result;
}

// Printed in the reports: not excluded, and matched, or kept by KeepAll
// unless it is a kind entry.
bool isPrintable(const AddrEntry& entry, bool keepAll);

}  // namespace rv
