// Helpers of the ravlog end-to-end tests: histories written from record
// lists, the built program run in a scratch directory, and the pieces of
// the sessions statistic file drawn from their cell values, so that each
// test spells out only what its sessions make of a report.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "history_files.h"
#include "report_texts.h"
#include "run_program.h"
#include "same_text.h"
#include "scratch_dir.h"
#include "tools/history_writer.h"
#include "tools/record_list.h"

namespace rv::testing {

inline const std::string ravlogPath = builtProgram("ravlog");

inline std::string repeated(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += piece;
    return text;
}

inline std::string blanks(int count) {
    return std::string(static_cast<std::size_t>(count), ' ');
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

// The whole sessions statistic file against the expected text, whose
// creation lines are placeholders.
inline ::testing::AssertionResult sameSessionsFile(const ScratchDir& dir, const std::string& name,
                                                   const std::string& expected) {
    if (!std::filesystem::exists(dir.file(name)))
        return ::testing::AssertionFailure() << name << " was not written";
    return sameText(maskCreationTimes(slurp(dir.file(name))), expected);
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
