// The counters that an address entry, a line's totals and their protected
// part, and the totals of all lines keep for the sessions they count, and
// the one computation of their CPS. Counters are
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
// but not among its sessions: countsAsSession is false for them. taken is
// false for a session that the counters leave out, such as an unprotected
// one for a line's protected part.
//
// Inline and without branches on the record, since every counted session
// comes here once or twice: in a busy history directions and sessions
// without traffic follow no pattern, and a mispredicted branch costs more
// than the additions it would skip. Each bool is 0 or 1.
inline void countTraffic(TrafficCounters& c, const SessionRecord& r, bool zeroDuration,
                         bool countsAsSession, bool taken = true) {
    const std::uint64_t part = taken;
    const std::uint64_t d = r.duration * part;
    const std::uint64_t traffic = (r.bytesReceived | r.bytesSent) != 0;
    const std::uint64_t in = r.has(SessionFlags::incoming);
    const std::uint64_t out = r.has(SessionFlags::outgoing);
    const std::uint64_t session = countsAsSession & part;
    c.timeOnline += d;
    c.zeroDurationSessions += zeroDuration & part;
    c.bytesReceived += r.bytesReceived * part;
    c.bytesSent += r.bytesSent * part;
    c.trafficTime += d * traffic;
    c.sessions += session;
    c.noTrafficSessions += session & (traffic ^ 1);
    c.sessionsIn += in & part;
    c.timeIn += d * in;
    c.sessionsOut += out & part;
    c.timeOut += d * out;
}

// Adds the counters of c to sum.
void addCounters(TrafficCounters& sum, const TrafficCounters& c);

// What is left of all without part, each figure never below 0.
TrafficCounters without(const TrafficCounters& all, const TrafficCounters& part);

// Takes the handshake time of the sessions that moved nothing off the time
// that carried traffic.
void applyAdvancedCps(TrafficCounters& c);

// Bytes received and sent.
inline std::uint64_t traffic(const TrafficCounters& c) {
    return c.bytesReceived + c.bytesSent;
}

// Bytes per second of traffic time (the byte sum when that time is 0 or 1).
std::uint64_t cps(const TrafficCounters& c);

}  // namespace rv
