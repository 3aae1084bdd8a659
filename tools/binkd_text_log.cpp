#include "tools/binkd_text_log.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/time_text.h"

namespace rv::histgen {

namespace {

// binkd's own words for the months, whatever the locale.
constexpr std::array<const char*, 12> monthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The marks of binkd's levels 1 to 3 (0, '!', is for fatal errors); level 4
// and above write a blank.
constexpr char error = '?', notice = '+', info = '-', debug = ' ';

// Process ids go up to the kernel's default limit and start over above
// the ids of the processes started at boot.
constexpr std::uint32_t pidLimit = 32768;
constexpr std::uint32_t firstReusedPid = 300;

// Debian's paths (/etc/binkd/binkd.cfg).
constexpr const char* outbound = "/var/spool/ftn/outb";
constexpr const char* inbound = "/var/spool/ftn/inb";

// What a remote says of itself, picked by its address so that a link
// says the same in every session.
constexpr std::array<const char*, 6> sysops{"Ivan Ivanov",   "Pavel Sokolov",  "Sergey Petrov",
                                            "Anna Smirnova", "Oleg Kuznetsov", "Dmitry Orlov"};
constexpr std::array<const char*, 6> locations{"Moscow, Russia",   "Kiev, Ukraine",
                                               "Saint Petersburg", "Minsk, Belarus",
                                               "Novosibirsk",      "Riga, Latvia"};
constexpr std::array<const char*, 5> versions{
    "binkd/1.1a-115/Linux binkp/1.1", "binkd/1.0.4/Win32 binkp/1.1",
    "binkd/1.1a-99/FreeBSD binkp/1.1", "Argus/3.210 binkp/1.1", "Mystic/1.12A47 binkp/1.0"};
constexpr std::array<const char*, 4> zoneTexts{"+0300", "+0200", "+0000", "+0100"};
constexpr std::array<const char*, 7> weekdays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 7> bundleDays{"su", "mo", "tu", "we", "th", "fr", "sa"};

std::uint32_t addressHash(const FidoAddress& a) {
    std::uint32_t h = 2166136261u;
    for (std::int16_t part : {a.zone, a.net, a.node, a.point})
        h = (h ^ static_cast<std::uint16_t>(part)) * 16777619u;
    return h;
}

void vappendf(std::string& out, const char* format, va_list args) {
    // Most of a session's lines are fixed texts.
    if (!std::strchr(format, '%')) {
        out += format;
        return;
    }
    char text[512];
    const int n = std::vsnprintf(text, sizeof text, format, args);
    if (n > 0)
        out.append(text, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof text - 1));
}

void appendf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void appendf(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vappendf(out, format, args);
    va_end(args);
}

// binkd's form of an address: no point when it is 0, and the domain.
std::string addressText(const FidoAddress& a) {
    std::string text;
    if (a.point)
        appendf(text, "%d:%d/%d.%d@fidonet", a.zone, a.net, a.node, a.point);
    else
        appendf(text, "%d:%d/%d@fidonet", a.zone, a.net, a.node);
    return text;
}

}  // namespace

struct BinkdTextLog::Pending {
    std::uint64_t order = 0;
    std::uint32_t pid = 0;
    std::vector<Line> lines;
    std::string text;  // the messages back to back
    std::size_t next = 0;

    std::uint32_t nextTime() const { return lines[next].time; }
    void clear() {
        lines.clear();
        text.clear();
        next = 0;
    }
    void add(std::uint32_t time, char mark, std::uint32_t linePid, const char* format, ...)
        __attribute__((format(printf, 5, 6)));
};

void BinkdTextLog::Pending::add(std::uint32_t time, char mark, std::uint32_t linePid,
                                const char* format, ...) {
    const auto begin = static_cast<std::uint32_t>(text.size());
    va_list args;
    va_start(args, format);
    vappendf(text, format, args);
    va_end(args);
    lines.push_back({time, linePid, mark, begin, static_cast<std::uint32_t>(text.size())});
}

bool BinkdTextLog::Later::operator()(const Pending* a, const Pending* b) const {
    const std::uint32_t ta = a->nextTime(), tb = b->nextTime();
    return ta != tb ? ta > tb : a->order > b->order;
}

