#include "tools/node_history.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "core/session_kind.h"
#include "tools/prng.h"

namespace rv::histgen {

namespace {

using namespace SessionFlags;

struct Link {
    FidoAddress address;
    bool protectedLink;  // has a session password with this node
};

// The node's links: an uplink, neighbours in a few nets, their points and
// some far links. No net has a low byte of 0 or 1, so that no 28-byte
// history starts like a 316-byte one.
constexpr std::array<Link, 34> links{{
    {{2, 5020, 100, 0}, true},   {{2, 5020, 52, 0}, true},    {{2, 5020, 128, 0}, true},
    {{2, 5020, 545, 0}, true},   {{2, 5020, 545, 1}, true},   {{2, 5020, 545, 7}, false},
    {{2, 5020, 715, 0}, true},   {{2, 5020, 1042, 0}, true},  {{2, 5020, 1042, 3}, true},
    {{2, 5020, 2047, 0}, false}, {{2, 5020, 2047, 12}, true}, {{2, 5030, 4, 0}, true},
    {{2, 5030, 66, 0}, true},    {{2, 5030, 115, 0}, false},  {{2, 5030, 1434, 0}, true},
    {{2, 5030, 1434, 5}, true},  {{2, 5030, 1550, 0}, true},  {{2, 5030, 1550, 2}, false},
    {{2, 463, 68, 0}, true},     {{2, 463, 68, 10}, true},    {{2, 463, 375, 0}, true},
    {{2, 463, 2222, 0}, false},  {{2, 450, 102, 0}, true},    {{2, 450, 1024, 0}, true},
    {{2, 450, 1024, 1}, true},   {{1, 123, 500, 0}, true},    {{1, 123, 500, 4}, false},
    {{1, 261, 38, 0}, true},     {{1, 3634, 12, 0}, true},    {{3, 633, 2744, 0}, false},
    {{2, 5020, 9999, 0}, false}, {{2, 5030, 1700, 0}, true},  {{2, 463, 7, 0}, true},
    {{2, 450, 16, 0}, true},
}};

enum class Entry : std::uint8_t { mail, event, skipped };

struct Planned {
    Entry entry = Entry::mail;
    std::uint8_t code = 0;  // event code (type 4), skipped code or kind
    bool incoming = false;
    bool aborted = false;
    SessionRecord r;
};

struct LineProfile {
    int minPerDay;
    int maxPerDay;
    bool brakeExtras;  // The Brake! events and skipped codes
    bool wideExtras;   // type 7 skipped kinds
};

// Which links a line talks to, and how often: each line has its own
// subset and favourites.
struct LinkChoice {
    std::vector<std::size_t> indices;
    std::vector<std::uint32_t> weights;
    std::uint32_t total = 0;

