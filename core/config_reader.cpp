#include "core/config_reader.h"

#include <algorithm>
#include <optional>

#include "core/busy_mask.h"
#include "core/dates.h"
#include "core/format.h"
#include "core/session_kind.h"
#include "core/text_scan.h"
#include "core/utf8_text.h"

namespace rv {

bool isYes(std::string_view value) {
    return startsWithNoCase(value, "YES");
}
bool isNo(std::string_view value) {
    return startsWithNoCase(value, "NO");
}

void readFileName(std::string_view value, std::string& path, bool& append) {
    if (!value.empty() && value[0] == '+') {
        append = true;
        value.remove_prefix(1);
    }
    path.assign(valueWord(value).substr(0, maxReportPath));
}

namespace {

// A component separator of an ADDR pattern.
bool isAddrSeparator(char c) {
    auto u = static_cast<unsigned char>(c);
    return c == ':' || c == '/' || c == '.' || c == '"' || u <= ' ' || u >= 0x80;
}

// A component that reads as it is written: '#', '*' or a decimal number
// that a component holds.
bool isExactComponent(std::string_view c) {
    if (c == "#" || c == "*") return true;
    if (c.empty()) return false;
    std::int32_t v = 0;
    for (char d : c) {
        if (d < '0' || d > '9') return false;
        v = std::min<std::int32_t>(v * 10 + (d - '0'), 32768);
    }
    return v <= 32767;
}

struct AddrScanner {
    std::string_view text;
    std::size_t pos = 0;
    bool exact = true;  // every component so far read as written

    char peek() const { return pos < text.size() ? text[pos] : '\0'; }
    std::int16_t component() {
        const std::size_t start = pos;
        std::int16_t v;
        if (peek() == '#') {
            v = eachComponent;
        } else if (peek() == '*') {
            v = anyComponent;
        } else {
            v = static_cast<std::int16_t>(leadingInt(text.substr(pos)));
        }
        while (pos < text.size() && !isAddrSeparator(text[pos]))
            ++pos;
        if (!isExactComponent(text.substr(start, pos - start))) exact = false;
        return v;
    }
};

// What may follow a pattern or kind name: blanks, then nothing, a comment
// or a label. The line end of a file written on DOS is no text.
bool endsCleanly(std::string_view rest) {
    if (!rest.empty() && rest.back() == '\n') rest.remove_suffix(1);
    if (!rest.empty() && rest.back() == '\r') rest.remove_suffix(1);
    if (!rest.empty() && !isBlank(rest[0]) && rest[0] != ';' && rest[0] != '"') return false;
    return !skipBlanks(rest) || rest[0] == '"';
}

// The ADDR value as the operator wrote it: up to its label or comment,
// without the blanks before them.
std::string_view writtenPattern(std::string_view value) {
    std::size_t end = 0;
    while (end < value.size() && value[end] != '"' && value[end] != '\n' && value[end] != '\r' &&
           !(value[end] == ';' && end > 0 && isBlank(value[end - 1])))
        ++end;
    while (end > 0 && isBlank(value[end - 1]))
        --end;
    return value.substr(0, end);
}

// An ADDR value that was not read as written: the pattern shows what the
// entry will match, as the keyword warning shows the keyword taken.
void warnLooseAddr(std::FILE* warnings, int lineNumber, std::string_view value,
                   const AddrSpec& addrSpec) {
    if (!warnings) return;
    const std::string_view written = writtenPattern(value);
    const char* excluded = (addrSpec.flags & AddrFlags::excluded) ? "!" : "";
    const AddressText read = formatAddress(addrSpec.pattern, AddressText{}.chars.size() - 1);
    const std::string_view shown = trimmedCell(read.view());
    std::fprintf(warnings, "Config warning, line %d: address '%.*s' read as %s%.*s\n", lineNumber,
                 static_cast<int>(written.size()), written.data(), excluded,
                 static_cast<int>(shown.size()), shown.data());
}

// The text between double quotes, cut after 15 characters and padded to 15 columns.
std::string readLabel(std::string_view text) {
    constexpr std::size_t columns = 15;
    const std::string_view quoted =
        text.substr(0, std::min(text.find_first_of("\"\n"), text.size()));
    std::string label(quoted.substr(0, prefixOfWidth(quoted, columns)));
    label.append(columns - displayWidth(label), ' ');
    return label;
}

// Nothing but blanks and a comment up to the line's end. (A carriage
// return before the newline is let pass, as every keyword does.)
bool nothingFollows(std::string_view rest) {
    std::size_t i = 0;
    while (i < rest.size() && (isBlank(rest[i]) || rest[i] == '\r'))
        ++i;
    return i == rest.size() || rest[i] == ';' || rest[i] == '\n';
}

// A whole number, signed or not, of at most limit either way, and nothing
// after it: "3.5", "3h" or a number too large stop the run, where reading
// their digits would quietly take another value than the one meant.
std::optional<std::int32_t> wholeNumber(std::string_view value, std::int32_t limit) {
    std::size_t i = 0;
    const bool negative = !value.empty() && value[0] == '-';
    if (!value.empty() && (value[0] == '-' || value[0] == '+')) ++i;
    const std::size_t firstDigit = i;
    std::int32_t number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        number = number * 10 + (value[i] - '0');
        if (number > limit) return std::nullopt;
    }
    if (i == firstDigit || !nothingFollows(value.substr(i))) return std::nullopt;
    return negative ? -number : number;
}

// TimeShift moves a history's clock to the node's: AUTO (the local offset
// from UTC) or hours within a day either way.
constexpr std::int32_t maxShiftHours = 23;
// CutHistory: the one keyword that destroys records.
constexpr std::int32_t maxCutDays = 65535;

}  // namespace

