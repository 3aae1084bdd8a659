// The address entries as pondrel uses them (no charts, sessions counted at
// once or tallied per outcome), checked against the matching rules walked
// literally over the list: the first entry that takes a session,
// exclusions, kind entries, and groups finding or spawning the session's
// own entry in their run. Random configurations over a small address space
// make groups, wildcards and configured entries meet in every order.
#include <gtest/gtest.h>

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "core/format.h"
#include "core/session_kind.h"
#include "stats/address_book.h"

namespace rv {
namespace {

constexpr std::uint16_t wildcardBits = AddrFlags::hasAny | AddrFlags::group;

// The rules, step by step, over a plain list.
class ReferenceBook {
  public:
    struct Entry {
        FidoAddress pattern;
        std::uint16_t flags;
        std::uint64_t sessions = 0;
    };

    explicit ReferenceBook(const std::vector<AddrSpec>& addrLines) {
        for (const AddrSpec& addrSpec : addrLines)
            entries_.push_back({addrSpec.pattern, addrSpec.flags});
    }

    void match(const FidoAddress& address, bool hasKind) {
        for (auto it = entries_.begin(); it != entries_.end();) {
            if (compareAddress(it->pattern, address) != 0) {
                ++it;
                continue;
            }
            if (it->flags & AddrFlags::excluded) return;
            if (hasKind && !(it->flags & AddrFlags::kindMask)) {
                ++it;
                continue;
            }
            it->flags |= AddrFlags::matched;
            ++it->sessions;
            if (!(it->flags & AddrFlags::group)) return;
            auto pos = std::next(it);
            while (pos != entries_.end() && !(pos->flags & wildcardBits) &&
                   compareAddress(pos->pattern, address) < 0)
                ++pos;
            if (pos != entries_.end() && !(pos->flags & wildcardBits) &&
                compareAddress(pos->pattern, address) == 0) {
                it = pos;
                continue;
            }
            const FidoAddress& g = it->pattern;
            const FidoAddress own{g.zone == -1 ? std::int16_t{-1} : address.zone,
                                  g.net == -1 ? std::int16_t{-1} : address.net,
                                  g.node == -1 ? std::int16_t{-1} : address.node,
                                  g.point == -1 ? std::int16_t{-1} : address.point};
            it = entries_.insert(pos, Entry{own, 0});
        }
    }

    const std::list<Entry>& entries() const { return entries_; }

  private:
    std::list<Entry> entries_;
};

class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed * 2654435761u + 1) {}
    unsigned below(unsigned n) {
        state_ = state_ * 6364136223846793005u + 1442695040888963407u;
        return static_cast<unsigned>((state_ >> 33) % n);
    }

  private:
    std::uint64_t state_;
};

// Components 1..2 (zone), 1..3 (net), 0..4 (node), 0..2 (point); a
// pattern component may also be '*' or '#'.
std::int16_t patternPart(Random& random, unsigned values, unsigned base) {
    const unsigned pick = random.below(values + 3);
    if (pick == values) return -1;
    if (pick == values + 1) return -2;
    return static_cast<std::int16_t>(base + random.below(values));
}

FidoAddress randomAddress(Random& random) {
    return {static_cast<std::int16_t>(1 + random.below(2)),
            static_cast<std::int16_t>(1 + random.below(3)),
            static_cast<std::int16_t>(random.below(5)), static_cast<std::int16_t>(random.below(3))};
}

std::vector<AddrSpec> randomSpecs(Random& random) {
    std::vector<AddrSpec> addrLines;
    const unsigned count = 1 + random.below(12);
    for (unsigned i = 0; i < count; ++i) {
        AddrSpec addrSpec;
        if (random.below(12) == 0) {
            const SessionKind& kind = sessionKinds[random.below(5)];
            addrSpec.pattern = eventKeyAddress(kind);
            addrSpec.flags = kind.entryFlag;
        } else if (random.below(3) == 0) {
            addrSpec.pattern = randomAddress(random);  // a single address
        } else {
            addrSpec.pattern = {patternPart(random, 2, 1), patternPart(random, 3, 1),
                                patternPart(random, 5, 0), patternPart(random, 3, 0)};
            const FidoAddress& p = addrSpec.pattern;
            for (std::int16_t part : {p.zone, p.net, p.node, p.point}) {
                if (part == -1) addrSpec.flags |= AddrFlags::hasAny;
                if (part == -2) addrSpec.flags |= AddrFlags::group;
            }
        }
        if (random.below(6) == 0) addrSpec.flags |= AddrFlags::excluded;
        addrLines.push_back(addrSpec);
    }
    return addrLines;
}

