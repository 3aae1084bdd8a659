// The counters that both an address entry and a line's totals keep for the
// sessions they count, and the one computation of their CPS. Counters are
// 64-bit so that a busy line over a long period prints its true figures.
#pragma once

#include <cstdint>

#include "core/session_record.h"

namespace rv {

struct TrafficCounters {
    std::uint64_t bytesReceived = 0;
    std::uint64_t bytesSent = 0;
    std::uint64_t timeOnline = 0;
    std::uint64_t trafficTime = 0;  // time of sessions that moved bytes; AdvancedCPS rewrites it
    std::uint64_t timeIn = 0;
    std::uint64_t timeOut = 0;
    std::uint64_t sessions = 0;
    std::uint64_t noTrafficSessions = 0;  // of those counted in sessions
    std::uint64_t zeroDurationSessions = 0;
    std::uint64_t sessionsIn = 0;
    std::uint64_t sessionsOut = 0;
};

// Adds one session (direction settled, duration at least 1). A line counts
// The Brake!'s Answer, Dial and Terminal events in its times and traffic
// but not among its sessions: countsAsSession is false for them.
//
// Inline and without branches on the record, since every counted session
// comes here once or twice: in a busy history directions and sessions
// without traffic follow no pattern, and a mispredicted branch costs more
// than the additions it would skip. Each bool is 0 or 1.
inline void countTraffic(TrafficCounters& c, const SessionRecord& r, bool zeroDuration,
                         bool countsAsSession) {
    const std::uint64_t d = r.duration;
    const std::uint64_t traffic = (r.bytesReceived | r.bytesSent) != 0;
    const std::uint64_t in = r.has(SessionFlags::incoming);
    const std::uint64_t out = r.has(SessionFlags::outgoing);
    const std::uint64_t session = countsAsSession;
    c.timeOnline += d;
    c.zeroDurationSessions += zeroDuration;
    c.bytesReceived += r.bytesReceived;
    c.bytesSent += r.bytesSent;
    c.trafficTime += d * traffic;
    c.sessions += session;
    c.noTrafficSessions += session & (traffic ^ 1);
    c.sessionsIn += in;
    c.timeIn += d * in;
    c.sessionsOut += out;
    c.timeOut += d * out;
}

// Adds the counters of c to sum.
void addCounters(TrafficCounters& sum, const TrafficCounters& c);

// Takes the handshake time of the sessions that moved nothing off the time
// that carried traffic.
void applyAdvancedCps(TrafficCounters& c);

// Bytes per second of traffic time (the byte sum when that time is 0 or 1).
std::uint64_t cps(const TrafficCounters& c);

}  // namespace rv
