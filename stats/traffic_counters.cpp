#include "stats/traffic_counters.h"

namespace rv {

void countTraffic(TrafficCounters& c, const SessionRecord& r, bool zeroDuration,
                  bool countsAsSession) {
    const std::uint64_t d = r.duration;
    const bool traffic = r.bytesReceived != 0 || r.bytesSent != 0;
    c.timeOnline += d;
    if (zeroDuration) ++c.zeroDurationSessions;
    c.bytesReceived += r.bytesReceived;
    c.bytesSent += r.bytesSent;
    if (traffic) c.trafficTime += d;
    if (countsAsSession) {
        ++c.sessions;
        if (!traffic) ++c.noTrafficSessions;
    }
    if (r.has(SessionFlags::incoming)) {
        ++c.sessionsIn;
        c.timeIn += d;
    }
    if (r.has(SessionFlags::outgoing)) {
        ++c.sessionsOut;
        c.timeOut += d;
    }
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
    const std::uint64_t bytes = c.bytesReceived + c.bytesSent;
    return c.trafficTime > 1 ? bytes / c.trafficTime : bytes;
}

}  // namespace rv