BinkdTextLog::BinkdTextLog(LogLineSink& sink, std::uint64_t seed)
    : sink_(sink), prng_(seed), pidInUse_(pidLimit, false) {}

BinkdTextLog::~BinkdTextLog() = default;

void BinkdTextLog::writeLine(std::uint32_t time, char mark, std::uint32_t pid,
                             std::string_view message) {
    if (time != stampTime_ || stamp_[0] == 0) {
        std::tm tm{};
        breakDownUtc(time, tm);
        std::snprintf(stamp_, sizeof stamp_, "%02d %s %02d:%02d:%02d", tm.tm_mday,
                      monthNames[static_cast<std::size_t>(tm.tm_mon)], tm.tm_hour, tm.tm_min,
                      tm.tm_sec);
        stampTime_ = time;
    }
    out_.clear();
    out_ += mark;
    out_ += ' ';
    out_ += stamp_;
    out_ += " [";
    char digits[12];
    const auto digitsEnd = std::to_chars(digits, digits + sizeof digits, pid).ptr;
    out_.append(digits, digitsEnd);
    out_ += "] ";
    out_ += message;
    out_ += '\n';
    sink_.line(time, out_);
}

std::uint32_t BinkdTextLog::takePid() {
    do {
        lastPid_ += 1 + prng_.below(6);  // the processes the machine started meanwhile
        if (lastPid_ >= pidLimit) lastPid_ = firstReusedPid + prng_.below(100);
    } while (pidInUse_[lastPid_]);
    pidInUse_[lastPid_] = true;
    return lastPid_;
}

void BinkdTextLog::start(std::uint32_t startTime) {
    servmgr_ = 800 + prng_.below(2000);
    clientmgr_ = servmgr_ + 1;
    lastPid_ = clientmgr_;
    pidInUse_[servmgr_] = pidInUse_[clientmgr_] = true;
    // A binkd process writes an empty line before its first one.
    sink_.line(startTime, "\n");
    writeLine(startTime, debug, servmgr_, "BEGIN, binkd/1.1a-115/Linux -C /etc/binkd/binkd.cfg");
    writeLine(startTime, debug, servmgr_, "servmgr started");
    writeLine(startTime, info, servmgr_, "servmgr listen on *:24554");
    writeLine(startTime, debug, clientmgr_, "clientmgr started");
}

BinkdTextLog::Pending* BinkdTextLog::fresh() {
    Pending* p;
    if (spare_.empty()) {
        pool_.push_back(std::make_unique<Pending>());
        p = pool_.back().get();
    } else {
        p = spare_.back();
        spare_.pop_back();
        p->clear();
    }
    p->order = sequence_++;
    p->pid = takePid();
    return p;
}

void BinkdTextLog::queue(Pending* p) {
    std::stable_sort(p->lines.begin(), p->lines.end(),
                     [](const Line& a, const Line& b) { return a.time < b.time; });
    pending_.push(p);
}

void BinkdTextLog::writeUntil(std::uint32_t time) {
    while (!pending_.empty() && pending_.top()->nextTime() <= time) {
        Pending* p = pending_.top();
        pending_.pop();
        const std::uint32_t now = p->nextTime();
        // The lines of one process in the same second go out together.
        for (; p->next < p->lines.size() && p->lines[p->next].time == now; ++p->next) {
            const Line& l = p->lines[p->next];
            writeLine(l.time, l.mark, l.pid,
                      std::string_view(p->text).substr(l.textBegin, l.textEnd - l.textBegin));
        }
        if (p->next < p->lines.size()) {
            pending_.push(p);
        } else {
            pidInUse_[p->pid] = false;
            spare_.push_back(p);
        }
    }
}

