#include "tools/record_list.h"

#include <vector>

#include "core/dates.h"
#include "core/session_kind.h"
#include "core/text_scan.h"

namespace rv::histgen {

namespace {

std::vector<std::string_view> splitWords(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

// A signed decimal within 16 bits.
std::optional<std::int16_t> parseComponent(std::string_view text) {
    bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    auto value = parseNumber(text);
    if (!value || *value > 32768 || (*value == 32768 && !negative)) return std::nullopt;
    return static_cast<std::int16_t>(negative ? -static_cast<std::int32_t>(*value)
                                              : static_cast<std::int32_t>(*value));
}

std::optional<FidoAddress> parseAddress(std::string_view text) {
    const std::size_t colon = text.find(':');
    const std::size_t slash = text.find('/');
    if (colon == std::string_view::npos || slash == std::string_view::npos || slash < colon)
        return std::nullopt;
    std::size_t dot = text.find('.', slash);
    auto zone = parseComponent(text.substr(0, colon));
    auto net = parseComponent(text.substr(colon + 1, slash - colon - 1));
    auto node = parseComponent(
        text.substr(slash + 1, dot == std::string_view::npos ? dot : dot - slash - 1));
    std::optional<std::int16_t> point = std::int16_t{0};
    if (dot != std::string_view::npos) point = parseComponent(text.substr(dot + 1));
    if (!zone || !net || !node || !point) return std::nullopt;
    return FidoAddress{*zone, *net, *node, *point};
}

// "a" or "a+b+c".
std::optional<std::array<std::uint32_t, 3>> parseParts(std::string_view text, bool& split) {
    std::array<std::uint32_t, 3> parts{};
    split = false;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t plus = text.find('+');
        auto value = parseNumber(text.substr(0, plus));
        if (!value) return std::nullopt;
        parts[i] = *value;
        if (plus == std::string_view::npos) return parts;
        split = true;
        text.remove_prefix(plus + 1);
    }
    return std::nullopt;
}

const SessionKind* eventKind(std::string_view word, std::uint8_t& code) {
    for (std::size_t i = 0; i < sessionKinds.size(); ++i) {
        if (word.size() == sessionKinds[i].keyword.size() &&
            startsWithNoCase(word, sessionKinds[i].keyword)) {
            code = static_cast<std::uint8_t>(i);
            return &sessionKinds[i];
        }
    }
    return nullptr;
}

std::optional<std::string> sessionLine(const std::vector<std::string_view>& words,
                                       HistoryWriter& writer) {
    auto address = parseAddress(words[0]);
    if (!address) return "bad address: " + std::string(words[0]);
    if (words.size() < 2) return std::string("missing start time");
    auto start = parseTime(words[1]);
    if (!start) return "bad time: " + std::string(words[1]);
    SessionRecord r;
    r.address = *address;
    r.startTime = *start;
    LayoutDetails details;
    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::string_view word = words[i];
        const std::size_t eq = word.find('=');
        if (eq == std::string_view::npos) return "expected key=value: " + std::string(word);
        const std::string_view key = word.substr(0, eq);
        const std::string_view text = word.substr(eq + 1);
        if (key == "rcvd" || key == "sent") {
            bool split = false;
            auto parts = parseParts(text, split);
            if (!parts) return "bad value: " + std::string(word);
            std::uint32_t sum = (*parts)[0] + (*parts)[1] + (*parts)[2];
            if (key == "rcvd") {
                r.bytesReceived = sum;
                if (split) details.receivedParts = parts;
            } else {
                r.bytesSent = sum;
                if (split) details.sentParts = parts;
            }
            continue;
        }
        auto value = parseNumber(text);
        if (!value) return "bad value: " + std::string(word);
        if (key == "dur") {
            r.duration = *value;
        } else if (key == "flags" && *value <= 0xFFFF) {
            r.flags = static_cast<std::uint16_t>(*value);
        } else if (key == "cost") {
            r.cost = *value;
        } else if (key == "spare" && *value <= 0xFFFF) {
            r.spare = static_cast<std::uint16_t>(*value);
        } else if (key == "status") {
            details.status = *value;
        } else if (key == "kind" && *value <= 0xFF) {
            details.recordKind = static_cast<std::uint8_t>(*value);
        } else {
            return "unknown key or value out of range: " + std::string(word);
        }
    }
    writer.session(r, details);
    return std::nullopt;
}

std::optional<std::string> listLine(const std::vector<std::string_view>& words,
                                    HistoryWriter& writer) {
    const std::string_view first = words[0];
    const HistoryType type = writer.type();
    std::uint8_t code = 0;
    if (eventKind(first, code)) {
        if (type != HistoryType::brake) return std::string("events belong to type 4 only");
        if (words.size() != 3 || words[2].substr(0, 4) != "dur=")
            return std::string("expected: EVENT TIME dur=N");
        auto time = parseTime(words[1]);
        auto duration = parseNumber(words[2].substr(4));
        if (!time || !duration) return std::string("bad event time or duration");
        writer.brakeEvent(code, *time, *duration);
        return std::nullopt;
    }
    if (startsWithNoCase(first, "SKIP") && first.size() == 4) {
        if (words.size() != 3) return std::string("expected: SKIP CODE TIME");
        auto skipCode = parseNumber(words[1]);
        auto time = parseTime(words[2]);
        if (!skipCode || *skipCode > 255 || !time) return std::string("bad SKIP code or time");
        const auto c = static_cast<std::uint8_t>(*skipCode);
        if (type == HistoryType::brake) {
            if (c <= 6) return std::string("type 4 codes 0 to 6 are not skipped");
            writer.brakeSkipped(c, *time);
        } else if (type == HistoryType::wide316) {
            if (c == 0 || c == 9) return std::string("type 7 kinds 0 and 9 are sessions");
            writer.wideSkipped(c, *time);
        } else {
            return std::string("SKIP belongs to types 4 and 7 only");
        }
        return std::nullopt;
    }
    if (startsWithNoCase(first, "HEADER") && first.size() == 6) {
        if (type != HistoryType::brake) return std::string("HEADER belongs to type 4 only");
        auto time = words.size() == 2 ? parseTime(words[1]) : std::nullopt;
        if (!time) return std::string("expected: HEADER TIME");
        writer.setBrakeHeaderTime(*time);
        return std::nullopt;
    }
    if (startsWithNoCase(first, "DUMMY") && first.size() == 5) {
        if (type != HistoryType::dated104) return std::string("DUMMY belongs to type 8 only");
        if (words.size() != 2) return std::string("expected: DUMMY TIME");
        auto time = parseTime(words[1]);
        if (!time) return std::string("bad time");
        writer.datedDummy(*time);
        return std::nullopt;
    }
    return sessionLine(words, writer);
}

}  // namespace

