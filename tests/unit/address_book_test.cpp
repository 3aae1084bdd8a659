#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "core/format.h"
#include "core/session_kind.h"
#include "stats/address_book.h"

namespace rv {
namespace {

constexpr std::int16_t any = anyComponent;
constexpr std::int16_t each = eachComponent;

// An ADDR entry as the configuration reader makes it.
AddrSpec addr(std::int16_t zone, std::int16_t net, std::int16_t node, std::int16_t point,
              bool excluded = false, std::string label = {}) {
    AddrSpec addrSpec;
    addrSpec.pattern = {zone, net, node, point};
    for (std::int16_t c : {zone, net, node, point}) {
        if (c == any) addrSpec.flags |= AddrFlags::hasAny;
        if (c == each) addrSpec.flags |= AddrFlags::group;
    }
    if (excluded) addrSpec.flags |= AddrFlags::excluded;
    addrSpec.displayName = std::move(label);
    return addrSpec;
}

AddrSpec kindAddr(const SessionKind& kind) {
    AddrSpec addrSpec;
    addrSpec.pattern = eventKeyAddress(kind);
    addrSpec.flags = kind.entryFlag;
    return addrSpec;
}

SessionRecord session(FidoAddress a, std::uint16_t flags = SessionFlags::incoming,
                      std::uint32_t duration = 60, std::uint32_t received = 100,
                      std::uint32_t sent = 100) {
    SessionRecord r;
    r.address = a;
    r.flags = flags;
    r.duration = duration;
    r.bytesReceived = received;
    r.bytesSent = sent;
    return r;
}

SessionRecord eventSession(const SessionKind& kind) {
    return session(eventKeyAddress(kind), kind.recordFlags, 30, 0, 0);
}

std::vector<std::string> patterns(const AddressBook& book) {
    std::vector<std::string> out;
    for (const AddrEntry& e : book.entries()) {
        out.emplace_back(formatAddress(e.pattern, 15).view());
        while (!out.back().empty() && out.back().back() == ' ')
            out.back().pop_back();
    }
    return out;
}

std::vector<std::uint64_t> sessionCounts(const AddressBook& book) {
    std::vector<std::uint64_t> out;
    for (const AddrEntry& e : book.entries())
        out.push_back(e.sessions);
    return out;
}

const AddrEntry& entryAt(const AddressBook& book, std::size_t index) {
    return *std::next(book.entries().begin(), static_cast<std::ptrdiff_t>(index));
}

using Strings = std::vector<std::string>;
using Counts = std::vector<std::uint64_t>;

TEST(AddressBookMatching, ExcludedEntryStopsTheWalkOnlyWhereItStands) {
    AddressBook before({addr(2, 4500, 99, any, true), addr(2, 4500, any, any)});
    MatchResult r = before.matchSession(session({2, 4500, 99, 0}), {});
    EXPECT_EQ(r.end, WalkEnd::excludedEntry);
    EXPECT_FALSE(r.counted);
    EXPECT_EQ(r.accountingEntry, nullptr);
    r = before.matchSession(session({2, 4500, 98, 0}), {});
    EXPECT_EQ(r.end, WalkEnd::plainEntry);
    EXPECT_EQ(r.accountingEntry, &entryAt(before, 1));
    EXPECT_EQ(sessionCounts(before), (Counts{0, 1}));

    AddressBook after({addr(2, 4500, any, any), addr(2, 4500, 99, any, true)});
    r = after.matchSession(session({2, 4500, 99, 0}), {});
    EXPECT_EQ(r.end, WalkEnd::plainEntry);
    EXPECT_EQ(sessionCounts(after), (Counts{1, 0}));

    r = after.matchSession(session({1, 1, 1, 0}), {});
    EXPECT_EQ(r.end, WalkEnd::noEntry);
    EXPECT_FALSE(r.counted);
    EXPECT_EQ(sessionCounts(after), (Counts{1, 0}));
}

TEST(AddressBookMatching, GroupSpawnsEntriesInAddressOrder) {
    AddressBook book({addr(2, 4500, each, any, false, "Region 45      ")});
    for (FidoAddress a : {FidoAddress{2, 4500, 30, 0}, {2, 4500, 7, 0}, {2, 4500, 30, 1}}) {
        const MatchResult r = book.matchSession(session(a), {});
        EXPECT_EQ(r.end, WalkEnd::plainEntry);
        EXPECT_TRUE(r.counted);
        EXPECT_EQ(compareAddress(r.accountingEntry->pattern, a), 0);
    }
    EXPECT_EQ(patterns(book), (Strings{"2:4500/#.*", "2:4500/7.*", "2:4500/30.*"}));
    EXPECT_EQ(sessionCounts(book), (Counts{3, 1, 2}));
    for (const AddrEntry& e : book.entries())
        EXPECT_EQ(*e.displayName, "Region 45      ");
    EXPECT_EQ(entryAt(book, 1).flags, AddrFlags::matched);

    AddressBook points({addr(2, 4500, each, each)});
    for (FidoAddress a : {FidoAddress{2, 4500, 30, 0}, {2, 4500, 7, 0}, {2, 4500, 30, 1}}) {
        points.matchSession(session(a), {});
    }
    EXPECT_EQ(patterns(points),
              (Strings{"2:4500/#.#", "2:4500/7.0", "2:4500/30.0", "2:4500/30.1"}));
    EXPECT_EQ(sessionCounts(points), (Counts{3, 1, 1, 1}));
}

TEST(AddressBookMatching, ConfiguredEntriesBehindAGroup) {
    // A node entry standing in the group's run is the session's own entry.
    AddressBook book(
        {addr(2, 4500, each, any), addr(2, 4500, 50, 0, false, "Fifty"), addr(2, 5020, any, any)});
    book.matchSession(session({2, 4500, 50, 0}), {});
    book.matchSession(session({2, 4500, 60, 0}), {});
    book.matchSession(session({2, 4500, 10, 0}), {});
    EXPECT_EQ(patterns(book),
              (Strings{"2:4500/#.*", "2:4500/10.*", "2:4500/50.0", "2:4500/60.*", "2:5020/*.*"}));
    EXPECT_EQ(sessionCounts(book), (Counts{3, 1, 1, 1, 0}));
    EXPECT_EQ(*entryAt(book, 2).displayName, "Fifty");

    // A wildcard entry ends the run: the spawn goes in front of it, and the
    // wildcard entry never sees the group's sessions.
    AddressBook walled({addr(2, 4500, each, any), addr(2, 4500, 50, any)});
    walled.matchSession(session({2, 4500, 50, 3}), {});
    EXPECT_EQ(patterns(walled), (Strings{"2:4500/#.*", "2:4500/50.*", "2:4500/50.*"}));
    EXPECT_EQ(sessionCounts(walled), (Counts{1, 1, 0}));

    // An excluded node in the run: the group keeps its count, nothing accounts it.
    AddressBook excluded({addr(2, 4500, each, any), addr(2, 4500, 50, 0, true)});
    const MatchResult r =
        excluded.matchSession(session({2, 4500, 50, 0}, SessionFlags::protectedSession), {});
    EXPECT_EQ(r.end, WalkEnd::excludedEntry);
    EXPECT_TRUE(r.counted);
    EXPECT_EQ(r.accountingEntry, nullptr);
    EXPECT_EQ(sessionCounts(excluded), (Counts{1, 0}));
    EXPECT_FALSE(entryAt(excluded, 0).has(AddrFlags::hasProtected));
}

TEST(AddressBookMatching, LaterSpawnCanTakeOverAConfiguredEntry) {
    // 2:4500/30.0 spawns 30.* in front of the configured 30.5, which from
    // then on no longer receives 30.5's sessions.
    AddressBook book({addr(2, 4500, each, any), addr(2, 4500, 30, 5)});
    book.matchSession(session({2, 4500, 30, 5}), {});
    book.matchSession(session({2, 4500, 30, 0}), {});
    book.matchSession(session({2, 4500, 30, 5}), {});
    EXPECT_EQ(patterns(book), (Strings{"2:4500/#.*", "2:4500/30.*", "2:4500/30.5"}));
    EXPECT_EQ(sessionCounts(book), (Counts{3, 2, 1}));
}

TEST(AddressBookMatching, EventsCountOnlyInKindEntries) {
    const SessionKind& answer = sessionKinds[0];
    const SessionKind& dial = sessionKinds[1];
    AddressBook book({addr(each, any, any, any), kindAddr(answer), addr(any, any, any, any)});
    MatchResult r = book.matchSession(eventSession(answer), {});
    EXPECT_EQ(r.end, WalkEnd::plainEntry);
    EXPECT_EQ(r.accountingEntry, &entryAt(book, 1));
    r = book.matchSession(eventSession(dial), {});
    EXPECT_EQ(r.end, WalkEnd::noEntry);
    r = book.matchSession(session({2, 5020, 1, 0}), {});
    EXPECT_EQ(r.end, WalkEnd::plainEntry);
    EXPECT_EQ(patterns(book), (Strings{"#:*/*.*", "2:*/*.*", "Answer", "*:*/*.*"}));
    EXPECT_EQ(sessionCounts(book), (Counts{1, 1, 1, 0}));

    // An excluded wildcard stops events too.
    AddressBook fenced({addr(any, any, any, any, true), kindAddr(answer)});
    EXPECT_EQ(fenced.matchSession(eventSession(answer), {}).end, WalkEnd::excludedEntry);
}

TEST(AddressBookCounting, CountersAndMarks) {
    AddressBook book({addr(2, 4500, any, any)});
    using namespace SessionFlags;
    book.matchSession(session({2, 4500, 1, 0}, incoming, 100, 1000, 500), {});
    book.matchSession(session({2, 4500, 1, 0}, outgoing, 1, 0, 0), {.zeroDuration = true});
    const MatchResult r = book.matchSession(
        session({2, 4500, 1, 0}, incoming | outgoing | protectedSession, 50, 10, 0),
        {.advancedCps = true});
    const AddrEntry& e = *r.accountingEntry;
    EXPECT_EQ(e.sessions, 3u);
    EXPECT_EQ(e.timeOnline, 151u);
    EXPECT_EQ(e.zeroDurationSessions, 1u);
    EXPECT_EQ(e.bytesReceived, 1010u);
    EXPECT_EQ(e.bytesSent, 500u);
    EXPECT_EQ(e.noTrafficSessions, 1u);
    EXPECT_EQ(e.trafficTime, 150u);
    EXPECT_EQ(e.sessionsIn, 2u);
    EXPECT_EQ(e.timeIn, 150u);
    EXPECT_EQ(e.sessionsOut, 2u);
    EXPECT_EQ(e.timeOut, 51u);
    EXPECT_EQ(e.flags, AddrFlags::hasAny | AddrFlags::matched | AddrFlags::advancedCps |
                           AddrFlags::hasProtected);
    EXPECT_EQ(e.historyRow, nullptr);  // no layout, no history row

    // Counts run past the classic 16 and 32 bits.
    AddressBook big({addr(1, any, any, any)});
    for (int i = 0; i < 70000; ++i) {
        big.matchSession(session({1, 1, 1, 0}, incoming, 86400, 0xFFFFFFFFu, 0), {});
    }
    const AddrEntry& b = entryAt(big, 0);
    EXPECT_EQ(b.sessions, 70000u);
    EXPECT_EQ(b.sessionsIn, 70000u);
    EXPECT_EQ(b.timeOnline, std::uint64_t{70000} * 86400);
    EXPECT_EQ(b.bytesReceived, 70000u * std::uint64_t{0xFFFFFFFFu});
}

TEST(AddressBookCounting, ProtectedMarkGoesToTheAccountingEntry) {
    AddressBook book({addr(2, 4500, each, any)});
    book.matchSession(session({2, 4500, 7, 0}, SessionFlags::protectedSession), {});
    EXPECT_FALSE(entryAt(book, 0).has(AddrFlags::hasProtected));
    EXPECT_TRUE(entryAt(book, 1).has(AddrFlags::hasProtected));
}

TEST(AddressBookCounting, HistoryRowsWithALayout) {
    const ChartLayout& layout = chooseChartLayout(1);
    AddressBook book({addr(2, 4500, each, any), kindAddr(sessionKinds[0])}, &layout);
    EXPECT_EQ(entryAt(book, 0).historyRow->view(), layout.historyTemplate);
    const MatchContext at{.noDrawZero = true, .axisStart = 2, .axisEnd = 32};
    // No traffic with NoDrawZero: counted, not drawn; events are drawn.
    book.matchSession(session({2, 4500, 7, 0}, SessionFlags::incoming, 30, 0, 0), at);
    book.matchSession(eventSession(sessionKinds[0]), at);
    EXPECT_EQ(sessionCounts(book), (Counts{1, 1, 1}));
    EXPECT_EQ(entryAt(book, 1).historyRow->view(), layout.historyTemplate);
    EXPECT_EQ(entryAt(book, 2).historyRow->view()[0], 'B');
    // A spawned entry starts from an empty row.
    book.matchSession(session({2, 4500, 9, 0}), {.axisStart = 113, .axisEnd = 143});
    EXPECT_EQ(entryAt(book, 0).historyRow->view()[2], 'A');
    std::string expected(layout.historyTemplate);
    expected[2] = 'A';
    EXPECT_EQ(entryAt(book, 2).historyRow->view(), expected);
}

TEST(AddressBookFinish, AdvancedCps) {
    const MatchContext advanced{.advancedCps = true};
    using namespace SessionFlags;
    {  // a zero-duration record: half a second off per session with traffic
        AddressBook book({addr(2, any, any, any)});
        for (std::uint32_t d : {10u, 20u, 30u}) {
            book.matchSession(session({2, 1, 1, 0}, incoming, d, 600, 0), advanced);
        }
        book.matchSession(session({2, 1, 1, 0}, incoming, 1, 0, 0),
                          {.zeroDuration = true, .advancedCps = true});
        book.finishEntries(false);
        EXPECT_EQ(entryAt(book, 0).trafficTime, 59u);  // 60 - (4 - 1) / 2
        EXPECT_EQ(cps(entryAt(book, 0)), 1800u / 59u);
    }
    {  // the time of empty sessions, per session, is handshake
        AddressBook book({addr(2, any, any, any)});
        book.matchSession(session({2, 1, 1, 0}, incoming, 100, 2400, 0), advanced);
        book.matchSession(session({2, 1, 1, 0}, incoming, 200, 0, 0), advanced);
        book.matchSession(session({2, 1, 1, 0}, incoming, 30, 0, 0), advanced);
        book.matchSession(session({2, 1, 1, 0}, incoming, 200, 0, 2400), advanced);
        book.finishEntries(false);
        // online 530, traffic time 300, overhead 230 * 4 / 2 = 460
        EXPECT_EQ(entryAt(book, 0).trafficTime, 70u);
        EXPECT_EQ(cps(entryAt(book, 0)), 4800u / 70u);
    }
    {  // an overhead beyond the time online leaves the time uncorrected
        AddressBook book({addr(2, any, any, any)});
        book.matchSession(session({2, 1, 1, 0}, incoming, 10, 500, 0), advanced);
        book.matchSession(session({2, 1, 1, 0}, incoming, 100, 0, 0), advanced);
        book.matchSession(session({2, 1, 1, 0}, incoming, 100, 0, 0), advanced);
        book.finishEntries(false);
        EXPECT_EQ(entryAt(book, 0).trafficTime, 10u);
        EXPECT_EQ(cps(entryAt(book, 0)), 50u);
    }
    {  // products past 32 bits; no AdvancedCPS line, no change
        AddressBook book({addr(2, any, any, any), addr(3, any, any, any)});
        for (int i = 0; i < 69999; ++i) {
            book.matchSession(session({2, 1, 1, 0}, incoming, 86400, 1, 0), advanced);
            book.matchSession(session({3, 1, 1, 0}, incoming, 86400, 1, 0), {});
        }
        book.matchSession(session({2, 1, 1, 0}, incoming, 80000, 0, 0), advanced);
        book.matchSession(session({3, 1, 1, 0}, incoming, 80000, 0, 0), {});
        book.finishEntries(false);
        // online 69999 * 86400 + 80000 = 6047993600, overhead 80000 * 70000 / 1
        EXPECT_EQ(entryAt(book, 0).trafficTime, 447993600u);
        EXPECT_EQ(entryAt(book, 1).trafficTime, std::uint64_t{69999} * 86400);
    }
}

TEST(AddressBookFinish, PrintableCounts) {
    const auto addrLines = [] {
        return std::vector<AddrSpec>{addr(1, 1, 1, 0),       addr(2, 4500, each, any),
                                     addr(3, 3, 3, 0, true), kindAddr(sessionKinds[0]),
                                     addr(4, 4, 4, 0),       kindAddr(sessionKinds[1])};
    };
    const auto fill = [](AddressBook& book) {
        book.matchSession(session({4, 4, 4, 0}), {});
        book.matchSession(session({3, 3, 3, 0}), {});
        book.matchSession(eventSession(sessionKinds[1]), {});
    };
    AddressBook plain(addrLines());
    fill(plain);
    const PrintableCounts p = plain.finishEntries(false);
    EXPECT_EQ(p.links, 2u);  // 4:4/4.0 and Dial
    EXPECT_EQ(p.groups, 0u);

    AddressBook kept(addrLines());
    fill(kept);
    const PrintableCounts k = kept.finishEntries(true);
    EXPECT_EQ(k.links, 3u);  // 1:1/1.0 too; not the excluded one, not the idle Answer
    EXPECT_EQ(k.groups, 1u);
    EXPECT_TRUE(isPrintable(entryAt(kept, 0), true));
    EXPECT_EQ(cps(entryAt(kept, 0)), 0u);
    EXPECT_FALSE(isPrintable(entryAt(kept, 3), true));
}

// The walk exactly as written for the configuration, over a vector and
// without memory, to hold the book's remembered walks against.
struct ReferenceBook {
    struct Entry {
        FidoAddress pattern;
        std::uint16_t flags;
        std::uint64_t sessions = 0;
        std::uint64_t bytes = 0;
    };
    std::vector<Entry> entries;

