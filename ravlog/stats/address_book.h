// The address entries that sessions are counted into: one per ADDR line in
// configuration order, plus the per-address entries that groups ('#')
// spawn behind themselves while the histories are read. A session counts in
// the first entry that takes it; a group passes it on to its own entry.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/config_model.h"
#include "core/fido_address.h"
#include "core/fixed_text.h"
#include "core/session_record.h"
#include "ravlog/stats/chart_layout.h"

namespace rv {

// 'A' left half busy, 'B' right half, 'C' both; '|' grid lines, blanks.
using HistoryRow = FixedText<chartCells>;

struct AddrEntry {
    FidoAddress pattern;      // -1 any, -2 one entry per value; a kind entry holds its event key
    std::uint16_t flags = 0;  // AddrFlags and the kind bits
    std::string displayName;  // exactly 15 columns, or empty
    std::uint64_t bytesReceived = 0;
    std::uint64_t bytesSent = 0;
    std::uint64_t timeOnline = 0;
    std::uint64_t cpsTime = 0;  // time of sessions that moved bytes; AdvancedCPS adjusts it
    std::uint64_t timeIn = 0;
    std::uint64_t timeOut = 0;
    std::uint64_t sessions = 0;
    std::uint64_t sessionsIn = 0;
    std::uint64_t sessionsOut = 0;
    std::uint64_t noTrafficSessions = 0;
    std::uint64_t zeroDurationSessions = 0;
    HistoryRow historyRow;  // empty when the run draws no charts

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

    // Once, after the last line: the AdvancedCPS adjustment and the counts of
    // the entries that the reports print.
    PrintableCounts finishEntries(bool keepAll);

    // In list order: configuration order with spawned entries behind their groups.
    const std::list<AddrEntry>& entries() const { return entries_; }

  private:
    using Position = std::list<AddrEntry>::iterator;

    // Spawns behind a group whose spawned entries hold wildcards, while
    // configured entries stand among them, can change the own entry of an
    // address seen before (see the .cpp); such groups count their spawns.
    struct GroupRun {
        bool spawnsReorder = false;
        std::uint32_t generation = 0;
    };

    // Where the walk of one address (and kind marker) ends: the entries it
    // counts into, in order, and how it ended.
    struct Outcome {
        std::array<AddrEntry*, 2> targets{};
        std::uint8_t targetCount = 0;
        WalkEnd end = WalkEnd::noEntry;
        const GroupRun* run = nullptr;  // set only when the run's spawns can change it
        std::uint32_t generation = 0;
    };

    struct WalkKey {
        std::uint64_t address;
        bool hasKind;
        friend bool operator==(const WalkKey&, const WalkKey&) = default;
    };
    struct WalkKeyHash {
        std::size_t operator()(const WalkKey& key) const;
    };

    Outcome walk(const FidoAddress& address, bool hasKind);
    Position ownEntry(Position group, const FidoAddress& address);

    std::list<AddrEntry> entries_;
    const ChartLayout* layout_;
    std::unordered_map<const AddrEntry*, GroupRun> groupRuns_;
    std::unordered_map<WalkKey, Outcome, WalkKeyHash> outcomes_;
};

// Adds one session to the entry's counters and, with a layout, marks its
// history row.
void countSession(AddrEntry& entry, const SessionRecord& session, const MatchContext& context,
                  const ChartLayout* layout);

// Marks the slots of [start, end) on the chart axis; a slot that the session
// touches for less than half of it is left out at either end.
void markHistoryRow(HistoryRow& row, std::uint64_t start, std::uint64_t end,
                    const ChartLayout& layout);

// Bytes per second of cpsTime (the byte sum when cpsTime is 0 or 1).
std::uint64_t entryCps(const AddrEntry& entry);

// Printed in the reports: not excluded, and matched, or kept by KeepAll
// unless it is a kind entry.
bool isPrintable(const AddrEntry& entry, bool keepAll);

}  // namespace rv
