// Texts that every whole-run test compares: the programs' banners, as the
// expected outputs hold them, and the creation time of a report, the one
// part that differs from run to run.
#pragma once

#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>

namespace rv::testing {

// What a program writes before it says that its configuration file is
// missing (tests/expected/<program>_config_missing: ravlog on standard
// output, the others on standard error), up to its empty line: the banner,
// kept once, where scripts/regenerate-expected.sh rewrites it.
inline std::string expectedBanner(const std::string& program) {
    const std::string out =
        std::string(RV_SOURCE_DIR) + "/tests/expected/" + program + "_config_missing/out/";
    std::string written;
    for (const char* stream : {"stdout", "stderr"}) {
        std::ifstream in(out + stream, std::ios::binary);
        written.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::size_t end = written.find("\n\n");
    return end == std::string::npos ? std::string() : written.substr(0, end + 2);
}

inline const std::string ravlogBanner = expectedBanner("ravlog");
inline const std::string pondrelBanner = expectedBanner("pondrel");
inline const std::string brimselBanner = expectedBanner("brimsel");

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
// the C locale ("Monday, 04 March 2024, 13:05:09"): read back by strptime
// and written again, it comes out the same.
inline bool isCreationTime(std::string_view text) {
    const char* const form = "%A, %d %B %Y, %X";
    const std::string given(text);
    std::tm tm{};
    const char* end = ::strptime(given.c_str(), form, &tm);
    char again[64];
    return end != nullptr && *end == '\0' && std::strftime(again, sizeof again, form, &tm) > 0 &&
           given == again;
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
