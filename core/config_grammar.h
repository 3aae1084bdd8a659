// The grammar every program applies to the configuration file: lines of
// at most 511 bytes, comments, keyword recognition by prefix in table
// order, and the four checks with their error texts. What a keyword does
// is up to each program's handler.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string_view>

#include "core/byte_source.h"
#include "core/exit_request.h"

namespace rv {

enum class Keyword : std::uint8_t {
    history,
    output,
    timeShift,
    date,
    middLine,
    keepAll,
    group,
    noDrawZero,
    addr,
    busyHist,
    supportNewFormat,
    showValue,
    common,
    line,
    protectSummary,
    name,
    cutHistory,
    time,
    pondrel,
    sessionStat,
    brakeSesStat,
    advancedCps,
    swapInOut,
    binkdAborted,
    jsonReport,
    htmlReport,
    charset,
    archive
};

enum class Program : std::uint8_t { ravlog, pondrel, brimsel };
enum class Section : std::uint8_t { none, common, line };

struct KeywordDef {
    std::string_view text;  // in capitals
    Keyword id;
    bool valueRequired;
    std::uint8_t sections;  // 1 [COMMON], 2 [LINE], 3 both, 0 anywhere
};

// Searched in this order: TIMESHIFT comes before TIME.
extern const std::array<KeywordDef, 28> keywordTable;

inline constexpr std::size_t configPieceSize = 511;

// Cuts a configuration text into lines as a 512-byte fgets buffer would:
// at most 511 bytes, newline included; the rest of a longer line is the
// next line. A piece is cut at its first NUL byte, where the text ends for
// every reader of it.
class ConfigLineReader {
  public:
    explicit ConfigLineReader(ByteSource& source);
    bool next(std::string_view& piece);
    int lineNumber() const { return lineNumber_; }

  private:
    ByteSource& source_;
    std::array<char, 1 << 14> buffer_{};
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool exhausted_ = false;
    std::array<char, configPieceSize> piece_{};
    int lineNumber_ = 0;
};

// Skips spaces and tabs; true when a value follows (not the end, ';' or a newline).
bool skipBlanks(std::string_view& text);

// "Config error, line %d: %s\n" as the run's ending.
ExitRequest configError(int lineNumber, std::string_view text);

struct KeywordLine {
    const KeywordDef* def;
    std::string_view value;  // from the first non-blank after the keyword, newline included
    int lineNumber;
};

// Called for every keyword line that passed the checks. The section is
// the one in force before the line; after a header line the grammar
// switches to that header's section.
using KeywordHandler = std::function<Stop(const KeywordLine&, Section)>;

// Reads every line of the source, recognises and checks it, and calls the
// handler. Returns the first stop (a configuration error or a handler's
// stop), or nothing at the end of the text. lastSection tells the section
// in force at the end. A keyword matched by the start of a longer word
// (Groups, OutputFile) is read as before, with a warning on warnings.
Stop readConfigText(ByteSource& source, Program program, const KeywordHandler& handler,
                    Section* lastSection = nullptr, std::FILE* warnings = nullptr);

}  // namespace rv
