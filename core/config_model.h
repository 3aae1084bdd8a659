// What the configuration file and the command line make of a run:
// the global settings, one Line per history source and one AddrSpec
// per ADDR line. The three programs read it through one reader
// (config_reader.h); the statistics live elsewhere.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "core/charset.h"
#include "core/fido_address.h"
#include "core/history_source.h"

namespace rv {

// A time of day window; the end is the last second that belongs to it.
struct TimeWindow {
    std::uint16_t startHour = 0;
    std::uint8_t startMinute = 0;
    std::uint8_t startSecond = 0;
    std::uint8_t endHour = 23;
    std::uint8_t endMinute = 59;
    std::uint8_t endSecond = 59;
    std::uint16_t endHourBound = 24;  // the first whole hour after the window
};

enum class MiddLineMode : std::uint8_t { no = 0, yes = 1, group = 2 };
enum class ShowValueMode : std::uint8_t { ses = 0, time = 1, cps = 2 };

// Per-line values that [COMMON] supplies to every line that does not set its own.
struct LineDefaults {
    std::int16_t timeShift = 0;
    std::int32_t cutHistory = 0;  // days, -65535..65535
    bool advancedCps = false;
    bool swapInOut = false;
    bool binkdAbortedOut = false;
};

inline constexpr std::size_t maxReportPath = 259;

struct Settings {
    std::string configPath = "ravlog.ctl";
    std::string outputPath = "ravlog.out";
    bool outputAppend = false;
    std::string linksPath = "ravlog.lnk";
    bool linksAppend = false;
    std::string sessionsPath = "ravlog.ses";
    bool sessionsAppend = false;
    std::string jsonReportPath;       // empty: no JSON report
    std::string htmlReportPath;       // empty: no HTML report
    std::string archivePath;          // the day archive; empty: none
    Charset charset = Charset::utf8;  // of the text reports
    std::time_t reportDate = 0;       // local midnight that starts the report day
    TimeWindow timeWindow;
    MiddLineMode middLine = MiddLineMode::no;
    bool keepAll = false;
    bool group = false;
    bool noDrawZero = false;
    bool protectSummary = false;
    ShowValueMode showValue = ShowValueMode::ses;
    bool supportNewFormat = true;
    std::uint8_t busyHistMask = 0;
    std::uint16_t brakeSesStatMask = 0;
    LineDefaults lineDefaults;
};

// Markers of per-line settings that the line did not set itself.
inline constexpr std::int16_t timeShiftUnset = 0x7FFF;
inline constexpr std::uint8_t busyHistUnset = 0xFF;
inline constexpr std::int32_t cutHistoryUnset = -1;
inline constexpr std::uint8_t switchUnset = 0xFF;

struct Line {
    HistorySource source;
    std::string name;           // the quoted Name, without quotes; empty when none
    std::size_t nameWidth = 0;  // its width in characters
    bool hasName = false;
    std::int16_t timeShift = timeShiftUnset;
    std::uint8_t busyHistMask = busyHistUnset;
    std::int32_t cutHistory = cutHistoryUnset;
    std::uint8_t advancedCps = switchUnset;
    std::uint8_t swapInOut = switchUnset;
    std::uint8_t binkdAbortedOut = switchUnset;
};

// ADDR entry flags set by the reader (the statistics add 0x0001, 0x0010, 0x0020).
namespace AddrFlags {
inline constexpr std::uint16_t matched = 0x0001;
inline constexpr std::uint16_t hasAny = 0x0002;
inline constexpr std::uint16_t group = 0x0004;
inline constexpr std::uint16_t excluded = 0x0008;
inline constexpr std::uint16_t advancedCps = 0x0010;
inline constexpr std::uint16_t hasProtected = 0x0020;
inline constexpr std::uint16_t kindMask = 0x1F00;
}  // namespace AddrFlags

struct AddrSpec {
    FidoAddress pattern;  // -1 any, -2 '#'; a kind entry holds its event key
    std::uint16_t flags = 0;
    std::string displayName;  // exactly 15 columns, or empty when none
};

struct Configuration {
    Settings settings;
    std::vector<Line> lines;  // -h sources first, then [LINE] sections
    std::vector<AddrSpec> addresses;
};

}  // namespace rv