    std::size_t pick(Prng& prng) const {
        std::uint32_t x = prng.below(total);
        for (std::size_t i = 0; i < indices.size(); ++i) {
            if (x < weights[i]) return indices[i];
            x -= weights[i];
        }
        return indices.back();
    }
};

LinkChoice chooseLinks(Prng& prng) {
    LinkChoice choice;
    // The uplink talks to every line.
    choice.indices.push_back(0);
    choice.weights.push_back(8);
    for (std::size_t i = 1; i < links.size(); ++i) {
        if (prng.chance(40)) {
            choice.indices.push_back(i);
            choice.weights.push_back(prng.between(1, 5));
        }
    }
    while (choice.indices.size() < 8) {
        std::size_t i = 1 + prng.below(static_cast<std::uint32_t>(links.size() - 1));
        if (std::find(choice.indices.begin(), choice.indices.end(), i) == choice.indices.end()) {
            choice.indices.push_back(i);
            choice.weights.push_back(prng.between(1, 5));
        }
    }
    for (std::uint32_t w : choice.weights)
        choice.total += w;
    return choice;
}

std::uint32_t traffic(Prng& prng) {
    if (prng.chance(15)) return 0;
    if (prng.chance(2)) return prng.logUniform(28);
    return prng.logUniform(23);
}

std::uint32_t sessionLength(Prng& prng) {
    const std::uint32_t r = prng.below(100);
    if (r < 6) return 0;
    if (r < 70) return prng.between(5, 300);
    if (r < 95) return prng.between(300, 1800);
    return prng.between(1800, 7200);
}

Planned mailSession(Prng& prng, const LinkChoice& choice, std::uint32_t start) {
    Planned p;
    const Link& link = links[choice.pick(prng)];
    p.incoming = prng.chance(50);
    p.aborted = prng.chance(7);
    SessionRecord& r = p.r;
    r.address = link.address;
    r.startTime = start;
    r.duration = sessionLength(prng);
    r.bytesReceived = traffic(prng);
    r.bytesSent = traffic(prng);
    if (p.aborted) {
        r.duration /= 3;
        r.bytesReceived /= 4;
        r.bytesSent /= 4;
    }
    r.flags =
        static_cast<std::uint16_t>((p.incoming ? incoming : outgoing) | (p.aborted ? 0 : normal) |
                                   (link.protectedLink ? protectedSession : 0));
    // Outgoing calls cost money by the minute; incoming ones are free.
    r.cost = p.incoming ? 0 : (r.duration + 59) / 60 * 2;
    return p;
}

std::vector<Planned> planLine(Prng& prng, const LineProfile& profile, const NodeOptions& options) {
    const LinkChoice choice = chooseLinks(prng);
    std::vector<Planned> plan;
    const std::int64_t firstDay = options.endDay - options.days + 1;
    for (std::int64_t day = firstDay; day <= options.endDay; ++day) {
        const auto dayStart = static_cast<std::uint32_t>(day * 86400);
        std::vector<Planned> today;
        const int count =
            static_cast<int>(prng.between(static_cast<std::uint32_t>(profile.minPerDay),
                                          static_cast<std::uint32_t>(profile.maxPerDay)));
        for (int i = 0; i < count; ++i)
            today.push_back(mailSession(prng, choice, dayStart + prng.below(86400)));
        // A long session that runs into the next day.
        if (prng.chance(40)) {
            Planned late =
                mailSession(prng, choice, dayStart + prng.between(23 * 3600 + 1800, 86399));
            late.aborted = false;
            late.r.flags |= normal;
            late.r.duration = prng.between(900, 5400);
            today.push_back(late);
        }
        if (profile.brakeExtras) {
            const std::uint32_t events = prng.below(5);
            for (std::uint32_t i = 0; i < events; ++i) {
                Planned e;
                e.entry = Entry::event;
                e.code = static_cast<std::uint8_t>(prng.below(5));
                e.r.startTime = dayStart + prng.below(86400);
                e.r.duration = prng.between(20, 1800);
                today.push_back(e);
            }
            constexpr std::array<std::uint8_t, 4> skippedCodes{7, 254, 12, 200};
            const std::uint32_t skipped = prng.between(1, 3);
            for (std::uint32_t i = 0; i < skipped; ++i) {
                Planned s;
                s.entry = Entry::skipped;
                s.code = skippedCodes[prng.below(4)];
                s.r.startTime = dayStart + prng.below(86400);
                today.push_back(s);
            }
        }
        if (profile.wideExtras) {
            constexpr std::array<std::uint8_t, 3> skippedKinds{1, 2, 5};
            const std::uint32_t skipped = prng.below(3);
            for (std::uint32_t i = 0; i < skipped; ++i) {
                Planned s;
                s.entry = Entry::skipped;
                s.code = skippedKinds[prng.below(3)];
                s.r.startTime = dayStart + prng.below(86400);
                today.push_back(s);
            }
        }
        std::stable_sort(today.begin(), today.end(), [](const Planned& a, const Planned& b) {
            return a.r.startTime < b.r.startTime;
        });
        plan.insert(plan.end(), today.begin(), today.end());
    }
    return plan;
}

// A 68-byte extension as a long-record mailer keeps it: the remote's
// system name, zero-padded.
void fillExtension(SessionRecord& r) {
    char text[69] = {};
    std::snprintf(text, sizeof text, "Station %d:%d/%d.%d", r.address.zone, r.address.net,
                  r.address.node, r.address.point);
    std::copy(text, text + r.extension.size(), r.extension.begin());
}

GeneratedFile encodeLine(const std::string& name, HistoryType type, std::vector<Planned> plan,
                         std::uint32_t firstTime) {
    // Readers before the 316-byte test read offset 8 told the format by the
    // low byte of the first start time alone (the top byte of the value at
    // offset 5) and failed for 0 to 39: the first session still leads and
    // is kept off those values, so that the files stay as they were.
    if (type == HistoryType::wide316) {
        auto first = std::find_if(plan.begin(), plan.end(),
                                  [](const Planned& p) { return p.entry == Entry::mail; });
        if (first != plan.end()) {
            std::rotate(plan.begin(), first, first + 1);  // the first session leads
            if (plan.front().r.startTime % 256 < 40) plan.front().r.startTime += 40;
        }
    }
    HistoryWriter writer(type, firstTime);
    GeneratedFile file{name, type, 0, {}};
    if (type == HistoryType::dated104) writer.datedDummy(firstTime);
    for (Planned& p : plan) {
        switch (p.entry) {
            case Entry::event:
                writer.brakeEvent(p.code, p.r.startTime, p.r.duration);
                ++file.sessions;
                break;
            case Entry::skipped:
                if (type == HistoryType::brake) writer.brakeSkipped(p.code, p.r.startTime);
                if (type == HistoryType::wide316) writer.wideSkipped(p.code, p.r.startTime);
                break;
            case Entry::mail: {
                SessionRecord r = p.r;
                LayoutDetails details;
                if (type == HistoryType::binkd) {
                    // binkd's binary log keeps only the direction, the other way round
                    // (0x0001 on calls it made, 0x0002 on calls it answered), and both
                    // bits for a session that failed; its line needs SwapInOut Yes.
                    r.flags = p.aborted ? (incoming | outgoing) : p.incoming ? outgoing : incoming;
                    r.cost = 0;
                } else if (type == HistoryType::long100) {
                    fillExtension(r);
                } else if (type == HistoryType::brake) {
                    // Mail, files and other traffic in the three counters.
                    const std::uint32_t rm = r.bytesReceived / 3, sm = r.bytesSent / 4;
                    details.receivedParts = {{rm, r.bytesReceived - rm - rm / 2, rm / 2}};
                    details.sentParts = {{sm, r.bytesSent - sm - sm / 3, sm / 3}};
                } else if (type == HistoryType::dated104) {
                    r.duration = std::min<std::uint32_t>(r.duration, 65535);
                    r.cost = std::min<std::uint32_t>(r.cost, 65535);
                }
                writer.session(r, details);
                ++file.sessions;
                break;
            }
        }
    }
    file.bytes = writer.bytes();
    return file;
}

// Splits the plan of a pair line by direction: the .ohs file holds the
// outgoing sessions, the .ihs file the incoming ones.
std::vector<Planned> onlyDirection(const std::vector<Planned>& plan, bool incomingSide) {
    std::vector<Planned> out;
    for (const Planned& p : plan) {
        if (p.entry == Entry::mail && p.incoming == incomingSide) out.push_back(p);
    }
    return out;
}

}  // namespace

// The binkd line: the first of the node, drawn with the first number of
// the node's seed.
constexpr LineProfile binkdProfile{20, 40, false, false};

std::vector<SessionRecord> binkdLineSessions(const NodeOptions& options) {
    Prng prng(options.seed);
    Prng linePrng(prng.next());
    std::vector<SessionRecord> sessions;
    for (const Planned& p : planLine(linePrng, binkdProfile, options))
        sessions.push_back(p.r);
    return sessions;
}

std::vector<GeneratedFile> generateNode(const NodeOptions& options) {
    Prng prng(options.seed);
    const auto firstTime = static_cast<std::uint32_t>((options.endDay - options.days + 1) * 86400);
    std::vector<GeneratedFile> files;
    using enum HistoryType;
    auto line = [&](const char* name, HistoryType type, LineProfile profile) {
        Prng linePrng(prng.next());
        files.push_back(encodeLine(name, type, planLine(linePrng, profile, options), firstTime));
    };
    auto pair = [&](const char* stem, HistoryType type, LineProfile profile) {
        Prng linePrng(prng.next());
        const std::vector<Planned> plan = planLine(linePrng, profile, options);
        files.push_back(
            encodeLine(std::string(stem) + ".ohs", type, onlyDirection(plan, false), firstTime));
        files.push_back(
            encodeLine(std::string(stem) + ".ihs", type, onlyDirection(plan, true), firstTime));
    };
    line("binkd.his", binkd, binkdProfile);
    line("plain28.his", plain28, {10, 25, false, false});
    line("long100.his", long100, {8, 20, false, false});
    line("brake.his", brake, {6, 16, true, false});
    pair("pair116", pair116, {8, 20, false, false});
    line("status64.his", status64, {8, 20, false, false});
    line("wide316.his", wide316, {6, 14, false, true});
    pair("dated104", dated104, {8, 20, false, false});
    return files;
}

}  // namespace rv::histgen
