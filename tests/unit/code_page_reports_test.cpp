// The reports of the demonstration node (seed 2718, a week to 12 March
// 2024, the example configuration) in CP866 and CP437, as an operator
// posts them: decoded from the code page with the C library's iconv they
// are the UTF-8 reports apart from the time of writing, and every line
// has one byte per character. The charset comes from -u or from the
// Charset keyword, the option winning; what is not a text report stays
// UTF-8; bad names are refused.
#include <gtest/gtest.h>
#include <iconv.h>
#include <sched.h>
#include <sys/mount.h>

#include <filesystem>

#include <regex>
#include <string>
#include <vector>

#include "core/time_text.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "tools/node_history.h"

namespace rv {
namespace {

using testing::ProgramResult;
using testing::runProgram;
using testing::ScratchDir;
using testing::slurp;

std::string program(const std::string& name) {
    return std::string(RV_BUILD_DIR) + "/" + name + "/" + name;
}

std::string masked(const std::string& text) {
    return std::regex_replace(text, std::regex("created at [^\n]*"), "created at <time>");
}

// The bytes of a code page read back into UTF-8.
std::string decoded(const std::string& bytes, const char* codePage) {
    const iconv_t cd = iconv_open("UTF-8", codePage);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "<no converter from " + std::string(codePage) + ">";
    std::string out(bytes.size() * 3, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t left = bytes.size();
    char* to = out.data();
    std::size_t room = out.size();
    const bool whole = iconv(cd, &in, &left, &to, &room) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!whole) return "<not decodable from " + std::string(codePage) + ">";
    out.resize(out.size() - room);
    return out;
}

std::size_t characters(const std::string& utf8) {
    std::size_t n = 0;
    for (char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        result.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return result;
}

void writeDemoNode(const ScratchDir& dir, const std::string& configTail) {
    histgen::NodeOptions options;
    options.days = 7;
    options.seed = 2718;
    options.endDay = daysFromCivil(2024, 3, 12);
    for (const histgen::GeneratedFile& f : histgen::generateNode(options))
        ASSERT_TRUE(dir.write(f.name, f.bytes));
    const std::string config = slurp(std::string(RV_SOURCE_DIR) + "/examples/ravlog.ctl");
    ASSERT_TRUE(dir.write("ravlog.ctl", config + configTail));
}

// What a run wrote: ravlog's three reports, or another program's standard output.
std::vector<std::string> reports(const ScratchDir& dir, const std::string& name,
                                 std::vector<std::string> args) {
    if (name == "ravlog") args.insert(args.begin(), "-d12.3.2024");
    const ProgramResult run = runProgram(program(name), args, dir.path());
    EXPECT_EQ(run.status, 0) << name << ": " << run.err;
    if (name != "ravlog") return {run.out};
    return {slurp(dir.file("ravlog.ses")), slurp(dir.file("ravlog.lnk")),
            slurp(dir.file("ravlog.out"))};
}

struct ProgramRun {
    const char* name;
    std::vector<std::string> args;
};
const ProgramRun runs[] = {{"ravlog", {}}, {"pondrel", {}}, {"brimsel", {}}};

// In the code page: the drawing's bytes differ, the text decodes to the
// UTF-8 report, one byte per character on every line.
void expectSameReports(const std::vector<std::string>& utf8, const std::vector<std::string>& paged,
                       const char* codePage, const std::string& what) {
    ASSERT_EQ(utf8.size(), paged.size()) << what;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        EXPECT_NE(paged[i], utf8[i]) << what << ": report " << i << " not converted";
        EXPECT_EQ(masked(decoded(paged[i], codePage)), masked(utf8[i])) << what << ": report " << i;
        const std::vector<std::string> textLines = lines(masked(utf8[i]));
        const std::vector<std::string> pagedLines = lines(masked(paged[i]));
        ASSERT_EQ(textLines.size(), pagedLines.size()) << what;
        for (std::size_t k = 0; k < textLines.size(); ++k)
            EXPECT_EQ(pagedLines[k].size(), characters(textLines[k]))
                << what << ": report " << i << " line " << k + 1 << ": " << textLines[k];
    }
}

TEST(CodePageReports, DemoNodeInBothCodePagesByOptionAndKeyword) {
    ScratchDir plain;
    writeDemoNode(plain, "");
    for (const ProgramRun& r : runs) {
        const std::vector<std::string> utf8 = reports(plain, r.name, r.args);
        for (const char* page : {"CP866", "CP437"}) {
            std::vector<std::string> args = r.args;
            args.push_back(std::string("-u") + page);
            expectSameReports(utf8, reports(plain, r.name, args), page,
                              std::string(r.name) + " -u" + page);
        }
        // The keyword, in [COMMON] after the [LINE] sections; -u wins over it.
        ScratchDir keyword;
        writeDemoNode(keyword, "[COMMON]\nCharset 437\n");
        expectSameReports(utf8, reports(keyword, r.name, r.args), "CP437",
                          std::string(r.name) + " with Charset 437");
        std::vector<std::string> args = r.args;
        args.push_back("-uutf-8");
        EXPECT_EQ(reports(keyword, r.name, args), utf8) << r.name << " -uutf-8 over Charset 437";
    }
}

// A label and a line name in Cyrillic: CP866 has them, CP437 shows one '?'
// per letter, and the columns hold in both.
TEST(CodePageReports, LettersACodePageLacks) {
    ScratchDir dir;
    writeDemoNode(dir, "");
    std::string config = slurp(dir.file("ravlog.ctl"));
    config = std::regex_replace(config, std::regex("\"Moscow\""), "\"Москва\"");
    config = std::regex_replace(config, std::regex("\"T-Mail\""), "\"Модем\"");
    ASSERT_TRUE(dir.write("ravlog.ctl", config));
    const std::vector<std::string> utf8 = reports(dir, "ravlog", {});
    ASSERT_NE(utf8[0].find("Модем"), std::string::npos);
    ASSERT_NE(utf8[2].find("Москва"), std::string::npos);
    expectSameReports(utf8, reports(dir, "ravlog", {"-u866"}), "CP866", "ravlog -u866");
    std::vector<std::string> asked;
    for (const std::string& report : utf8)
        asked.push_back(
            std::regex_replace(std::regex_replace(report, std::regex("Москва"), "??????"),
                               std::regex("Модем"), "?????"));
    expectSameReports(asked, reports(dir, "ravlog", {"-u437"}), "CP437", "ravlog -u437");
}

// What is no text report stays as it was: the ASCII drawing set, the data
// forms, standard error.
TEST(CodePageReports, AsciiAndDataStayAsTheyAre) {
    ScratchDir dir;
    writeDemoNode(dir, "");
    const std::vector<std::vector<std::string>> same = {
        {"pondrel", "-u-"}, {"pondrel", "-fjson"}, {"pondrel", "-fcsv"},
        {"brimsel", "-u-"}, {"brimsel", "-fjson"}, {"brimsel", "-fcsv"}};
    for (const std::vector<std::string>& r : same) {
        const ProgramResult utf8 = runProgram(program(r[0]), {r[1]}, dir.path());
        const ProgramResult paged = runProgram(program(r[0]), {r[1], "-ucp866"}, dir.path());
        EXPECT_EQ(paged.status, 0) << r[0] << " " << r[1] << ": " << paged.err;
        EXPECT_EQ(masked(paged.out), masked(utf8.out)) << r[0] << " " << r[1];
        EXPECT_EQ(paged.err, utf8.err) << r[0] << " " << r[1];
    }
}

TEST(CodePageReports, NamesThatAreRefused) {
    ScratchDir dir;
    writeDemoNode(dir, "[COMMON]\nCharset KOI8-R ; not a DOS code page\n");
    const std::string configError = "unknown Charset 'KOI8-R' (use UTF-8, CP866 or CP437)\n";
    for (const char* name : {"ravlog", "pondrel", "brimsel"}) {
        const ProgramResult keyword = runProgram(program(name), {}, dir.path());
        EXPECT_EQ(keyword.status, 255) << name;
        EXPECT_NE(keyword.err.find("Config error, line "), std::string::npos) << name;
        EXPECT_NE(keyword.err.find(configError), std::string::npos) << name << ": " << keyword.err;
        // An option that fixes the charset leaves the keyword unread.
        const std::vector<std::string> fixed =
            name == std::string("ravlog") ? std::vector<std::string>{"-u437", "-d12.3.2024"}
                                          : std::vector<std::string>{"-u437"};
        EXPECT_EQ(runProgram(program(name), fixed, dir.path()).status, 0) << name;
        for (const char* bad : {"-ukoi8-r", "-u8666", "-u+-"}) {
            const ProgramResult option = runProgram(program(name), {bad}, dir.path());
            EXPECT_EQ(option.status, 255) << name << " " << bad;
            EXPECT_NE(option.err.find(std::string("Unknown option or invalid value: ") + bad),
                      std::string::npos)
                << name << " " << bad << ": " << option.err;
        }
    }
    // ravlog has no drawing set to choose.
    EXPECT_EQ(runProgram(program("ravlog"), {"-u-"}, dir.path()).status, 255);
    // A misspelt keyword is read by its beginning, with the warning.
    ScratchDir misspelt;
    writeDemoNode(misspelt, "[COMMON]\nCharsetx 866\n");
    const ProgramResult warned = runProgram(program("brimsel"), {}, misspelt.path());
    EXPECT_NE(warned.err.find("Config warning, line "), std::string::npos) << warned.err;
    EXPECT_NE(warned.err.find("'Charsetx' read as CHARSET"), std::string::npos) << warned.err;
}

// A system without the C library's converters (no gconv modules): a run
// asked for a code page stops before it writes any report, and says why;
// UTF-8 needs none. The modules are hidden under an empty tmpfs in a mount
// namespace of the test (as root).
TEST(CodePageReports, NoConverterInTheCLibrary) {
    ScratchDir dir;
    writeDemoNode(dir, "");
    std::string modules;
    for (const char* candidate : {"/usr/lib/x86_64-linux-gnu/gconv", "/usr/lib64/gconv",
                                  "/usr/lib/gconv", "/usr/lib/aarch64-linux-gnu/gconv"})
        if (std::filesystem::exists(std::string(candidate) + "/IBM866.so")) modules = candidate;
    if (modules.empty()) GTEST_SKIP() << "the gconv modules are not where this test looks";
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", modules.c_str(), "tmpfs", MS_RDONLY, "size=4k") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here (root only)";
    std::vector<ProgramResult> paged;
    for (const char* name : {"ravlog", "pondrel", "brimsel"})
        paged.push_back(runProgram(program(name), {"-ucp866", "-c./ravlog.ctl"}, dir.path()));
    const bool reportLeft = std::filesystem::exists(dir.file("ravlog.ses"));
    const ProgramResult utf8 = runProgram(program("ravlog"), {"-d12.3.2024"}, dir.path());
    ::umount2(modules.c_str(), MNT_DETACH);
    EXPECT_EQ(utf8.status, 0) << utf8.err;
    EXPECT_FALSE(reportLeft) << "ravlog wrote a report it could not convert";
    for (const ProgramResult& r : paged) {
        EXPECT_EQ(r.status, 255) << r.err;
        EXPECT_NE(r.err.find("Can't convert reports to CP866: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("gconv"), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace rv
