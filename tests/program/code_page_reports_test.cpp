// The reports of the demonstration node (seed 2718, a week to 12 March
// 2024, the example configuration) in CP866 and CP437, as an operator
// posts them: decoded with the C library's iconv they are the UTF-8
// reports apart from the time of writing, one byte per character on every
// line; by -u or by the Charset keyword, the option winning. What is no
// text report stays UTF-8; bad names and a missing converter are refused.
#include <gtest/gtest.h>
#include <iconv.h>
#include <sched.h>
#include <sys/mount.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/dates.h"
#include "history_files.h"
#include "report_texts.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "tools/node_history.h"

namespace rv {
namespace {

using testing::runProgram;
using testing::ScratchDir;
using testing::slurp;
using Texts = std::vector<std::string>;

std::string decoded(const std::string& bytes, const char* codePage) {
    const iconv_t cd = iconv_open("UTF-8", codePage);
    std::string out(bytes.size() * 3, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t left = bytes.size(), room = out.size();
    char* to = out.data();
    const bool whole = iconv(cd, &in, &left, &to, &room) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    return whole ? out.substr(0, out.size() - room) : "<not decodable>";
}

void writeDemoNode(const ScratchDir& dir, const std::string& configTail = "") {
    histgen::NodeOptions options;
    options.days = 7;
    options.seed = 2718;
    options.endDay = daysFromCivil(2024, 3, 12);
    for (const histgen::GeneratedFile& f : histgen::generateNode(options))
        ASSERT_TRUE(dir.write(f.name, f.bytes));
    const std::string config = slurp(std::string(RV_SOURCE_DIR) + "/examples/ravlog.ctl");
    ASSERT_TRUE(dir.write("ravlog.ctl", config + configTail));
}

// ravlog's three reports of 12 March, or another program's standard output.
Texts reports(const ScratchDir& dir, const std::string& name, Texts args) {
    if (name == "ravlog") args.push_back("-d12.3.2024");
    const testing::ProgramResult run = runProgram(testing::builtProgram(name), args, dir.path());
    EXPECT_EQ(run.status, 0) << name << ": " << run.err;
    if (name != "ravlog") return {testing::maskCreationTimes(run.out)};
    return {testing::maskCreationTimes(slurp(dir.file("ravlog.ses"))),
            testing::maskCreationTimes(slurp(dir.file("ravlog.lnk"))),
            testing::maskCreationTimes(slurp(dir.file("ravlog.out")))};
}

void expectSame(const Texts& utf8, const Texts& paged, const char* codePage,
                const std::string& what) {
    ASSERT_EQ(utf8.size(), paged.size()) << what;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        EXPECT_NE(paged[i], utf8[i]) << what << ": report " << i << " not converted";
        EXPECT_EQ(decoded(paged[i], codePage), utf8[i]) << what << ": report " << i;
        std::istringstream text(utf8[i]), converted(paged[i]);
        for (std::string t, c; std::getline(text, t) && std::getline(converted, c);) {
            std::size_t characters = 0;
            for (char ch : t)
                characters += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
            EXPECT_EQ(c.size(), characters) << what << ": " << t;
        }
    }
}

TEST(CodePageReports, DemoNodeInBothCodePagesByOptionAndKeyword) {
    ScratchDir plain, keyword, cyrillic;
    writeDemoNode(plain);
    writeDemoNode(keyword, "[COMMON]\nCharset 437\n");
    for (const char* name : {"ravlog", "pondrel", "brimsel"}) {
        const Texts utf8 = reports(plain, name, {});
        expectSame(utf8, reports(plain, name, {"-uCP866"}), "CP866",
                   std::string(name) + " -uCP866");
        expectSame(utf8, reports(plain, name, {"-u437"}), "CP437", std::string(name) + " -u437");
        expectSame(utf8, reports(keyword, name, {}), "CP437", std::string(name) + " Charset 437");
        EXPECT_EQ(reports(keyword, name, {"-uUTF8"}), utf8) << name << " -uUTF8 over Charset 437";
    }
    // A line name in Cyrillic: one '?' per letter in CP437.
    writeDemoNode(cyrillic);
    const std::string config = slurp(cyrillic.file("ravlog.ctl"));
    ASSERT_TRUE(cyrillic.write("ravlog.ctl", testing::replacedAll(config, "T-Mail", "Модем")));
    Texts asked = reports(cyrillic, "ravlog", {});
    ASSERT_NE(asked[0].find("Модем"), std::string::npos);
    expectSame(asked, reports(cyrillic, "ravlog", {"-u866"}), "CP866", "ravlog -u866, Cyrillic");
    for (std::string& report : asked)
        report = testing::replacedAll(report, "Модем", "?????");
    expectSame(asked, reports(cyrillic, "ravlog", {"-u437"}), "CP437", "ravlog -u437, Cyrillic");
}

// A label and a line name holding a character that the C library's
// converter passes over without a word (a tag character, U+E0001) and
// broken UTF-8 (an overlong '/'): each becomes one '?' and keeps its
// column, in both code pages the reports the data files hold.
TEST(CodePageReports, CharactersConvertedToNothingKeepTheirColumns) {
    ScratchDir dir;
    testing::writeHistory(dir, "a.his", HistoryType::plain28,
                          "2:5020/1 2024-03-12T10:00:00 dur=600 rcvd=1000 sent=2000 flags=5\n"
                          "2:5020/2 2024-03-12T11:00:00 dur=60 flags=6\n");
    const std::string hidden = "\xF3\xA0\x80\x81", broken = "\xC0\xAF";
    ASSERT_TRUE(dir.write("ravlog.ctl", "[COMMON]\nMiddLine Yes\nAddr 2:5020/1 \"Ta" + hidden +
                                            "g" + broken +
                                            "x\"\nAddr 2:5020/2 \"Plain\"\n"
                                            "[LINE]\nHistory a.his\nName \"N" +
                                            hidden + "me" + broken + "\"\n"));
    const std::string data = std::string(RV_SOURCE_DIR) + "/tests/data/code_pages/hidden_label.";
    for (const char* codePage : {"CP866", "CP437"}) {
        const Texts paged = reports(dir, "ravlog", {std::string("-u") + codePage});
        EXPECT_EQ(decoded(paged[0], codePage), slurp(data + "ses")) << codePage;
        EXPECT_EQ(decoded(paged[2], codePage), slurp(data + "out")) << codePage;
    }
}

// Runs that a code page must not touch, and names that are refused (the
// keyword's line holds a bad name that -u leaves unread).
TEST(CodePageReports, WhatStaysAndWhatIsRefused) {
    ScratchDir dir;
    writeDemoNode(dir, "[COMMON]\nCharset KOI8-R ; no DOS code page\n");
    const std::string config = slurp(dir.file("ravlog.ctl"));
    const std::string badName = "Config error, line " +
                                std::to_string(std::count(config.begin(), config.end(), '\n')) +
                                ": unknown Charset 'KOI8-R' (use UTF-8, CP866 or CP437)\n";
    const struct {
        const char* program;
        Texts args;
        std::string error;  // empty: the same as with -uutf-8
    } runs[] = {
        {"pondrel", {"-u-"}, ""},
        {"pondrel", {"-fjson"}, ""},
        {"pondrel", {"-fcsv"}, ""},
        {"brimsel", {"-u-"}, ""},
        {"brimsel", {"-fjson"}, ""},
        {"brimsel", {"-fcsv"}, ""},
        {"ravlog", {}, badName},
        {"brimsel", {}, badName},
        {"pondrel", {"-uIBM437"}, "Unknown option or invalid value: -uIBM437\n"},
        {"brimsel", {"-u+-"}, "Unknown option or invalid value: -u+-\n"},
        {"ravlog", {"-u-"}, "Unknown option or invalid value: -u-\n"},
    };
    for (const auto& r : runs) {
        Texts paged = r.args, utf8 = r.args;
        paged.push_back("-ucp866");
        utf8.push_back("-uutf-8");
        const auto run = runProgram(testing::builtProgram(r.program),
                                    r.error.empty() ? paged : r.args, dir.path());
        if (r.error.empty()) {
            const auto plain = runProgram(testing::builtProgram(r.program), utf8, dir.path());
            EXPECT_EQ(testing::maskCreationTimes(run.out), testing::maskCreationTimes(plain.out))
                << r.program << " " << r.args[0];
            EXPECT_EQ(run.status, 0) << run.err;
        } else {
            EXPECT_EQ(run.status, 255) << r.program;
            EXPECT_NE(run.err.find(r.error), std::string::npos) << r.program << ": " << run.err;
        }
    }
}

// Without the C library's converters (the gconv modules hidden under an
// empty tmpfs in a mount namespace, as root) a code page stops the run
// before any report; UTF-8 needs none.
TEST(CodePageReports, NoConverterInTheCLibrary) {
    ScratchDir dir;
    writeDemoNode(dir);
    const std::string modules = "/usr/lib/x86_64-linux-gnu/gconv";
    if (!std::filesystem::exists(modules + "/IBM866.so") || ::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", modules.c_str(), "tmpfs", MS_RDONLY, "size=4k") != 0)
        GTEST_SKIP() << "the gconv modules cannot be hidden here";
    std::vector<testing::ProgramResult> paged;
    for (const char* name : {"ravlog", "pondrel", "brimsel"})
        paged.push_back(runProgram(testing::builtProgram(name), {"-ucp866"}, dir.path()));
    const bool reportLeft = std::filesystem::exists(dir.file("ravlog.ses"));
    const auto utf8 = runProgram(testing::builtProgram("ravlog"), {"-d12.3.2024"}, dir.path());
    ::umount2(modules.c_str(), MNT_DETACH);
    EXPECT_EQ(utf8.status, 0) << utf8.err;
    EXPECT_FALSE(reportLeft);
    for (const testing::ProgramResult& r : paged) {
        EXPECT_EQ(r.status, 255);
        EXPECT_NE(r.err.find("Can't convert reports to CP866: "), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace rv