std::optional<std::uint32_t> parseNumber(std::string_view text) {
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> parseTime(std::string_view text) {
    if (text.find('-') == std::string_view::npos) return parseNumber(text);
    // YYYY-MM-DD[THH:MM[:SS]]
    auto field = [&](std::size_t pos, std::size_t len, int lo, int hi) -> std::optional<int> {
        if (pos + len > text.size()) return std::nullopt;
        auto v = parseNumber(text.substr(pos, len));
        if (!v || static_cast<int>(*v) < lo || static_cast<int>(*v) > hi) return std::nullopt;
        return static_cast<int>(*v);
    };
    if (text.size() != 10 && text.size() != 16 && text.size() != 19) return std::nullopt;
    if (text[4] != '-' || text[7] != '-') return std::nullopt;
    auto year = field(0, 4, 1970, 2105);
    auto month = field(5, 2, 1, 12);
    auto day = field(8, 2, 1, 31);
    std::optional<int> hour = 0, minute = 0, second = 0;
    if (text.size() >= 16) {
        if (text[10] != 'T' || text[13] != ':') return std::nullopt;
        hour = field(11, 2, 0, 23);
        minute = field(14, 2, 0, 59);
    }
    if (text.size() == 19) {
        if (text[16] != ':') return std::nullopt;
        second = field(17, 2, 0, 59);
    }
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    const std::int64_t t =
        daysFromCivil(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day)) * 86400 +
        *hour * 3600 + *minute * 60 + *second;
    if (t > 0xFFFFFFFFll) return std::nullopt;
    return static_cast<std::uint32_t>(t);
}

std::optional<ListError> writeRecordList(std::string_view text, HistoryWriter& writer) {
    int number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        const std::size_t hash = line.find('#');
        if (hash != std::string_view::npos) line = line.substr(0, hash);
        const auto words = splitWords(line);
        if (words.empty()) continue;
        if (auto error = listLine(words, writer)) return ListError{number, *error};
    }
    return std::nullopt;
}

}  // namespace rv::histgen