namespace {

// The date of a hold as binkd writes it: "2026/12/09 13:25:07".
std::string holdText(std::uint32_t time) {
    std::tm tm{};
    breakDownUtc(time, tm);
    std::string text;
    appendf(text, "%04d/%02d/%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
            tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

// The remote's clock in its TIME line: "Wed,  9 Dec 2026 13:24:56 +0000".
std::string remoteTimeText(std::uint32_t time, std::uint32_t hash) {
    std::tm tm{};
    breakDownUtc(time, tm);
    std::string text;
    appendf(text, "%s, %2d %s %d %02d:%02d:%02d %s", weekdays[static_cast<std::size_t>(tm.tm_wday)],
            tm.tm_mday, monthNames[static_cast<std::size_t>(tm.tm_mon)], tm.tm_year + 1900,
            tm.tm_hour, tm.tm_min, tm.tm_sec, zoneTexts[hash % zoneTexts.size()]);
    return text;
}

// Cuts bytes into at most four files of at least one byte each.
std::vector<std::uint32_t> fileSizes(std::uint32_t bytes, Prng& prng) {
    std::vector<std::uint32_t> sizes;
    if (bytes == 0) return sizes;
    const std::uint32_t count = std::min<std::uint32_t>(bytes, 1 + prng.below(4));
    std::uint32_t left = bytes;
    for (std::uint32_t i = 0; i + 1 < count; ++i) {
        const std::uint32_t most = left - (count - 1 - i);
        const std::uint32_t size = 1 + prng.below(std::max<std::uint32_t>(1, most / 2));
        sizes.push_back(size);
        left -= size;
    }
    sizes.push_back(left);
    return sizes;
}

// Where a link is: a private address and the binkp.net name of its node.
std::string remoteIp(std::uint32_t hash) {
    std::string ip;
    appendf(ip, "10.%u.%u.%u", hash % 250 + 1, (hash >> 8) % 250 + 1, (hash >> 16) % 250 + 1);
    return ip;
}

std::string remoteHost(const FidoAddress& a) {
    std::string host;
    if (a.point) appendf(host, "p%d.", a.point);
    appendf(host, "f%d.n%d.z%d.binkp.net", a.node, a.net, a.zone);
    return host;
}

// An arcmail bundle's name, of the day the session is on.
std::string bundleName(std::uint32_t time, Prng& prng) {
    // Drawn one at a time: the order of a call's arguments is the
    // compiler's, and the same seed must give the same log with any.
    const auto digit = static_cast<unsigned>(prng.below(10));
    const auto hash = static_cast<unsigned>(prng.next() & 0xFFFFFFFFu);
    std::string name;
    appendf(name, "%08x.%s%u", hash, bundleDays[(time / 86400 + 4) % 7], digit);
    return name;
}

}  // namespace

// What the lines of one session are made of.
struct BinkdTextLog::Call {
    const SessionRecord& r;
    std::uint32_t pid;
    std::uint32_t start, hello, end;  // the session, its password exchange, its end
    std::uint32_t hash;               // of the remote's address
    bool outgoing, failed, password, wrongPassword;
    std::string address;
    std::string ip;
};

void BinkdTextLog::session(const SessionRecord& r) {
    using namespace SessionFlags;
    writeUntil(r.startTime);
    Pending* p = fresh();
    const bool failed = (r.flags & normal) == 0;
    const bool password = (r.flags & protectedSession) != 0;
    // A wrong password ends the session before any file; a session that
    // failed with files broke off in the middle of the next one.
    const bool wrongPassword =
        failed && password && r.bytesReceived == 0 && r.bytesSent == 0 && prng_.chance(60);
    const std::uint32_t hash = addressHash(r.address);
    const Call call{r,
                    p->pid,
                    r.startTime,
                    r.duration >= 2 ? r.startTime + 1 : r.startTime,
                    r.startTime + r.duration,
                    hash,
                    (r.flags & incoming) == 0,
                    failed,
                    password,
                    wrongPassword,
                    addressText(r.address),
                    remoteIp(hash)};
    greet(*p, call);
    exchange(*p, call);
    queue(p);

    // Now and then a caller that goes before it says who it is, and a
    // call that finds nobody; neither is a session of the history.
    const std::uint32_t noise = prng_.below(1000);
    if (noise < 4)
        strayCaller(r.startTime);
    else if (noise < 8)
        refusedCall(r.startTime, r.address);
}

// The call or the answer and the handshake, up to the password's outcome.
void BinkdTextLog::greet(Pending& p, const Call& c) {
    const std::uint32_t start = c.start, pid = c.pid;
    const char* ip = c.ip.c_str();
    const FidoAddress& a = c.r.address;
    if (c.outgoing) {
        const std::string host = remoteHost(a);
        p.add(start, notice, pid, "call to %s", c.address.c_str());
        p.add(start, debug, pid, "trying %s [%s]...", host.c_str(), ip);
        p.add(start, debug, pid, "connected");
        p.add(start, notice, pid, "outgoing session with %s:24554 [%s]", host.c_str(), ip);
        // The answerer offers its challenge whether or not it has a
        // password for us.
        const auto low = static_cast<unsigned long long>(prng_.next());
        const auto high = static_cast<unsigned long long>(prng_.next());
        p.add(start, info, pid, "OPT CRAM-MD5-%016llx%016llx", high, low);
        p.add(start, notice, pid, "Remote requests MD mode");
    } else {
        p.add(start, info, servmgr_, "incoming from %s (%u)", ip, 1024 + prng_.below(60000));
        p.add(start, notice, pid, "incoming session with %s", ip);
    }
    p.add(start, info, pid, "SYS Station %d:%d/%d.%d", a.zone, a.net, a.node, a.point);
    p.add(start, info, pid, "ZYZ %s", sysops[c.hash % sysops.size()]);
    p.add(start, info, pid, "LOC %s", locations[(c.hash >> 4) % locations.size()]);
    p.add(start, info, pid, "NDL %s", (c.hash >> 7) % 3 ? "115200,TCP,BINKP" : "CM,IBN");
    p.add(start, info, pid, "TIME %s", remoteTimeText(start, c.hash >> 9).c_str());
    p.add(start, info, pid, "VER %s", versions[(c.hash >> 12) % versions.size()]);
    p.add(start, notice, pid, "addr: %s", c.address.c_str());
    if (c.wrongPassword && c.outgoing) {
        p.add(c.hello, error, pid, "rerror: Bad password");
        p.add(c.hello, notice, pid, "holding %s (%s)", c.address.c_str(),
              holdText(c.hello + 600).c_str());
        return;
    }
    // A caller offers encryption always, an answerer only to a caller it
    // has a password for.
    const bool crypt = !c.outgoing || c.password;
    p.add(start, info, pid, "OPT %sEXTCMD %sGZ", c.outgoing ? "" : "NDA ", crypt ? "CRYPT " : "");
    if (!c.outgoing) p.add(start, notice, pid, "Remote supports asymmetric ND mode");
    p.add(start, notice, pid, "Remote supports EXTCMD mode");
    if (crypt) p.add(start, notice, pid, "Remote requests CRYPT mode");
    p.add(start, notice, pid, "Remote supports GZ mode");
    if (c.wrongPassword) {
        const auto low = static_cast<unsigned long long>(prng_.next());
        const auto high = static_cast<unsigned long long>(prng_.next());
        p.add(c.hello, error, pid, "`CRAM-MD5-%016llx%016llx': incorrect password", high, low);
    } else if (c.password) {
        p.add(c.hello, notice, pid, "pwd protected session (MD5)");
        p.add(c.hello, info, pid, "session in CRYPT mode");
    }
}

// The files, each way one after another over the session's time (a
// file's lines are written as it starts and as it is done), and the end.
void BinkdTextLog::exchange(Pending& p, const Call& c) {
    const std::uint32_t pid = c.pid, hello = c.hello, end = c.end;
    const char* address = c.address.c_str();
    const std::vector<std::uint32_t> sent = fileSizes(c.r.bytesSent, prng_);
    const std::vector<std::uint32_t> received = fileSizes(c.r.bytesReceived, prng_);
    const std::uint32_t span = end - hello;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const auto from = static_cast<std::uint32_t>(hello + std::uint64_t{span} * i / sent.size());
        const auto to =
            static_cast<std::uint32_t>(hello + std::uint64_t{span} * (i + 1) / sent.size());
        const std::string name = bundleName(c.start, prng_);
        p.add(from, notice, pid, "sending %s/%s as %s (%u)", outbound, name.c_str(), name.c_str(),
              sent[i]);
        p.add(to, notice, pid, "sent: %s/%s (%u, %.2f CPS, %s)", outbound, name.c_str(), sent[i],
              static_cast<double>(sent[i]) / std::max<std::uint32_t>(1, to - from), address);
    }
    // A failed session with files, or a third of those without, broke off
    // while one more file was coming in.
    const bool brokenOff =
        c.failed && !c.wrongPassword && (!sent.empty() || !received.empty() || prng_.chance(33));
    const std::size_t slots = received.size() + (brokenOff ? 1 : 0);
    std::string unfinished;
    std::uint32_t unfinishedSize = 1;
    for (std::size_t i = 0; i < slots; ++i) {
        const auto from = static_cast<std::uint32_t>(hello + std::uint64_t{span} * i / slots);
        const auto to = static_cast<std::uint32_t>(hello + std::uint64_t{span} * (i + 1) / slots);
        const std::string name = bundleName(c.start, prng_);
        const std::uint32_t size = i < received.size() ? received[i] : 1000 + prng_.logUniform(22);
        p.add(from, info, pid, "receiving %s (%u byte(s), off 0)", name.c_str(), size);
        if (i == received.size()) {
            p.add(end, error, pid, "recv: connection closed by foreign host");
            unfinished = name;
            unfinishedSize = size;
            break;
        }
        p.add(to, notice, pid, "%s -> %s/%s", name.c_str(), inbound, name.c_str());
        p.add(to, notice, pid, "rcvd: %s (%u, %.2f CPS, %s)", name.c_str(), size,
              static_cast<double>(size) / std::max<std::uint32_t>(1, to - from), address);
    }
    if (c.failed && !c.wrongPassword && !brokenOff)
        p.add(end, error, pid, "recv: Connection reset by peer");
    p.add(end, notice, pid, "done (%s %s, %s, S/R: %zu/%zu (%u/%u bytes))",
          c.outgoing ? "to" : "from", address, c.failed ? "failed" : "OK", sent.size(),
          received.size(), c.r.bytesSent, c.r.bytesReceived);
    if (brokenOff)
        p.add(end, error, pid, "receiving of %s interrupted at %u", unfinished.c_str(),
              prng_.below(unfinishedSize));
    p.add(end, debug, pid, "session closed, quitting...");
    p.add(end, debug, c.outgoing ? clientmgr_ : servmgr_, "rc(%u)=0", pid);
}

void BinkdTextLog::strayCaller(std::uint32_t time) {
    Pending* p = fresh();
    const std::uint32_t hash = static_cast<std::uint32_t>(prng_.next());
    char ip[20];
    std::snprintf(ip, sizeof ip, "%u.%u.%u.%u", hash % 200 + 20, (hash >> 8) % 250 + 1,
                  (hash >> 16) % 250 + 1, (hash >> 24) % 250 + 1);
    p->add(time, info, servmgr_, "incoming from %s (%u)", ip, 1024 + prng_.below(60000));
    p->add(time, notice, p->pid, "incoming session with %s", ip);
    p->add(time, error, p->pid, "recv: Connection reset by peer");
    p->add(time, notice, p->pid, "done (?, failed, S/R: 0/0 (0/0 bytes))");
    p->add(time, debug, p->pid, "session closed, quitting...");
    p->add(time, debug, servmgr_, "rc(%u)=0", p->pid);
    queue(p);
}

void BinkdTextLog::refusedCall(std::uint32_t time, const FidoAddress& to) {
    Pending* p = fresh();
    const std::string address = addressText(to);
    p->add(time, notice, p->pid, "call to %s", address.c_str());
    p->add(time, debug, p->pid, "trying %s [%s]...", remoteHost(to).c_str(),
           remoteIp(addressHash(to)).c_str());
    p->add(time, error, p->pid, "connection to %s failed: Connection refused", address.c_str());
    p->add(time, notice, p->pid, "holding %s (%s)", address.c_str(), holdText(time + 600).c_str());
    p->add(time, debug, clientmgr_, "rc(%u)=0", p->pid);
    queue(p);
}

void BinkdTextLog::finish() {
    writeUntil(UINT32_MAX);
}

}  // namespace rv::histgen
