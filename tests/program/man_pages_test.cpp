// The manual pages against the programs: every option letter that a
// program accepts and every form its usage text shows appear in its page,
// every keyword of the configuration grammar in ravlog.ctl(5), the default
// file names under FILES, and the version the programs announce in the
// page headers; and each page formats without a warning.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "brimsel/brimsel_run.h"
#include "core/config_grammar.h"
#include "core/config_model.h"
#include "core/program_text.h"
#include "pondrel/options.h"
#include "ravlog/options.h"
#include "report_texts.h"
#include "run_program.h"
#include "scratch_dir.h"

namespace {

using rv::testing::runProgram;
using rv::testing::ScratchDir;

const std::string sourceDir = RV_SOURCE_DIR;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string manPage(const std::string& name) {
    return readFile(sourceDir + "/man/" + name);
}

// The text of a macro line as printed: its arguments without their
// quotes, run together by the macros that alternate fonts (.BR, .IR, ...)
// and joined by blanks by .B and .I. Other requests and comments print
// nothing of their own.
std::string macroText(const std::string& line) {
    std::size_t i = 1;
    std::string name;
    while (i < line.size() && line[i] != ' ')
        name += line[i++];
    std::string separator;
    if (name == "BR" || name == "RB" || name == "BI" || name == "IB" || name == "IR" ||
        name == "RI")
        separator = "";
    else if (name == "B" || name == "I")
        separator = " ";
    else
        return "";
    std::string text;
    bool first = true;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        if (i >= line.size()) break;
        std::string arg;
        if (line[i] == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i)
                arg += line[i];
            ++i;
        } else {
            for (; i < line.size() && line[i] != ' '; ++i)
                arg += line[i];
        }
        text += (first ? "" : separator) + arg;
        first = false;
    }
    return text;
}

// The words of a page as a reader sees them: comments dropped, font
// changes and the escapes the pages use turned into their characters.
std::string plainText(const std::string& roff) {
    std::string text;
    std::istringstream lines(roff);
    for (std::string line; std::getline(lines, line);)
        text += (line.empty() || line[0] != '.' ? line : macroText(line)) + "\n";
    for (const char* font : {"\\fB", "\\fI", "\\fR", "\\fP"})
        rv::testing::replaceAll(text, font, "");
    rv::testing::replaceAll(text, "\\-", "-");
    rv::testing::replaceAll(text, "\\(lq", "\"");
    rv::testing::replaceAll(text, "\\(rq", "\"");
    rv::testing::replaceAll(text, "\\(dq", "\"");
    rv::testing::replaceAll(text, "\\(em", "--");
    rv::testing::replaceAll(text, "\\&", "");
    rv::testing::replaceAll(text, "\\c", "");
    rv::testing::replaceAll(text, "\\e", "\\");
    return text;
}

// The text of the section that starts with ".SH title", up to the next.
std::string section(const std::string& roff, const std::string& title) {
    const std::string head = ".SH " + title + "\n";
    const std::size_t start = roff.find(head);
    if (start == std::string::npos) return {};
    const std::size_t end = roff.find("\n.SH ", start + head.size());
    return roff.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// True when word stands in text on its own: not inside a longer word.
bool hasWord(const std::string& text, const std::string& word) {
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        const bool before = at == 0 || !isWordChar(text[at - 1]) || !isWordChar(word.front());
        const std::size_t after = at + word.size();
        const bool behind =
            after == text.size() || !isWordChar(text[after]) || !isWordChar(word.back());
        if (before && behind) return true;
    }
    return false;
}

// The option forms a usage text shows: every "-x..." word, and --help. A
// word cut before a placeholder or a choice ("-c<ctl_file>", "-m{+|-|g}")
// is a prefix: the page may show it with any value behind.
struct UsageForm {
    std::string text;
    bool prefix;
};

std::vector<UsageForm> usageForms(const std::string& usage) {
    std::vector<UsageForm> forms;
    const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    for (std::size_t at = 0; at < usage.size(); ++at) {
        if (at > 0 && !isSpace(usage[at - 1]) && usage[at - 1] != ',') continue;
        std::size_t end = at + (usage.compare(at, 2, "--") == 0 ? 2 : 1);
        if (usage[at] != '-' || end >= usage.size() ||
            !(std::islower(static_cast<unsigned char>(usage[end])) || usage[end] == '?'))
            continue;
        while (end < usage.size() && !isSpace(usage[end]) &&
               std::string_view("<[{,").find(usage[end]) == std::string_view::npos)
            ++end;
        const bool prefix = end < usage.size() &&
                            std::string_view("<[{").find(usage[end]) != std::string_view::npos;
        forms.push_back({usage.substr(at, end - at), prefix});
        at = end - 1;
    }
    return forms;
}

