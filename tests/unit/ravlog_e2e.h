// Helpers of the ravlog end-to-end tests: histories written from record
// lists, the built program run in a scratch directory, and the pieces of
// the sessions statistic file drawn from their cell values, so that each
// test spells out only what its sessions make of a report.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "run_program.h"
#include "same_text.h"
#include "scratch_dir.h"
#include "tools/history_writer.h"
#include "tools/record_list.h"

namespace rv::testing {

inline const std::string ravlogPath = std::string(RV_BUILD_DIR) + "/ravlog/ravlog";

inline const std::string ravlogBanner =
    "Ravlog " RV_VERSION
    "/Linux - History Utility for T-Mail, BinkD, Argus, Brake, Bink/+,\n"
    "FhMail, DVMmail, KittenMail, BinkleyTerm-XE, FrontDoor, InternetRex, BasicMail\n"
    "Free software for FidoNet node operators, Ravlog suite\n"
    "\n";

inline std::string repeated(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += piece;
    return text;
}

inline std::string blanks(int count) {
    return std::string(static_cast<std::size_t>(count), ' ');
}

// Writes a history of the type from a record list into the directory.
inline void writeHistory(const ScratchDir& dir, const std::string& name, HistoryType type,
                         const std::string& list) {
    histgen::HistoryWriter writer(type);
    auto error = histgen::writeRecordList(list, writer);
    ASSERT_FALSE(error) << error->message << " in line " << error->line;
    writer.defaultBrakeHeaderToFirstRecord();
    ASSERT_TRUE(dir.write(name, writer.bytes()));
}

inline ProgramResult ravlog(const ScratchDir& dir, const std::vector<std::string>& args,
                            const std::string& zone = "UTC") {
    return runProgram(ravlogPath, args, dir.path(), {"TZ=" + zone});
}

inline bool exists(const ScratchDir& dir, const std::string& name) {
    return std::filesystem::exists(dir.file(name));
}

// ---- The sessions statistic file -----------------------------------------------

// The banner ends on the 15 blanks that the period header continues.
inline std::string sessionsBanner() {
    return "\n              ┌" + repeated("─", 49) +
           "┐\n              │ ░░░▒▒▒▓▓▓███  Sessions  Statistic  ███▓▓▓▒▒▒░░░ │\n"
           "              └" +
           repeated("─", 49) + "┘\n\n" + blanks(15);
}

// The creation time varies from run to run: it is compared by its form.
inline const std::string createdAtPlaceholder = "Sessions Statistic created at <time>\n";

inline std::string sessionsFooter() {
    return createdAtPlaceholder + "Free software for FidoNet node operators, Ravlog suite\n";
}

inline std::string tableHeader(bool prot, bool abrt) {
    return "╔════════════╤═════╤════════════════════╤══════════╤═════════════════╤════════╗\n"
           "║  Session   │ Dir │    Address     " +
           std::string(prot ? "Prot" : "    ") +
           "│   Time   │     Traffic     │   CPS  ║\n"
           "║   start    │     │                " +
           std::string(abrt ? "Abrt" : "    ") +
           "│  Online  │  Rcvd     Sent  │        ║\n"
           "╠════════════╪═════╪════════════════════╪══════════╪════════╤════════╪════════╣\n";
}

// One session row from its cells: start, direction (3), address (padded to
// 15 here), the two marks, duration (9), received, sent and CPS (6 each).
inline std::string row(const std::string& start, const std::string& dir, std::string address,
                       const std::string& marks, const std::string& duration,
                       const std::string& received, const std::string& sent,
                       const std::string& cps) {
    address.resize(15, ' ');
    return "║  " + start + "  │ " + dir + " │  " + address + " " + marks + "│" + duration + " │ " +
           received + " │ " + sent + " │ " + cps + " ║\n";
}

// The totals row from its cells: total, in, out (4 each), duration (9),
// received and sent (6 each), CPS (7).
inline std::string totals(const std::string& total, const std::string& in, const std::string& out,
                          const std::string& duration, const std::string& received,
                          const std::string& sent, const std::string& cps) {
    return "║   Total:" + total + "    In:" + in + "    Out:" + out + "   │" + duration + " │ " +
           received + " │ " + sent + " │" + cps + " ║\n";
}

inline std::string table(bool prot, bool abrt, const std::vector<std::string>& rows,
                         const std::string& totalsRow) {
    std::string text = tableHeader(prot, abrt);
    for (const std::string& r : rows)
        text += r;
    return text +
           "╟────────────┴─────┴────────────────────┼──────────┼────────┼────────┼────────╢\n" +
           totalsRow +
           "╚═══════════════════════════════════════╧══════════╧════════╧════════╧════════╝\n"
           "\n\n";
}

inline const std::string emptyTotals =
    totals("   0", "   0", "   0", "  0:00:00", "     0", "     0", "      0");

// The creation line of each report replaced by the placeholder; a line that
// does not have the form of "%A, %d %B %Y, %X" is left as it is.
inline std::string withPlaceholders(const std::string& text) {
    static const std::regex createdAt(
        "Sessions Statistic created at "
        "(Mon|Tues|Wednes|Thurs|Fri|Satur|Sun)day, [0-3][0-9] "
        "(January|February|March|April|May|June|July|August|September|October|November|December)"
        " [0-9]{4}, [0-2][0-9]:[0-5][0-9]:[0-6][0-9]\n");
    return std::regex_replace(text, createdAt, createdAtPlaceholder);
}

// The whole sessions statistic file against the expected text, whose
// creation lines are placeholders.
inline ::testing::AssertionResult sameSessionsFile(const ScratchDir& dir, const std::string& name,
                                                   const std::string& expected) {
    if (!std::filesystem::exists(dir.file(name)))
        return ::testing::AssertionFailure() << name << " was not written";
    return sameText(withPlaceholders(slurp(dir.file(name))), expected);
}

// Whether the machine has the zone's rules (a missing zone would silently be UTC).
inline bool hasZoneData(const std::string& zone) {
    if (zone == "UTC") return true;
    for (const char* root :
         {"/usr/share/zoneinfo/", "/usr/lib/zoneinfo/", "/usr/share/lib/zoneinfo/"})
        if (std::filesystem::exists(root + zone)) return true;
    return false;
}

}  // namespace rv::testing
