#include "core/binkd_log_line.h"

#include <array>
#include <cstring>
#include <limits>

namespace rv {

namespace {

// tools.c's marks by level, and the month names it writes whatever the locale.
constexpr std::string_view binkdMarks = "!?+- ";
constexpr std::array<std::string_view, 12> monthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Three letters as one number, so that a month is told by integer compares
// rather than a string compare per name.
constexpr std::uint32_t threeLetters(char a, char b, char c) {
    return std::uint32_t{static_cast<unsigned char>(a)} << 16 |
           std::uint32_t{static_cast<unsigned char>(b)} << 8 | static_cast<unsigned char>(c);
}
constexpr std::array<std::uint32_t, 12> monthKeys = [] {
    std::array<std::uint32_t, 12> keys{};
    for (std::size_t i = 0; i < keys.size(); ++i)
        keys[i] = threeLetters(monthNames[i][0], monthNames[i][1], monthNames[i][2]);
    return keys;
}();

constexpr bool isMark(char c) {
    for (const char mark : binkdMarks)
        if (c == mark) return true;
    return false;
}

// The fixed part of a line before the process id: "X DD Mon HH:MM:SS [".
constexpr std::size_t pidColumn = 19;
// The longest process id: %u of 32 bits.
constexpr std::size_t maxPidDigits = 10;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Two digits at text[at] within [low, high].
bool twoDigits(std::string_view text, std::size_t at, unsigned low, unsigned high, unsigned& out) {
    if (!isDigit(text[at]) || !isDigit(text[at + 1])) return false;
    out = static_cast<unsigned>(text[at] - '0') * 10 + static_cast<unsigned>(text[at + 1] - '0');
    return out >= low && out <= high;
}

// Reads the head of a line; the message starts at `message`.
bool parseHead(std::string_view text, BinkdLogLine& line, std::size_t& message) {
    if (text.size() < pidColumn + 3) return false;
    if (!isMark(text[0])) return false;
    if (text[1] != ' ' || text[4] != ' ' || text[8] != ' ' || text[11] != ':' || text[14] != ':' ||
        text[17] != ' ' || text[18] != '[')
        return false;
    unsigned day = 0, hour = 0, minute = 0, second = 0;
    if (!twoDigits(text, 2, 1, 31, day) || !twoDigits(text, 9, 0, 23, hour) ||
        !twoDigits(text, 12, 0, 59, minute) || !twoDigits(text, 15, 0, 60, second))
        return false;
    const std::uint32_t key = threeLetters(text[5], text[6], text[7]);
    unsigned month = 0;
    while (month < monthKeys.size() && key != monthKeys[month])
        ++month;
    if (month == monthKeys.size()) return false;

    std::size_t at = pidColumn;
    std::uint64_t pid = 0;
    while (at < text.size() && isDigit(text[at]) && at - pidColumn < maxPidDigits)
        pid = pid * 10 + static_cast<unsigned>(text[at++] - '0');
    if (at == pidColumn || pid > std::numeric_limits<std::uint32_t>::max()) return false;
    if (at + 2 > text.size() || text[at] != ']' || text[at + 1] != ' ') return false;

    line.mark = text[0];
    line.day = day;
    line.month = month + 1;
    line.secondOfDay = hour * 3600 + minute * 60 + second;
    line.pid = static_cast<std::uint32_t>(pid);
    message = at + 2;
    return true;
}

// A cursor over a message that reads binkd's fixed words and numbers.
struct Cursor {
    std::string_view text;

    // w is a literal: a compare of known length, which the compiler does in place.
    bool word(std::string_view w) {
        if (text.size() < w.size() || std::memcmp(text.data(), w.data(), w.size()) != 0)
            return false;
        text.remove_prefix(w.size());
        return true;
    }
    // Decimal digits, saturated rather than wrapped.
    bool number(std::uint64_t& out) {
        std::size_t n = 0;
        out = 0;
        constexpr std::uint64_t top = std::numeric_limits<std::uint64_t>::max();
        while (n < text.size() && isDigit(text[n])) {
            const auto digit = static_cast<unsigned>(text[n] - '0');
            out = out > (top - digit) / 10 ? top : out * 10 + digit;
            ++n;
        }
        text.remove_prefix(n);
        return n > 0;
    }
    // A number of an address part: 0..32767.
    bool part(std::int16_t& out) {
        std::uint64_t v = 0;
        if (!number(v) || v > static_cast<std::uint64_t>(std::numeric_limits<std::int16_t>::max()))
            return false;
        out = static_cast<std::int16_t>(v);
        return true;
    }
};

// ftnaddr.c's zone:net/node[.point][@domain], the whole of text.
bool parseAddress(std::string_view text, FidoAddress& out) {
    Cursor c{text};
    FidoAddress a;
    if (!c.part(a.zone) || !c.word(":") || !c.part(a.net) || !c.word("/") || !c.part(a.node))
        return false;
    if (c.word(".") && !c.part(a.point)) return false;
    if (!c.text.empty() && c.text[0] != '@') return false;
    out = a;
    return true;
}

bool parseSessionEnd(Cursor c, BinkdSessionEnd& end) {
    if (c.word("to "))
        end.side = BinkdSessionEnd::Side::to;
    else if (c.word("from "))
        end.side = BinkdSessionEnd::Side::from;
    // The address runs to the first ", " (a domain cannot hold one).
    const std::size_t comma = c.text.find(", ");
    if (comma == std::string_view::npos) return false;
    // "?" and an address beyond the record's numbers both give the zero
    // address, which the programs pass over like a zone-0 record.
    if (!parseAddress(c.text.substr(0, comma), end.address)) end.address = FidoAddress{};
    c.text.remove_prefix(comma + 2);
    if (c.word("OK"))
        end.ok = true;
    else if (!c.word("failed"))
        return false;
    return c.word(", S/R: ") && c.number(end.filesSent) && c.word("/") &&
           c.number(end.filesReceived) && c.word(" (") && c.number(end.bytesSent) && c.word("/") &&
           c.number(end.bytesReceived) && c.word(" bytes))");
}

}  // namespace

std::optional<BinkdLogLine> parseBinkdLogLine(std::string_view text) {
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    BinkdLogLine line;
    std::size_t message = 0;
    if (!parseHead(text, line, message)) return std::nullopt;
    line.message = text.substr(message);
    return line;
}

bool startsWithBinkdLineHead(std::string_view text) {
    BinkdLogLine line;
    std::size_t message = 0;
    return parseHead(text, line, message);
}

BinkdMessage classifyBinkdMessage(std::string_view message) {
    BinkdMessage m;
    if (message.empty()) return m;
    // Most lines are none of these: their first letter alone tells so.
    const char first = message[0];
    if (first != 'd' && first != 'o' && first != 'i' && first != 'p') return m;
    Cursor c{message};
    if (c.word("done (")) {
        if (parseSessionEnd(c, m.end)) m.kind = BinkdMessage::Kind::sessionEnd;
    } else if (c.word("outgoing session with ")) {
        m.kind = BinkdMessage::Kind::sessionStart;
        m.outgoing = true;
    } else if (c.word("incoming session with ")) {
        m.kind = BinkdMessage::Kind::sessionStart;
    } else if (c.word("pwd protected session")) {
        m.kind = BinkdMessage::Kind::passwordProtected;
    }
    return m;
}

}  // namespace rv
