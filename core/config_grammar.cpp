#include "core/config_grammar.h"

#include "core/format.h"
#include "core/text_scan.h"

namespace rv {

ConfigLineReader::ConfigLineReader(ByteSource& source) : source_(source) {}

bool ConfigLineReader::next(std::string_view& piece) {
    std::size_t len = 0;
    while (len < piece_.size()) {
        if (pos_ == end_) {
            if (exhausted_) break;
            long got =
                source_.read(reinterpret_cast<std::uint8_t*>(buffer_.data()), buffer_.size());
            if (got <= 0) {
                exhausted_ = true;
                break;
            }
            pos_ = 0;
            end_ = static_cast<std::size_t>(got);
        }
        char c = buffer_[pos_++];
        piece_[len++] = c;
        if (c == '\n') break;
    }
    if (len == 0) return false;
    continues_ = lineOpen_;
    if (!continues_) ++lineNumber_;
    lineOpen_ = piece_[len - 1] != '\n';
    piece = std::string_view(piece_.data(), len);
    return true;
}

bool skipBlanks(std::string_view& text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    text.remove_prefix(i);
    return !text.empty() && text[0] != ';' && text[0] != '\n';
}

std::string_view valueWord(std::string_view value) {
    std::size_t len = 0;
    while (len < value.size() && isValueChar(value[len]))
        ++len;
    return value.substr(0, len);
}

ExitRequest configError(int lineNumber, std::string_view text) {
    return failure(format("Config error, line %d: %.*s\n", lineNumber,
                          static_cast<int>(text.size()), text.data()));
}

namespace {

struct ErrorTexts {
    std::string_view invalid;
    std::string_view notInCommon;
    std::string_view notInLine;
};

ErrorTexts errorTexts(Program program) {
    if (program == Program::ravlog) {
        return {"invalid parameter or its value", "parameter not allowed in [COMMON] section",
                "parameter not allowed in [LINE] section"};
    }
    return {
        "invalid keyword or parameter, or config file not in unix-like format (use dos2unix "
        "to convert it)",
        "keyword not allowed in [COMMON] section", "keyword not allowed in [LINE] section"};
}

const KeywordDef* findKeyword(std::string_view text) {
    for (const KeywordDef& def : keywordTable) {
        if (startsWithNoCase(text, def.text)) return &def;
    }
    return nullptr;
}

bool isLetterOrDigit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Keywords are matched by their beginning, so a misspelt keyword is read
// as a shorter one ("TimeShfit" as TIME); the warning lets the typo show.
void warnLongerWord(std::FILE* warnings, int lineNumber, std::string_view line,
                    const KeywordDef& def) {
    std::size_t end = def.text.size();
    if (!warnings || end >= line.size() || !isLetterOrDigit(line[end])) return;
    while (end < line.size() && isLetterOrDigit(line[end]))
        ++end;
    std::fprintf(warnings, "Config warning, line %d: '%.*s' read as %.*s\n", lineNumber,
                 static_cast<int>(end), line.data(), static_cast<int>(def.text.size()),
                 def.text.data());
}

}  // namespace

Stop readConfigText(ByteSource& source, Program program, const KeywordHandler& handler,
                    Section* lastSection, std::FILE* warnings) {
    const ErrorTexts texts = errorTexts(program);
    ConfigLineReader reader(source);
    Section section = Section::none;
    std::string_view line;
    bool inComment = false;  // the rest of a comment longer than a piece is comment too
    while (reader.next(line)) {
        const int number = reader.lineNumber();
        if (line.find('\0') != std::string_view::npos) return configError(number, nulByteRefused);
        if (reader.continuesLine() && inComment) continue;
        if (!skipBlanks(line)) {
            inComment = !line.empty() && line[0] == ';';
            continue;
        }
        inComment = false;
        const KeywordDef* def = findKeyword(line);
        if (!def) return configError(number, texts.invalid);
        warnLongerWord(warnings, number, line, *def);
        std::string_view value = line.substr(def->text.size());
        bool hasValue = skipBlanks(value);
        if (def->valueRequired && !hasValue) return configError(number, texts.invalid);
        if (def->allowedIn != AllowedIn::anywhere) {
            if (section == Section::none) return configError(number, "no section defined");
            if (section == Section::common && def->allowedIn == AllowedIn::line)
                return configError(number, texts.notInCommon);
            if (section == Section::line && def->allowedIn == AllowedIn::common)
                return configError(number, texts.notInLine);
        }
        if (Stop stop = handler(KeywordLine{def, value, number}, section)) return stop;
        if (def->id == Keyword::common) section = Section::common;
        if (def->id == Keyword::line) section = Section::line;
    }
    if (lastSection) *lastSection = section;
    return std::nullopt;
}

}  // namespace rv