// One session in ten an event of The Brake!, the others incoming mail.
SessionRecord randomSession(Random& random) {
    SessionRecord r;
    if (random.below(10) == 0) {
        const SessionKind& kind = sessionKinds[random.below(5)];
        r.address = eventKeyAddress(kind);
        r.flags = kind.recordFlags;
    } else {
        r.address = randomAddress(random);
        r.flags = SessionFlags::incoming;
    }
    return r;
}

std::string describe(const FidoAddress& a) {
    return std::string(formatAddress(a, 15).c_str());
}

TEST(PondrelMatching, MatchingFollowsTheRulesWalkedOverTheList) {
    for (std::uint64_t seed = 1; seed <= 400; ++seed) {
        Random random(seed);
        const std::vector<AddrSpec> addrLines = randomSpecs(random);
        ReferenceBook reference(addrLines);
        AddressBook book(addrLines);
        for (unsigned k = 0; k < 150; ++k) {
            SessionRecord r = randomSession(random);
            r.duration = 1;
            reference.match(r.address, r.has(SessionFlags::kindMask));
            book.matchSession(r, {});
        }

        std::string expected, actual;
        for (const auto& e : reference.entries())
            expected += describe(e.pattern) + " " + std::to_string(e.flags) + " " +
                        std::to_string(e.sessions) + "\n";
        for (const AddrEntry& e : book.entries())
            actual += describe(e.pattern) + " " + std::to_string(e.flags) + " " +
                      std::to_string(e.sessions) + "\n";
        ASSERT_EQ(actual, expected) << "seed " << seed;
    }
}

// Every counter the entries and a line's totals print, and the flags.
std::string counters(const TrafficCounters& c) {
    std::string text;
    for (std::uint64_t v :
         {c.bytesReceived, c.bytesSent, c.timeOnline, c.trafficTime, c.timeIn, c.timeOut,
          c.sessions, c.noTrafficSessions, c.zeroDurationSessions, c.sessionsIn, c.sessionsOut})
        text += " " + std::to_string(v);
    return text;
}

std::string describeBook(const AddressBook& book) {
    std::string text;
    for (const AddrEntry& e : book.entries())
        text += describe(e.pattern) + " " + std::to_string(e.flags) + counters(e) + "\n";
    return text;
}

// Mail sessions tallied per outcome and handed over at the end of each
// line give the entries and the lines what counting each session at once
// gives them, with events counted at once among them, lines with and
// without AdvancedCPS, and random directions, traffic, lengths and
// protection.
TEST(PondrelMatching, TalliedSessionsCountAsSessionsCountedOneByOne) {
    for (std::uint64_t seed = 1; seed <= 300; ++seed) {
        Random random(seed);
        const std::vector<AddrSpec> addrLines = randomSpecs(random);
        AddressBook direct(addrLines);
        AddressBook tallied(addrLines);
        const unsigned lines = 1 + random.below(3);
        for (unsigned line = 0; line < lines; ++line) {
            MatchContext context;
            context.advancedCps = random.below(2) == 0;
            TrafficCounters directTotals;
            TrafficCounters talliedTotals;
            for (unsigned k = 0; k < 100; ++k) {
                SessionRecord r = randomSession(random);
                if (!r.has(SessionFlags::kindMask)) {
                    r.flags = static_cast<std::uint16_t>(1 + random.below(3)) |
                              (random.below(2) ? SessionFlags::protectedSession : 0);
                    r.bytesReceived = random.below(3) == 0 ? 0 : random.below(100000);
                    r.bytesSent = random.below(3) == 0 ? 0 : random.below(100000);
                }
                context.zeroDuration = random.below(8) == 0;
                r.duration = context.zeroDuration ? 1 : 1 + random.below(3600);
                const bool countsInLine = !r.has(SessionFlags::kindAnswer | SessionFlags::kindDial |
                                                 SessionFlags::kindTerminal);
                if (direct.matchSession(r, context).end == WalkEnd::plainEntry)
                    countTraffic(directTotals, r, context.zeroDuration, countsInLine);
                if (r.has(SessionFlags::kindMask) ||
                    !tallied.tallySession(r, context.zeroDuration)) {
                    if (tallied.matchSession(r, context).end == WalkEnd::plainEntry)
                        countTraffic(talliedTotals, r, context.zeroDuration, countsInLine);
                }
            }
            tallied.flushTallies(talliedTotals, context.advancedCps);
            ASSERT_EQ(counters(talliedTotals), counters(directTotals))
                << "seed " << seed << " line " << line;
        }
        ASSERT_EQ(describeBook(tallied), describeBook(direct)) << "seed " << seed;
    }
}

}  // namespace
}  // namespace rv