AddrReading readAddrValue(std::string_view value, bool supportNewFormat, int lineNumber,
                          std::FILE* warnings, AddrSpec& addrSpec) {
    addrSpec = AddrSpec{};
    for (const SessionKind& kind : sessionKinds) {
        if (!startsWithNoCase(value, kind.keyword)) continue;
        if (!supportNewFormat) {
            if (warnings)
                std::fprintf(warnings,
                             "Skip extended The Brake!-style Addr in config line %d due to "
                             "'SupportNewFormat No'\n",
                             lineNumber);
            return AddrReading::skipped;
        }
        addrSpec.pattern = eventKeyAddress(kind);
        addrSpec.flags = kind.entryFlag;
        if (endsCleanly(value.substr(kind.keyword.size()))) return AddrReading::exact;
        warnLooseAddr(warnings, lineNumber, value, addrSpec);
        return AddrReading::loose;
    }
    FidoAddress& p = addrSpec.pattern;
    p = FidoAddress{anyComponent, anyComponent, anyComponent, anyComponent};
    AddrScanner s{value};
    if (s.peek() == '!') {
        addrSpec.flags |= AddrFlags::excluded;
        ++s.pos;
    }
    std::int16_t v = s.component();
    bool separated = false;
    if (s.peek() == ':') {
        separated = true;
        if (v != 0) p.zone = v;
        ++s.pos;
        v = s.component();
        if (v != 0) p.net = v;
    }
    if (s.peek() == '/') {
        separated = true;
        if (v != 0) p.net = v;
        ++s.pos;
        v = s.component();
        p.node = v;
    }
    if (s.peek() == '.') {
        separated = true;
        p.node = v;
        ++s.pos;
        p.point = s.component();
    }
    if (!separated && v != 0) p.zone = v;
    for (std::int16_t c : {p.zone, p.net, p.node, p.point}) {
        if (c == eachComponent) addrSpec.flags |= AddrFlags::group;
        if (c == anyComponent) addrSpec.flags |= AddrFlags::hasAny;
    }
    const std::string_view rest = value.substr(std::min(s.pos, value.size()));
    std::string_view label = rest;
    skipBlanks(label);
    if (!label.empty() && label[0] == '"') addrSpec.displayName = readLabel(label.substr(1));
    if (s.exact && endsCleanly(rest)) return AddrReading::exact;
    warnLooseAddr(warnings, lineNumber, value, addrSpec);
    return AddrReading::loose;
}

namespace {

std::string_view withoutNewline(std::string_view v) {
    if (!v.empty() && v.back() == '\n') v.remove_suffix(1);
    return v;
}

std::uint16_t readBrakeMask(std::string_view value, std::FILE* warnings) {
    std::uint16_t mask = 0;
    for (char c : value) {
        if (c == '\n') continue;
        if (const SessionKind* kind = kindOfMaskLetter(c))
            mask |= kind->entryFlag;
        else
            std::fprintf(warnings, "Skipping invalid character '%c' in  BrakeSesStat mask\n", c);
    }
    return mask;
}

class Reader {
  public:
    Reader(Configuration& config, const ConfigContext& context)
        : config_(config), settings_(config.settings), context_(context) {
        anyHistory_ = !config.lines.empty();
    }