// True when form starts a word of text (an option written with a value).
bool hasPrefix(const std::string& text, const std::string& form) {
    for (std::size_t at = text.find(form); at != std::string::npos; at = text.find(form, at + 1))
        if (at == 0 || (!isWordChar(text[at - 1]) && text[at - 1] != '-')) return true;
    return false;
}

// The option letters a program takes: each lower-case letter is tried
// with the value forms that switches and choices need; a letter counts
// when one of them is not refused as an unknown option. This finds the
// options that the usage text does not list as well.
std::set<char> acceptedLetters(const std::string& program) {
    ScratchDir dir;  // no ravlog.ctl here, so nothing gets further than the configuration
    std::set<char> letters;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        for (const char* value : {"", "+", "g", "s", "json", "866"}) {
            const std::string arg = std::string("-") + letter + value;
            const auto result = runProgram(rv::testing::builtProgram(program), {arg}, dir.path());
            if (result.status >= 0 &&
                result.err.find("Unknown option or invalid value") == std::string::npos) {
                letters.insert(letter);
                break;
            }
        }
    }
    return letters;
}

struct ProgramPage {
    std::string program;
    std::string page;
    const char* usage;
};

const std::vector<ProgramPage> programPages{
    {"ravlog", "ravlog.1", rv::ravlog::usageText},
    {"pondrel", "pondrel.1", rv::pondrel::usageText},
    {"brimsel", "brimsel.1", rv::brimsel::usageText},
};

TEST(ManPages, NameEveryFormOfTheUsageTexts) {
    for (const ProgramPage& p : programPages) {
        const std::string text = plainText(manPage(p.page));
        ASSERT_FALSE(text.empty()) << p.page;
        const std::vector<UsageForm> forms = usageForms(p.usage);
        EXPECT_GE(forms.size(), 5u) << p.program << ": the usage text yields too few forms";
        for (const UsageForm& form : forms)
            EXPECT_TRUE(form.prefix ? hasPrefix(text, form.text) : hasWord(text, form.text))
                << p.page << " does not show " << form.text;
    }
}

// The entries of a list: for every ".TP", its tag line (plain text, the
// macro name dropped) and the text up to the next ".TP".
struct Entry {
    std::string tag;
    std::string body;
};

std::vector<Entry> entries(const std::string& roff) {
    std::vector<Entry> list;
    std::size_t at = roff.find(".TP\n");
    while (at != std::string::npos) {
        const std::size_t tagStart = at + 4;
        const std::size_t tagEnd = roff.find('\n', tagStart);
        const std::size_t next = roff.find("\n.TP\n", tagEnd);
        std::string tag = plainText(roff.substr(tagStart, tagEnd - tagStart));
        list.push_back(
            {tag, roff.substr(tagEnd, next == std::string::npos ? next : next - tagEnd)});
        at = next == std::string::npos ? next : next + 1;
    }
    return list;
}

// The option letters that the tags of an OPTIONS list name ("-c", "-g+").
std::set<char> taggedLetters(const std::string& options) {
    std::set<char> letters;
    for (const Entry& e : entries(options)) {
        const std::string& tag = e.tag;
        for (std::size_t at = 0; at + 1 < tag.size(); ++at) {
            const bool starts = at == 0 || std::isspace(static_cast<unsigned char>(tag[at - 1])) ||
                                tag[at - 1] == '"';
            if (starts && tag[at] == '-' && std::islower(static_cast<unsigned char>(tag[at + 1])))
                letters.insert(tag[at + 1]);
        }
    }
    return letters;
}

TEST(ManPages, DescribeExactlyTheOptionLettersTheProgramsTake) {
    for (const ProgramPage& p : programPages) {
        const std::string options = section(manPage(p.page), "OPTIONS");
        ASSERT_FALSE(options.empty()) << p.page << " has no OPTIONS section";
        const std::set<char> accepted = acceptedLetters(p.program);
        // -c and -h are common to all three: a probe that finds neither is broken.
        EXPECT_TRUE(accepted.count('c') && accepted.count('h')) << p.program;
        const std::set<char> described = taggedLetters(options);
        for (char letter : accepted)
            EXPECT_TRUE(described.count(letter)) << p.page << " has no entry for the option -"
                                                 << letter << " that " << p.program << " takes";
        for (char letter : described)
            EXPECT_TRUE(accepted.count(letter)) << p.page << " describes an option -" << letter
                                                << " that " << p.program << " refuses";
    }
}

