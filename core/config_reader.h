// The configuration reader of all three programs: one reader, one
// keyword table that says which program acts on each keyword; everything
// else (grammar, checks, messages, handling) is shared.
#pragma once

#include <bitset>
#include <cstdio>
#include <initializer_list>

#include "core/byte_source.h"
#include "core/config_grammar.h"
#include "core/config_model.h"
#include "core/exit_request.h"
#include "core/local_clock.h"

namespace rv {

// The keywords whose settings the command line fixed: they are skipped
// after the checks.
class FixedByOptions {
  public:
    FixedByOptions() = default;
    FixedByOptions(std::initializer_list<Keyword> keywords) {
        for (Keyword k : keywords)
            set(k);
    }
    void set(Keyword k, bool fixed = true) { bits_.set(static_cast<std::size_t>(k), fixed); }
    bool has(Keyword k) const { return bits_.test(static_cast<std::size_t>(k)); }

  private:
    std::bitset<keywordCount> bits_;
};

struct ConfigContext {
    Program program = Program::ravlog;
    FixedByOptions fixed;
    const RunClock* clock = nullptr;
    std::FILE* warnings = stderr;
};

// Reads the configuration text into config (whose lines may already hold
// the -h sources), makes the end-of-file checks and fills every unset
// per-line setting from [COMMON].
Stop readConfig(ByteSource& text, Configuration& config, const ConfigContext& context);

// isYes / isNo of the configuration values.
bool isYes(std::string_view value);
bool isNo(std::string_view value);

// OUTPUT, PONDREL, SESSIONSTAT and the -o, -l, -e options: a leading '+'
// sets append; the name is the run of value characters, at most 259.
void readFileName(std::string_view value, std::string& path, bool& append);

// The JSON and HTML reports are always written whole: their names take no '+'.
inline constexpr std::string_view jsonAppendRefused =
    "JSON report is always written whole, '+' (append) not allowed";
inline constexpr std::string_view htmlAppendRefused =
    "HTML report is always written whole, '+' (append) not allowed";

// How an ADDR value was read. A loose one was taken, but not as written:
// part of it was passed over, or a component was no '#', '*' or number
// (2:5020:9999, 2:5020/-5, 2:5020/1OO, Answers). Its entry stands as the
// reading made it, with "Config warning, line %d: address '%s' read as %s"
// on warnings, so that a configuration that worked goes on working.
enum class AddrReading {
    skipped,  // a session-kind entry while SupportNewFormat is off, reported on warnings
    exact,
    loose,
};

AddrReading readAddrValue(std::string_view value, bool supportNewFormat, int lineNumber,
                          std::FILE* warnings, AddrSpec& addrSpec);

}  // namespace rv