    explicit ReferenceBook(const std::vector<AddrSpec>& addrLines) {
        for (const AddrSpec& s : addrLines)
            entries.push_back({s.pattern, s.flags});
    }

    static bool bounded(const Entry& e) {
        return (e.flags & (AddrFlags::hasAny | AddrFlags::group)) != 0;
    }

    WalkEnd match(const SessionRecord& r) {
        const bool kind = r.has(SessionFlags::kindMask);
        std::size_t i = 0;
        while (i < entries.size()) {
            if (compareAddress(entries[i].pattern, r.address) != 0) {
                ++i;
                continue;
            }
            if (entries[i].flags & AddrFlags::excluded) return WalkEnd::excludedEntry;
            if (kind && !(entries[i].flags & AddrFlags::kindMask)) {
                ++i;
                continue;
            }
            entries[i].sessions += 1;
            entries[i].bytes += r.bytesReceived;
            if (!(entries[i].flags & AddrFlags::group)) return WalkEnd::plainEntry;
            std::size_t j = i + 1;
            while (j < entries.size() && !bounded(entries[j]) &&
                   compareAddress(entries[j].pattern, r.address) < 0) {
                ++j;
            }
            if (j == entries.size() || bounded(entries[j]) ||
                compareAddress(entries[j].pattern, r.address) != 0) {
                const FidoAddress& g = entries[i].pattern;
                const FidoAddress& a = r.address;
                entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(j),
                               Entry{{g.zone == any ? any : a.zone, g.net == any ? any : a.net,
                                      g.node == any ? any : a.node, g.point == any ? any : a.point},
                                     0});
            }
            i = j;
        }
        return WalkEnd::noEntry;
    }
};

TEST(AddressBookMatching, RememberedWalksAgreeWithFreshWalks) {
    // Groups with and without '*' components, with configured entries
    // standing in their runs in no particular order or with spawns alone,
    // exclusions and events.
    const std::vector<AddrSpec> addrLines{
        addr(2, 4500, each, any),   addr(2, 4500, 30, 5),       addr(2, 4500, 12, 0),
        addr(2, 4500, 99, 0, true), addr(any, 5030, each, any), addr(2, 5030, 20, 0),
        addr(1, 5030, 40, 0),       addr(2, 463, each, each),   addr(2, 463, 50, 0),
        addr(2, 463, 10, 2),        kindAddr(sessionKinds[0]),  addr(1, any, any, any, true),
        kindAddr(sessionKinds[3]),  addr(2, 5020, each, any),   addr(any, any, any, any)};
    const std::int16_t nets[] = {4500, 5030, 463, 5020, 1};
    AddressBook book(addrLines);
    ReferenceBook reference(addrLines);
    std::uint64_t state = 12345;
    const auto next = [&](std::uint64_t n) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return (state >> 33) % n;
    };
    for (int i = 0; i < 200000; ++i) {
        SessionRecord r;
        if (next(20) == 0) {
            r = eventSession(sessionKinds[next(5)]);
        } else {
            r = session({static_cast<std::int16_t>(1 + next(2)), nets[next(5)],
                         static_cast<std::int16_t>(next(60)), static_cast<std::int16_t>(next(4))});
        }
        r.bytesReceived = static_cast<std::uint32_t>(next(1000));
        const WalkEnd expected = reference.match(r);
        ASSERT_EQ(book.matchSession(r, {}).end, expected) << "session " << i;
    }
    ASSERT_EQ(book.entries().size(), reference.entries.size());
    ASSERT_GT(book.entries().size(), 200u);
    auto it = book.entries().begin();
    for (const ReferenceBook::Entry& e : reference.entries) {
        EXPECT_EQ(it->pattern, e.pattern);
        EXPECT_EQ(it->sessions, e.sessions);
        EXPECT_EQ(it->bytesReceived, e.bytes);
        ++it;
    }
}

}  // namespace
}  // namespace rv