TEST(ManPages, ConfigurationPageHasAnEntryForEveryKeywordWithItsRules) {
    const std::string roff = manPage("ravlog.ctl.5");
    const std::size_t start = roff.find(".SS Keywords\n");
    ASSERT_NE(start, std::string::npos) << "ravlog.ctl.5 has no Keywords list";
    const std::string list = roff.substr(start, roff.find("\n.SS ", start + 1) - start);
    std::map<std::string, std::string> described;  // keyword -> its entry
    for (const Entry& e : entries(list)) {
        std::istringstream words(e.tag);
        std::string keyword;
        words >> keyword;
        described[keyword] = plainText(e.body);
    }
    EXPECT_EQ(described.size(), rv::keywordTable.size());
    for (const rv::KeywordDef& def : rv::keywordTable) {
        const std::string keyword(def.text);
        const auto it = described.find(keyword);
        if (it == described.end()) {
            ADD_FAILURE() << "ravlog.ctl.5 has no entry for " << keyword;
            continue;
        }
        const std::string& body = it->second;
        const char* wheres[] = {"Anywhere", "Section [COMMON]", "Section [LINE]",
                                "Sections [COMMON] and [LINE]"};
        const char* where = wheres[static_cast<int>(def.allowedIn)];
        EXPECT_NE(body.find(where), std::string::npos) << keyword << " should say: " << where;
        const char* value = def.valueRequired                          ? "value required"
                            : def.allowedIn == rv::AllowedIn::anywhere ? "no value"
                                                                       : "value optional";
        EXPECT_NE(body.find(value), std::string::npos) << keyword << " should say: " << value;
    }
}

TEST(ManPages, ProgramPagesStateExitStatusAndFiles) {
    const rv::Settings defaults;
    for (const ProgramPage& p : programPages) {
        const std::string roff = manPage(p.page);
        const std::string status = plainText(section(roff, "EXIT STATUS"));
        EXPECT_TRUE(hasWord(status, "0")) << p.page;
        EXPECT_TRUE(hasWord(status, std::to_string(rv::exitFailure))) << p.page;
        const std::string files = plainText(section(roff, "FILES"));
        EXPECT_TRUE(hasWord(files, defaults.configPath)) << p.page;
        const std::string synopsis = plainText(section(roff, "SYNOPSIS"));
        EXPECT_TRUE(hasWord(synopsis, p.program)) << p.page;
    }
    // ravlog writes the three reports under their default names.
    const std::string files = plainText(section(manPage("ravlog.1"), "FILES"));
    for (const std::string& name : {defaults.outputPath, defaults.linksPath, defaults.sessionsPath})
        EXPECT_TRUE(hasWord(files, name)) << "ravlog.1 FILES lacks " << name;
}

TEST(ManPages, HeadersCarryTheProgramVersion) {
    const std::string version(rv::versionText);
    for (const char* page : {"ravlog.1", "pondrel.1", "brimsel.1", "ravlog.ctl.5"}) {
        const std::string roff = manPage(page);
        const std::size_t th = roff.find("\n.TH ");
        ASSERT_NE(th, std::string::npos) << page;
        const std::string header = roff.substr(th + 1, roff.find('\n', th + 1) - th - 1);
        EXPECT_NE(header.find(" " + version + "\""), std::string::npos)
            << page << ": " << header << " does not name version " << version;
    }
}

// Runs a shell command and gives its output (standard error included)
// and exit status.
std::pair<std::string, int> shell(const std::string& command) {
    std::string output;
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {"cannot run: " + command, -1};
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        output.append(chunk, got);
    const int status = ::pclose(pipe);
    return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(ManPages, FormatWithoutWarnings) {
    std::string formatter;
    if (shell("command -v groff").second == 0)
        formatter = "groff -ww -z -man";
    else if (shell("command -v mandoc").second == 0)
        formatter = "mandoc -T lint -W warning";
    else
        GTEST_SKIP() << "neither groff (Debian package groff-base) nor mandoc is installed: "
                        "the manual pages are not checked for formatting warnings";
    for (const char* page : {"ravlog.1", "pondrel.1", "brimsel.1", "ravlog.ctl.5"}) {
        const auto [output, status] = shell(formatter + " '" + sourceDir + "/man/" + page + "'");
        EXPECT_EQ(status, 0) << page;
        EXPECT_EQ(output, "") << formatter << " " << page;
    }
}

}  // namespace
