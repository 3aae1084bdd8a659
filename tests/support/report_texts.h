// Texts that every whole-run test compares: the programs' banners, built
// with the project's version, and the creation time of a report, the one
// part that differs from run to run.
#pragma once

#include <array>
#include <cctype>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace rv::testing {

inline const std::string ravlogBanner =
    "Ravlog " RV_VERSION
    "/Linux - History Utility for T-Mail, BinkD, Argus, Brake, Bink/+,\n"
    "FhMail, DVMmail, KittenMail, BinkleyTerm-XE, FrontDoor, InternetRex, BasicMail\n"
    "Free software for FidoNet node operators, Ravlog suite\n"
    "\n";
inline const std::string pondrelBanner =
    "Pondrel " RV_VERSION
    "/Linux - Link Statistic for T-Mail, BinkD, Argus, Brake, Bink/+,\n"
    "FhMail, DVMmail, KittenMail, BinkleyTerm-XE, FrontDoor, InternetRex, BasicMail\n"
    "Free software for FidoNet node operators, Ravlog suite\n\n";
inline const std::string brimselBanner =
    "Brimsel " RV_VERSION
    "/Linux - History Dump for T-Mail, BinkD, Argus, The Brake!, Bink/+,\n"
    "FhMail, DVMmail, KittenMail, BinkleyTerm-XE, FrontDoor, InternetRex, BasicMail\n"
    "Free software for FidoNet node operators, Ravlog suite\n\n";

// Every occurrence of from in text replaced by to.
inline void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

inline std::string replacedAll(std::string text, const std::string& from, const std::string& to) {
    replaceAll(text, from, to);
    return text;
}

// A program's usage text as the tests expect it, written out by hand in
// tests/data/usage/<program>.txt.
inline std::string usageText(const std::string& program) {
    std::ifstream in(std::string(RV_SOURCE_DIR) + "/tests/data/usage/" + program + ".txt",
                     std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Whether text is a time as strftime's "%A, %d %B %Y, %X" writes it in
// the C locale: "Monday, 04 March 2024, 13:05:09".
inline bool isCreationTime(std::string_view text) {
    static constexpr std::array<std::string_view, 7> days = {
        "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
    static constexpr std::array<std::string_view, 12> months = {
        "January", "February", "March",     "April",   "May",      "June",
        "July",    "August",   "September", "October", "November", "December"};
    const auto take = [&text](std::string_view piece) {
        if (text.substr(0, piece.size()) != piece) return false;
        text.remove_prefix(piece.size());
        return true;
    };
    const auto takeOneOf = [&take](const auto& words) {
        for (std::string_view w : words)
            if (take(w)) return true;
        return false;
    };
    // A pattern of digits ('9') and literal characters.
    const auto takeForm = [&text](std::string_view form) {
        if (text.size() < form.size()) return false;
        for (std::size_t i = 0; i < form.size(); ++i) {
            const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
            if (form[i] == '9' ? !digit : text[i] != form[i]) return false;
        }
        text.remove_prefix(form.size());
        return true;
    };
    return takeOneOf(days) && takeForm(", 99 ") && takeOneOf(months) &&
           takeForm(" 9999, 99:99:99") && text.empty();
}

// Each " created at <time>" line with a time of that form reads
// " created at <time>"; a time of another form is left in place, so that
// the comparison shows it.
inline std::string maskCreationTimes(std::string text) {
    const std::string_view marker = " created at ";
    for (std::size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + 1)) {
        const std::size_t from = at + marker.size();
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        if (isCreationTime(std::string_view(text).substr(from, end - from)))
            text.replace(from, end - from, "<time>");
    }
    return text;
}

}  // namespace rv::testing
