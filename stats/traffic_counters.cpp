#include "stats/traffic_counters.h"

namespace rv {

void addCounters(TrafficCounters& sum, const TrafficCounters& c) {
    sum.bytesReceived += c.bytesReceived;
    sum.bytesSent += c.bytesSent;
    sum.timeOnline += c.timeOnline;
    sum.trafficTime += c.trafficTime;
    sum.timeIn += c.timeIn;
    sum.timeOut += c.timeOut;
    sum.sessions += c.sessions;
    sum.noTrafficSessions += c.noTrafficSessions;
    sum.zeroDurationSessions += c.zeroDurationSessions;
    sum.sessionsIn += c.sessionsIn;
    sum.sessionsOut += c.sessionsOut;
}

TrafficCounters without(const TrafficCounters& all, const TrafficCounters& part) {
    const auto less = [](std::uint64_t a, std::uint64_t b) { return a > b ? a - b : 0; };
    TrafficCounters c;
    c.bytesReceived = less(all.bytesReceived, part.bytesReceived);
    c.bytesSent = less(all.bytesSent, part.bytesSent);
    c.timeOnline = less(all.timeOnline, part.timeOnline);
    c.trafficTime = less(all.trafficTime, part.trafficTime);
    c.timeIn = less(all.timeIn, part.timeIn);
    c.timeOut = less(all.timeOut, part.timeOut);
    c.sessions = less(all.sessions, part.sessions);
    c.noTrafficSessions = less(all.noTrafficSessions, part.noTrafficSessions);
    c.zeroDurationSessions = less(all.zeroDurationSessions, part.zeroDurationSessions);
    c.sessionsIn = less(all.sessionsIn, part.sessionsIn);
    c.sessionsOut = less(all.sessionsOut, part.sessionsOut);
    return c;
}

void applyAdvancedCps(TrafficCounters& c) {
    if (c.zeroDurationSessions > 0) {
        const std::uint64_t cut = (c.sessions - c.noTrafficSessions) / 2;
        c.trafficTime = c.trafficTime > cut ? c.trafficTime - cut : 0;
    } else if (c.noTrafficSessions > 0) {
        const std::uint64_t overhead =
            (c.timeOnline - c.trafficTime) * c.sessions / c.noTrafficSessions;
        // An estimate as long as the whole time online says nothing about
        // the handshake: the time stays as it was.
        if (overhead < c.timeOnline) c.trafficTime = c.timeOnline - overhead;
    }
}

std::uint64_t cps(const TrafficCounters& c) {
    const std::uint64_t bytes = traffic(c);
    return c.trafficTime > 1 ? bytes / c.trafficTime : bytes;
}

}  // namespace rv