    Stop onKeyword(const KeywordLine& kw, Section section) {
        const Keyword id = kw.def->id;
        if (context_.fixed.has(id)) return std::nullopt;
        const bool actsOnIt = kw.def->actedOnBy.has(context_.program);
        const JudgedValue judged = judgeValue(kw, actsOnIt);
        if (judged.refusal) return judged.refusal;
        if (!actsOnIt) return std::nullopt;
        const std::string_view v = kw.value;
        const bool inLine = section == Section::line;
        switch (id) {
            case Keyword::common:
            case Keyword::line:
                if (!lineHasHistory_)
                    return configError(kw.lineNumber,
                                       "no history file defined in previous [LINE] section");
                if (id == Keyword::line) {
                    config_.lines.emplace_back();
                    lineHasHistory_ = false;
                }
                return std::nullopt;
            case Keyword::history: {
                if (lineHasHistory_)
                    return configError(
                        kw.lineNumber,
                        "parameter 'History' already defined in current [LINE] section");
                HistorySource& source = config_.lines.back().source;
                // A value without a file name would leave a line that can never be read.
                if (parseHistoryValue(v, source) == 0)
                    return configError(kw.lineNumber, invalidText());
                if (source.type == HistoryType::binkd && source.n == 0 && source.m == 0)
                    return configError(kw.lineNumber, "invalid parameters value for BinkD line");
                anyHistory_ = true;
                lineHasHistory_ = true;
                return std::nullopt;
            }
            case Keyword::output:
                readFileName(v, settings_.outputPath, settings_.outputAppend);
                return std::nullopt;
            case Keyword::pondrel:
                readFileName(v, settings_.linksPath, settings_.linksAppend);
                return std::nullopt;
            case Keyword::sessionStat:
                readFileName(v, settings_.sessionsPath, settings_.sessionsAppend);
                return std::nullopt;
            case Keyword::jsonReport:
            case Keyword::htmlReport:
            case Keyword::archive: {
                // A report's '+' is refused above; an archive is never appended.
                bool append = false;
                readFileName(v,
                             id == Keyword::jsonReport   ? settings_.jsonReportPath
                             : id == Keyword::htmlReport ? settings_.htmlReportPath
                                                         : settings_.archivePath,
                             append);
                return std::nullopt;
            }
            case Keyword::charset: {
                const std::string_view name = valueWord(v);
                const std::optional<Charset> charset = parseCharset(name);
                if (!charset)
                    return configError(kw.lineNumber,
                                       format("unknown Charset '%.*s' (use UTF-8, "
                                              "CP866 or CP437)",
                                              static_cast<int>(name.size()), name.data()));
                settings_.charset = *charset;
                return std::nullopt;
            }
            case Keyword::timeShift:
                (inLine ? config_.lines.back().timeShift : settings_.lineDefaults.timeShift) =
                    static_cast<std::int16_t>(judged.number);
                return std::nullopt;
            case Keyword::date:
                settings_.reportDate = judged.date;
                return std::nullopt;
            case Keyword::time:
                settings_.timeWindow = judged.window;
                return std::nullopt;
            case Keyword::middLine:
                if (isYes(v))
                    settings_.middLine = MiddLineMode::yes;
                else if (startsWithNoCase(v, "GROUP"))
                    settings_.middLine = MiddLineMode::group;
                return std::nullopt;
            case Keyword::keepAll:
                settings_.keepAll = isYes(v);
                return std::nullopt;
            case Keyword::group:
                settings_.group = isYes(v);
                return std::nullopt;
            case Keyword::noDrawZero:
                settings_.noDrawZero = isYes(v);
                return std::nullopt;
            case Keyword::protectSummary:
                settings_.protectSummary = isYes(v);
                return std::nullopt;
            case Keyword::showValue:
                if (startsWithNoCase(v, "TIME"))
                    settings_.showValue = ShowValueMode::time;
                else if (startsWithNoCase(v, "CPS"))
                    settings_.showValue = ShowValueMode::cps;
                return std::nullopt;
            case Keyword::supportNewFormat:
                if (isNo(v)) settings_.supportNewFormat = false;
                return std::nullopt;
            case Keyword::busyHist: {
                std::uint8_t mask = isNo(v)    ? 0
                                    : isYes(v) ? BusyMask::all
                                               : parseBusyHistMask(v, context_.warnings);
                (inLine ? config_.lines.back().busyHistMask : settings_.busyHistMask) = mask;
                return std::nullopt;
            }
            case Keyword::brakeSesStat:
                if (isNo(v)) return std::nullopt;
                settings_.brakeSesStatMask =
                    isYes(v) ? AddrFlags::kindMask : readBrakeMask(v, context_.warnings);
                return std::nullopt;
            case Keyword::name:
                if (!v.empty() && v[0] == '"') {
                    Line& line = config_.lines.back();
                    std::string_view rest = v.substr(1);
                    line.name.assign(rest.substr(0, std::min(rest.find('"'), rest.size())));
                    line.nameWidth = displayWidth(line.name);
                    line.hasName = true;
                }
                return std::nullopt;
            case Keyword::cutHistory:
                (inLine ? config_.lines.back().cutHistory : settings_.lineDefaults.cutHistory) =
                    judged.number;
                return std::nullopt;
            case Keyword::advancedCps:
                setSwitch(inLine, &Line::advancedCps, &LineDefaults::advancedCps, isYes(v));
                return std::nullopt;
            case Keyword::swapInOut:
                setSwitch(inLine, &Line::swapInOut, &LineDefaults::swapInOut, isYes(v));
                return std::nullopt;
            case Keyword::binkdAborted:
                setSwitch(inLine, &Line::binkdAbortedOut, &LineDefaults::binkdAbortedOut,
                          startsWithNoCase(v, "OUT"));
                return std::nullopt;
            case Keyword::addr: {
                AddrSpec addrSpec;
                if (readAddrValue(v, settings_.supportNewFormat, kw.lineNumber, context_.warnings,
                                  addrSpec) != AddrReading::skipped)
                    config_.addresses.push_back(std::move(addrSpec));
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    Stop finish() {
        if (!anyHistory_) return failure("No history file defined.\n");
        if (!lineHasHistory_) return failure("No history file defined in last [LINE] section\n");
        const LineDefaults& d = settings_.lineDefaults;
        for (Line& line : config_.lines) {
            if (line.timeShift == timeShiftUnset) line.timeShift = d.timeShift;
            if (line.busyHistMask == busyHistUnset) line.busyHistMask = settings_.busyHistMask;
            if (line.cutHistory == cutHistoryUnset) line.cutHistory = d.cutHistory;
            if (line.advancedCps == switchUnset) line.advancedCps = d.advancedCps;
            if (line.swapInOut == switchUnset) line.swapInOut = d.swapInOut;
            if (line.binkdAbortedOut == switchUnset) line.binkdAbortedOut = d.binkdAbortedOut;
        }
        return std::nullopt;
    }

  private:
    // A value as its keyword's form reads it, or the refusal that ends the
    // run: the same in every program, whether it acts on the keyword or not
    // (only one that does is warned of an adjusted date).
    struct JudgedValue {
        Stop refusal;
        std::int32_t number = 0;  // hours, days
        std::time_t date = 0;
        TimeWindow window;
    };

    JudgedValue judgeValue(const KeywordLine& kw, bool actsOnIt) const {
        const std::string_view v = kw.value;
        JudgedValue judged;
        const auto number = [&](std::optional<std::int32_t> n) {
            if (n)
                judged.number = *n;
            else
                judged.refusal = configError(kw.lineNumber, invalidText());
        };
        switch (kw.def->form) {
            case ValueForm::taken:
                break;
            case ValueForm::shiftHours:
                if (startsWithNoCase(v, "AUTO") && nothingFollows(v.substr(4)))
                    judged.number = autoTimeShiftHours(context_.clock->now);
                else
                    number(wholeNumber(v, maxShiftHours));
                break;
            case ValueForm::cutDays:
                number(wholeNumber(v, maxCutDays));
                break;
            case ValueForm::wholeFile:
                if (!v.empty() && v[0] == '+')
                    judged.refusal = configError(kw.lineNumber, kw.def->id == Keyword::jsonReport
                                                                    ? jsonAppendRefused
                                                                    : htmlAppendRefused);
                break;
            case ValueForm::date: {
                const DateResult date = parseDate(valueWord(v), *context_.clock,
                                                  actsOnIt ? context_.warnings : nullptr);
                judged.refusal = date.stop;
                judged.date = date.time;
                break;
            }
            case ValueForm::timeWindow:
                if (!parseTimeWindow(v, judged.window)) {
                    const std::string_view shown = withoutNewline(v);
                    judged.refusal = failure(format("Invalid time %.*s\n",
                                                    static_cast<int>(shown.size()), shown.data()));
                }
                break;
        }
        return judged;
    }

    std::string_view invalidText() const {
        return context_.program == Program::ravlog
                   ? "invalid parameter or its value"
                   : "invalid keyword or parameter, or config file not in unix-like format (use "
                     "dos2unix to convert it)";
    }

    void setSwitch(bool inLine, std::uint8_t Line::*lineField, bool LineDefaults::*commonField,
                   bool value) {
        if (inLine)
            config_.lines.back().*lineField = value;
        else
            settings_.lineDefaults.*commonField = value;
    }

    Configuration& config_;
    Settings& settings_;
    const ConfigContext& context_;
    bool anyHistory_ = false;
    bool lineHasHistory_ = true;
};

}  // namespace

Stop readConfig(ByteSource& text, Configuration& config, const ConfigContext& context) {
    Reader reader(config, context);
    Stop stop = readConfigText(
        text, context.program,
        [&](const KeywordLine& kw, Section section) { return reader.onKeyword(kw, section); },
        nullptr, context.warnings);
    if (stop) return stop;
    return reader.finish();
}

}  // namespace rv
