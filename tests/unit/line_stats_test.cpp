// Per-line figures: the totals a line adds for each accounted session, the
// chart axis position of a session, the spreading of its time over the
// busy slots, and the line's CPS with the AdvancedCPS correction.
#include <gtest/gtest.h>

#include <cstdint>

#include <vector>

#include "stats/accounting.h"
#include "stats/line_stats.h"

namespace rv {
namespace {

using namespace SessionFlags;

SessionRecord session(std::uint16_t flags, std::uint32_t duration, std::uint32_t received,
                      std::uint32_t sent, std::uint32_t cost = 0) {
    SessionRecord r;
    r.address = {2, 5020, 1, 0};
    r.flags = flags;
    r.duration = duration;
    r.bytesReceived = received;
    r.bytesSent = sent;
    r.cost = cost;
    return r;
}

#define EXPECT_FIELD(field) EXPECT_EQ(actual.field, expected.field) << #field
void expectCounters(const TrafficCounters& actual, const TrafficCounters& expected) {
    EXPECT_FIELD(bytesReceived);
    EXPECT_FIELD(bytesSent);
    EXPECT_FIELD(timeOnline);
    EXPECT_FIELD(trafficTime);
    EXPECT_FIELD(timeIn);
    EXPECT_FIELD(timeOut);
    EXPECT_FIELD(sessions);
    EXPECT_FIELD(noTrafficSessions);
    EXPECT_FIELD(zeroDurationSessions);
    EXPECT_FIELD(sessionsIn);
    EXPECT_FIELD(sessionsOut);
}
void expectTotals(const LineTotals& actual, const LineTotals& expected) {
    expectCounters(actual, expected);
    EXPECT_FIELD(normalIn);
    EXPECT_FIELD(normalOut);
    EXPECT_FIELD(normalSessions);
    EXPECT_FIELD(externalEvents);
    EXPECT_FIELD(bbsEvents);
    EXPECT_FIELD(answerEvents);
    EXPECT_FIELD(dialEvents);
    EXPECT_FIELD(terminalEvents);
    EXPECT_FIELD(costIn);
    EXPECT_FIELD(costOut);
    EXPECT_FIELD(protectedNormal);
    SCOPED_TRACE("protected part");
    expectCounters(actual.protectedPart, expected.protectedPart);
}
#undef EXPECT_FIELD

// ---- Line totals ------------------------------------------------------------

TEST(LineStatsTotals, ProtectedIncomingSessionWithCost) {
    LineTotals t;
    addToLineTotals(t, session(incoming | normal | protectedSession, 60, 100, 200, 7), false,
                    HistoryType::pair116);
    LineTotals e;
    e.bytesReceived = 100;
    e.bytesSent = 200;
    e.timeOnline = 60;
    e.trafficTime = 60;
    e.timeIn = 60;
    e.sessions = 1;
    e.sessionsIn = 1;
    e.normalIn = 1;
    e.normalSessions = 1;
    e.costIn = 7;
    e.protectedPart = e;  // the one session is protected
    e.protectedNormal = 1;
    expectTotals(t, e);
}

TEST(LineStatsTotals, AbortedSessionWithoutTrafficAndZeroDuration) {
    LineTotals t;
    // A stored duration of 0 is counted as one second.
    addToLineTotals(t, session(outgoing, 1, 0, 0, 9), true, HistoryType::plain28);
    LineTotals e;
    e.timeOnline = 1;
    e.timeOut = 1;
    e.sessions = 1;
    e.noTrafficSessions = 1;
    e.zeroDurationSessions = 1;
    e.sessionsOut = 1;  // no cost: type 2 records none
    expectTotals(t, e);
}

TEST(LineStatsTotals, BothDirectionsCountTwiceNeitherCountsNowhere) {
    LineTotals t;
    addToLineTotals(t, session(incoming | outgoing | normal, 10, 1, 0, 3), false,
                    HistoryType::dated104);
    addToLineTotals(t, session(normal, 20, 0, 5), false, HistoryType::dated104);
    LineTotals e;
    e.bytesReceived = 1;
    e.bytesSent = 5;
    e.timeOnline = 30;
    e.trafficTime = 30;
    e.timeIn = 10;
    e.timeOut = 10;
    e.sessions = 2;
    e.sessionsIn = 1;
    e.sessionsOut = 1;
    e.normalIn = 1;
    e.normalOut = 1;
    e.normalSessions = 2;
    e.costIn = 3;
    e.costOut = 3;
    expectTotals(t, e);
}

TEST(LineStatsTotals, BrakeEvents) {
    LineTotals t;
    const HistoryType brake = HistoryType::brake;
    // Answer, Dial and Terminal are no sessions; BBS and External are.
    addToLineTotals(t, session(kindAnswer, 30, 0, 0), false, brake);
    addToLineTotals(t, session(kindDial, 40, 0, 0), false, brake);
    addToLineTotals(t, session(kindTerminal, 50, 0, 0), false, brake);
    addToLineTotals(t, session(kindBbs | normal, 600, 0, 0), false, brake);
    addToLineTotals(t, session(kindExternal | normal, 5, 0, 0), false, brake);
    LineTotals e;
    e.timeOnline = 725;
    e.sessions = 2;
    e.noTrafficSessions = 2;
    e.normalSessions = 2;
    e.answerEvents = 1;
    e.dialEvents = 1;
    e.terminalEvents = 1;
    e.bbsEvents = 1;
    e.externalEvents = 1;
    expectTotals(t, e);
}

TEST(LineStatsTotals, CountersGoBeyondSixteenAndThirtyTwoBits) {
    LineTotals t;
    const SessionRecord r =
        session(incoming | normal | protectedSession, 86400, 4000000000u, 3000000000u);
    for (int i = 0; i < 70000; ++i)
        addToLineTotals(t, r, false, HistoryType::long100);
    EXPECT_EQ(t.sessions, 70000u);
    EXPECT_EQ(t.sessionsIn, 70000u);
    EXPECT_EQ(t.protectedPart.sessionsIn, 70000u);
    EXPECT_EQ(t.bytesReceived, 280000000000000ull);
    EXPECT_EQ(t.bytesSent, 210000000000000ull);
    EXPECT_EQ(t.timeOnline, 6048000000ull);
    EXPECT_EQ(t.protectedPart.bytesReceived, 280000000000000ull);
    EXPECT_EQ(cps(t), 490000000000000ull / 6048000000ull);
}

// ---- Totals of several lines ------------------------------------------------------

// The totals box adds up the lines and their protected parts and shows
// what is left as unprotected. A protected Answer event is among the
// protected sessions only, so that part can outnumber the whole.
TEST(LineStatsTotals, PartsOfSeveralLinesSumAndLeaveNoNegativeRest) {
    LineTotals a;
    LineTotals b;
    addToLineTotals(a, session(incoming | protectedSession, 10, 1, 2), false, HistoryType::long100);
    addToLineTotals(a, session(kindAnswer | protectedSession, 5, 0, 0), false,
                    HistoryType::long100);
    addToLineTotals(a, session(kindAnswer | protectedSession, 5, 0, 0), false,
                    HistoryType::long100);
    addToLineTotals(b, session(outgoing | protectedSession, 20, 3, 4), false, HistoryType::long100);
    addToLineTotals(b, session(outgoing, 30, 5, 6), false, HistoryType::long100);
    TrafficCounters all;
    TrafficCounters prot;
    for (const LineTotals* t : {&a, &b}) {
        addCounters(all, *t);
        addCounters(prot, t->protectedPart);
    }
    const TrafficCounters rest = without(all, prot);
    struct Row {
        const char* name;
        std::uint64_t TrafficCounters::*field;
        std::uint64_t all, prot, rest;
    };
    const Row rows[] = {
        {"bytesReceived", &TrafficCounters::bytesReceived, 9, 4, 5},
        {"bytesSent", &TrafficCounters::bytesSent, 12, 6, 6},
        {"timeOnline", &TrafficCounters::timeOnline, 70, 40, 30},
        {"timeIn", &TrafficCounters::timeIn, 10, 10, 0},
        {"timeOut", &TrafficCounters::timeOut, 50, 20, 30},
        {"sessions", &TrafficCounters::sessions, 3, 4, 0},
        {"sessionsIn", &TrafficCounters::sessionsIn, 1, 1, 0},
        {"sessionsOut", &TrafficCounters::sessionsOut, 2, 1, 1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(all.*row.field, row.all) << row.name;
        EXPECT_EQ(prot.*row.field, row.prot) << row.name;
        EXPECT_EQ(rest.*row.field, row.rest) << row.name;
    }
    EXPECT_EQ(traffic(rest), 11u);
}

// ---- CPS ----------------------------------------------------------------------

TEST(LineStatsCps, DividesOnlyByATrafficTimeAboveOne) {
    LineTotals t;
    t.bytesReceived = 1000;
    t.bytesSent = 500;
    t.trafficTime = 0;
    EXPECT_EQ(cps(t), 1500u);
    t.trafficTime = 1;
    EXPECT_EQ(cps(t), 1500u);
    t.trafficTime = 2;
    EXPECT_EQ(cps(t), 750u);
    t.trafficTime = 7;
    EXPECT_EQ(cps(t), 214u);  // truncated
}

TEST(LineStatsAdvancedCps, ZeroDurationSessionsTakeHalfASecondEach) {
    LineTotals t;
    t.sessions = 5;
    t.noTrafficSessions = 1;
    t.zeroDurationSessions = 1;
    t.trafficTime = 100;
    t.timeOnline = 130;
    applyAdvancedCps(t);
    EXPECT_EQ(t.trafficTime, 98u);  // 100 - (5 - 1) / 2
    t.sessions = 4;
    t.noTrafficSessions = 1;
    t.trafficTime = 100;
    applyAdvancedCps(t);
    EXPECT_EQ(t.trafficTime, 99u);  // (4 - 1) / 2 = 1
}

TEST(LineStatsAdvancedCps, HandshakeOverheadOfSessionsWithoutTraffic) {
    LineTotals t;
    t.sessions = 4;
    t.noTrafficSessions = 2;
    t.timeOnline = 1000;
    t.trafficTime = 900;
    t.bytesReceived = 8000;
    applyAdvancedCps(t);
    // overhead = (1000 - 900) * 4 / 2 = 200
    EXPECT_EQ(t.trafficTime, 800u);
    EXPECT_EQ(cps(t), 10u);

    LineTotals big;
    big.sessions = 10;
    big.noTrafficSessions = 1;
    big.timeOnline = 100;
    big.trafficTime = 10;
    big.bytesSent = 5000;
    applyAdvancedCps(big);
    // overhead = 90 * 10 / 1 = 900, not below the time online: no correction
    EXPECT_EQ(big.trafficTime, 10u);
    EXPECT_EQ(cps(big), 500u);

    LineTotals edge;
    edge.sessions = 2;
    edge.noTrafficSessions = 1;
    edge.timeOnline = 100;
    edge.trafficTime = 50;
    applyAdvancedCps(edge);
    // overhead = 50 * 2 / 1 = 100, equal to the time online: no correction
    EXPECT_EQ(edge.trafficTime, 50u);
}

TEST(LineStatsAdvancedCps, NothingToCorrect) {
    LineTotals t;
    t.sessions = 3;
    t.timeOnline = 300;
    t.trafficTime = 300;
    applyAdvancedCps(t);
    EXPECT_EQ(t.trafficTime, 300u);
    LineTotals empty;
    applyAdvancedCps(empty);
    EXPECT_EQ(empty.trafficTime, 0u);
}

// The same sessions corrected as a line and as an address entry, which
// count them each into their own counters, held to one table of cases.
TEST(LineStatsAdvancedCps, LinesAndAddressEntriesAgree) {
    struct Session {
        std::uint32_t duration;
        std::uint32_t bytes;
        bool zeroDuration;
    };
    struct Case {
        const char* what;
        std::vector<Session> sessions;
        std::uint64_t correctedTime;
        std::uint64_t cps;
    };
    const Case cases[] = {
        {"an hour without traffic beside a minute of 60000 bytes: the estimate covers "
         "everything, the time stays",
         {{3600, 0, false}, {60, 60000, false}},
         60,
         1000},
        {"a short handshake is taken off", {{100, 0, false}, {900, 9000, false}}, 800, 11},
        {"an estimate just below the time online", {{49, 0, false}, {51, 5100, false}}, 2, 2550},
        {"an estimate equal to the time online", {{50, 0, false}, {50, 5000, false}}, 50, 100},
        {"a zero-duration record: half a second per session with traffic",
         {{1, 0, true}, {30, 300, false}, {30, 300, false}, {40, 400, false}},
         99,
         10},
        {"traffic only: nothing to correct", {{10, 100, false}, {20, 200, false}}, 30, 10},
    };
    for (const Case& c : cases) {
        AddressBook book(
            {AddrSpec{{2, anyComponent, anyComponent, anyComponent}, AddrFlags::hasAny, {}}});
        LineTotals totals;
        for (const Session& s : c.sessions) {
            MatchContext context;
            context.advancedCps = true;
            context.zeroDuration = s.zeroDuration;
            accountSession(book, totals, session(incoming, s.duration, s.bytes, 0), context,
                           HistoryType::plain28);
        }
        applyAdvancedCps(totals);
        book.finishEntries(false);
        const AddrEntry& entry = book.entries().front();
        EXPECT_EQ(totals.trafficTime, c.correctedTime) << c.what;
        EXPECT_EQ(entry.trafficTime, c.correctedTime) << c.what;
        EXPECT_EQ(cps(totals), c.cps) << c.what;
        EXPECT_EQ(cps(entry), c.cps) << c.what;
    }
}

// ---- Chart axis ---------------------------------------------------------------

TEST(LineStatsAxisPosition, OffsetFromTheHourTheWindowStartsIn) {
    const std::int64_t windowStart = 1709627400;  // some 08:30:00
    // Window 8:30:15-...: the axis begins at 8:00:00, so the window start is at 1815.
    AxisSpan a = axisPosition(windowStart + 100, 50, windowStart, 30, 15);
    EXPECT_EQ(a.start, 1915u);
    EXPECT_EQ(a.end, 1965u);
    // Exactly at the window start.
    a = axisPosition(windowStart, 1, windowStart, 0, 0);
    EXPECT_EQ(a.start, 0u);
    EXPECT_EQ(a.end, 1u);
}

TEST(LineStatsAxisPosition, ThePartBeforeTheWindowIsCutOff) {
    const std::int64_t windowStart = 1709596800;
    // 23:50 to 00:10 over a window from midnight: ten minutes remain.
    AxisSpan a = axisPosition(windowStart - 600, 1200, windowStart, 0, 0);
    EXPECT_EQ(a.start, 0u);
    EXPECT_EQ(a.end, 600u);
    a = axisPosition(windowStart - 300, 1000, windowStart, 30, 0);
    EXPECT_EQ(a.start, 1800u);
    EXPECT_EQ(a.end, 2500u);
}

// ---- Busy slots -------------------------------------------------------------------

const ChartLayout& wholeDay = chooseChartLayout(24);
const ChartLayout& oneHour = chooseChartLayout(1);

TEST(LineStatsBusyHistogram, QuarterHourSlotsTakeTheirOverlap) {
    BusyHistogram busy;
    addToBusyHistogram(busy, {800, 2000}, incoming | protectedSession, wholeDay);
    for (const SlotValues* values :
         {&busy.all, &busy.incoming, &busy.protectedAll, &busy.protectedIn}) {
        EXPECT_EQ((*values)[0], 100u);
        EXPECT_EQ((*values)[1], 900u);
        EXPECT_EQ((*values)[2], 200u);
        EXPECT_EQ((*values)[3], 0u);
    }
    for (const SlotValues* values : {&busy.outgoing, &busy.unprotected, &busy.protectedOut,
                                     &busy.unprotectedIn, &busy.unprotectedOut}) {
        for (std::uint64_t v : *values)
            EXPECT_EQ(v, 0u);
    }
}

TEST(LineStatsBusyHistogram, DirectionAndProtectionSelectTheArrays) {
    BusyHistogram busy;
    addToBusyHistogram(busy, {0, 900}, outgoing, wholeDay);
    addToBusyHistogram(busy, {0, 300}, incoming | outgoing, wholeDay);
    addToBusyHistogram(busy, {0, 60}, 0, wholeDay);
    addToBusyHistogram(busy, {0, 7}, outgoing | protectedSession, wholeDay);
    EXPECT_EQ(busy.all[0], 1267u);
    EXPECT_EQ(busy.incoming[0], 300u);
    EXPECT_EQ(busy.outgoing[0], 1207u);
    EXPECT_EQ(busy.protectedAll[0], 7u);
    EXPECT_EQ(busy.protectedOut[0], 7u);
    EXPECT_EQ(busy.protectedIn[0], 0u);
    EXPECT_EQ(busy.unprotected[0], 1260u);
    EXPECT_EQ(busy.unprotectedIn[0], 300u);
    EXPECT_EQ(busy.unprotectedOut[0], 1200u);
}

TEST(LineStatsBusyHistogram, TimeBeyondTheLastSlotIsNotKept) {
    BusyHistogram busy;
    addToBusyHistogram(busy, {95 * 900 + 100, 96 * 900 + 500}, incoming, wholeDay);
    EXPECT_EQ(busy.all[95], 800u);
    EXPECT_EQ(busy.all[94], 0u);
    BusyHistogram beyond;
    addToBusyHistogram(beyond, {96 * 900, 97 * 900}, incoming, wholeDay);
    for (std::uint64_t v : beyond.all)
        EXPECT_EQ(v, 0u);
}

TEST(LineStatsBusyHistogram, SlotsOfOneAndThreeHoursTileTheirSpan) {
    // 3600 / 96 = 37.5: the slots are 37 and 38 seconds long in turn.
    BusyHistogram busy;
    addToBusyHistogram(busy, {30, 80}, outgoing, oneHour);  // slots [0,37) [37,75) [75,112)
    EXPECT_EQ(busy.all[0], 7u);
    EXPECT_EQ(busy.all[1], 38u);
    EXPECT_EQ(busy.all[2], 5u);
    addToBusyHistogram(busy, {40, 50}, outgoing, oneHour);  // wholly inside slot 1
    EXPECT_EQ(busy.all[1], 48u);
    // The window's last 45 seconds (10:59:15 in 10-11) are in its last slots.
    BusyHistogram end;
    addToBusyHistogram(end, {3555, 3600}, incoming, oneHour);
    EXPECT_EQ(end.all[94], 7u);  // [3525, 3562)
    EXPECT_EQ(end.all[95], 38u);
    // A session over the whole chart fills each slot to its length, and no
    // second is lost at the end, for every layout.
    for (const ChartLayout& layout : chartLayouts) {
        BusyHistogram whole;
        addToBusyHistogram(whole, {0, 86400}, incoming, layout);
        std::uint64_t sum = 0;
        for (std::size_t i = 0; i < whole.all.size(); ++i) {
            EXPECT_EQ(whole.all[i], slotLength(layout, i)) << int{layout.hours} << " h, slot " << i;
            sum += whole.all[i];
        }
        EXPECT_EQ(sum, layout.hours * 3600u);
        // Where 96 slots divide the span, every slot is slotSeconds long.
        if (layout.hours != 1 && layout.hours != 3) {
            EXPECT_EQ(slotLength(layout, 95), layout.slotSeconds);
        }
    }
}

TEST(LineStatsBusyHistogram, WholeDaySessionFillsEachSlot) {
    BusyHistogram busy;
    addToBusyHistogram(busy, {0, 86400}, incoming, wholeDay);
    std::uint64_t sum = 0;
    for (std::uint64_t v : busy.all) {
        EXPECT_EQ(v, 900u);
        sum += v;
    }
    EXPECT_EQ(sum, 86400u);
}

}  // namespace
}  // namespace rv
