// The grammar every program applies to the configuration file: lines of
// at most 511 bytes, comments, NUL bytes refused, keyword recognition by
// prefix in table order, and the four checks with their error texts. The
// keyword table says which programs act on a keyword and the form its
// value is judged by; what it does is up to the handler.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string_view>

#include "core/byte_source.h"
#include "core/exit_request.h"

namespace rv {

// In the order of keywordTable below.
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

// Where a keyword may stand. Anywhere includes before the first section.
enum class AllowedIn : std::uint8_t { anywhere, common, line, both };

// The programs that act on a keyword; every program checks it all the same.
class ProgramSet {
  public:
    constexpr ProgramSet(std::initializer_list<Program> programs) {
        for (Program p : programs)
            bits_ = static_cast<std::uint8_t>(bits_ | bit(p));
    }
    constexpr bool has(Program p) const { return (bits_ & bit(p)) != 0; }

  private:
    static constexpr std::uint8_t bit(Program p) {
        return static_cast<std::uint8_t>(1u << static_cast<unsigned>(p));
    }
    std::uint8_t bits_ = 0;
};

// How a value is judged. Every program judges it by its form, also one
// that does not act on the keyword: a value one program refuses, all
// refuse. History and Charset, whose handlers all three programs run,
// are judged there.
enum class ValueForm : std::uint8_t {
    taken,       // read as the handler reads it, never refused
    shiftHours,  // AUTO or a whole number of hours within a day, -23..23
    cutDays,     // a whole number of days, -65535..65535
    wholeFile,   // a file name without the '+' of appending
    date,        // the date value d.m.y (core/dates.h)
    timeWindow,  // the time window value (core/dates.h)
};

struct KeywordDef {
    std::string_view text;  // in capitals
    Keyword id;
    bool valueRequired;
    AllowedIn allowedIn;
    ProgramSet actedOnBy;
    ValueForm form = ValueForm::taken;
};

inline constexpr ProgramSet ravlogOnly{Program::ravlog};
inline constexpr ProgramSet ravlogPondrel{Program::ravlog, Program::pondrel};
inline constexpr ProgramSet allPrograms{Program::ravlog, Program::pondrel, Program::brimsel};

// Every fact of a keyword lives in its row here. A new keyword is its row,
// its name in Keyword (at the same place), its case in the reader's
// handler (config_reader.cpp) and its entry in man/ravlog.ctl.5, which a
// test holds to this table. Searched in this order: TIMESHIFT comes
// before TIME.
inline constexpr std::array keywordTable{
    KeywordDef{"HISTORY", Keyword::history, true, AllowedIn::line, allPrograms},
    KeywordDef{"OUTPUT", Keyword::output, true, AllowedIn::common, ravlogOnly},
    KeywordDef{"TIMESHIFT", Keyword::timeShift, true, AllowedIn::both, allPrograms,
               ValueForm::shiftHours},
    KeywordDef{"DATE", Keyword::date, true, AllowedIn::common, ravlogOnly, ValueForm::date},
    KeywordDef{"MIDDLINE", Keyword::middLine, true, AllowedIn::common, ravlogOnly},
    KeywordDef{"KEEPALL", Keyword::keepAll, true, AllowedIn::common, ravlogPondrel},
    KeywordDef{"GROUP", Keyword::group, true, AllowedIn::common, ravlogPondrel},
    KeywordDef{"NODRAWZERO", Keyword::noDrawZero, true, AllowedIn::common, ravlogOnly},
    KeywordDef{"ADDR", Keyword::addr, true, AllowedIn::common, ravlogPondrel},
    KeywordDef{"BUSYHIST", Keyword::busyHist, false, AllowedIn::both, ravlogOnly},
    KeywordDef{"SUPPORTNEWFORMAT", Keyword::supportNewFormat, true, AllowedIn::common, allPrograms},
    KeywordDef{"SHOWVALUE", Keyword::showValue, true, AllowedIn::common, ravlogOnly},
    KeywordDef{"[COMMON]", Keyword::common, false, AllowedIn::anywhere, allPrograms},
    KeywordDef{"[LINE]", Keyword::line, false, AllowedIn::anywhere, allPrograms},
    KeywordDef{"PROTECTSUMMARY", Keyword::protectSummary, true, AllowedIn::common, ravlogOnly},
    // pondrel names a line of its JSON report that could not be read.
    KeywordDef{"NAME", Keyword::name, false, AllowedIn::line, ravlogPondrel},
    KeywordDef{"CUTHISTORY", Keyword::cutHistory, true, AllowedIn::both, ravlogOnly,
               ValueForm::cutDays},
    KeywordDef{"TIME", Keyword::time, true, AllowedIn::common, ravlogOnly, ValueForm::timeWindow},
    KeywordDef{"PONDREL", Keyword::pondrel, true, AllowedIn::common, ravlogOnly},
    KeywordDef{"SESSIONSTAT", Keyword::sessionStat, true, AllowedIn::common, ravlogOnly},
    KeywordDef{"BRAKESESSTAT", Keyword::brakeSesStat, true, AllowedIn::common, ravlogPondrel},
    KeywordDef{"ADVANCEDCPS", Keyword::advancedCps, true, AllowedIn::both, ravlogPondrel},
    KeywordDef{"SWAPINOUT", Keyword::swapInOut, true, AllowedIn::both, allPrograms},
    KeywordDef{"BINKDABORTED", Keyword::binkdAborted, true, AllowedIn::both, ravlogPondrel},
    KeywordDef{"JSONREPORT", Keyword::jsonReport, true, AllowedIn::common, ravlogOnly,
               ValueForm::wholeFile},
    KeywordDef{"HTMLREPORT", Keyword::htmlReport, true, AllowedIn::common, ravlogOnly,
               ValueForm::wholeFile},
    KeywordDef{"CHARSET", Keyword::charset, true, AllowedIn::common, allPrograms},
    KeywordDef{"ARCHIVE", Keyword::archive, true, AllowedIn::common, ravlogPondrel},
};

inline constexpr std::size_t keywordCount = keywordTable.size();

// Row i holds Keyword i: a keyword's number is its place in a FixedByOptions.
inline constexpr bool keywordsInTableOrder = [] {
    for (std::size_t i = 0; i < keywordCount; ++i)
        if (static_cast<std::size_t>(keywordTable[i].id) != i) return false;
    return true;
}();
static_assert(keywordsInTableOrder, "Keyword and keywordTable must list the keywords alike");

inline constexpr std::size_t configPieceSize = 511;

// Cuts a configuration text into pieces as a 512-byte fgets buffer would:
// at most 511 bytes, newline included; the rest of a longer line comes in
// the pieces after it, under the line's own number. A NUL byte stays in
// its piece, for the grammar to refuse.
class ConfigLineReader {
  public:
    explicit ConfigLineReader(ByteSource& source);
    bool next(std::string_view& piece);
    int lineNumber() const { return lineNumber_; }
    // The piece goes on with the line of the piece before it.
    bool continuesLine() const { return continues_; }

  private:
    ByteSource& source_;
    std::array<char, 1 << 14> buffer_{};
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool exhausted_ = false;
    std::array<char, configPieceSize> piece_{};
    int lineNumber_ = 0;
    bool continues_ = false;
    bool lineOpen_ = false;  // the last piece did not end its line
};

// A NUL byte is no text a configuration holds: the file is refused on
// that line rather than read up to the NUL.
inline constexpr std::string_view nulByteRefused = "NUL byte in the line";

// Skips spaces and tabs; true when a value follows (not the end, ';' or a newline).
bool skipBlanks(std::string_view& text);

// The single word a value starts with (file names, Charset, Date): up to
// the first character that is no value character.
std::string_view valueWord(std::string_view value);

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
