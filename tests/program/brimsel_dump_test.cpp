// brimsel as its users meet it: the built program run in a scratch
// directory, its messages and exit status for every way a run can end.
// Its whole dumps are expected outputs (tests/expected/brimsel_*).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "report_texts.h"
#include "run_program.h"
#include "same_text.h"
#include "scratch_dir.h"

namespace rv {
namespace {

using testing::sameText;

using testing::ProgramResult;
using testing::ScratchDir;

const std::string brimselPath = testing::builtProgram("brimsel");

const std::string& banner = testing::brimselBanner;
const std::string usage = testing::usageText("brimsel");

ProgramResult brimsel(const ScratchDir& dir, const std::vector<std::string>& args) {
    return testing::runProgram(brimselPath, args, dir.path());
}

TEST(BrimselDumpOptions, UsageEndsWithStatusZero) {
    ScratchDir dir;  // no configuration: usage comes before it is read
    for (std::string arg : {"-?", "-?whatever", "/?", "--help", "--HeLp", "-h", "-h,1,2"}) {
        ProgramResult r = brimsel(dir, {"-u-", arg, "-bogus"});
        EXPECT_EQ(r.status, 0) << arg;
        EXPECT_TRUE(sameText(r.out, banner + usage)) << arg;
        EXPECT_EQ(r.err, "") << arg;
    }
}

TEST(BrimselDumpOptions, UnknownOptionsEndWithStatus255) {
    ScratchDir dir;
    ASSERT_TRUE(dir.write("ravlog.ctl", "[LINE]\nHistory a.his\n"));
    for (std::string arg :
         {"-ux", "-u+-", "--helpx", "--hel", "--", "word", "-", "/", "-x", "-U-", "+u"}) {
        ProgramResult r = brimsel(dir, {arg, "-?"});
        EXPECT_EQ(r.status, 255) << arg;
        EXPECT_TRUE(sameText(r.out, banner)) << arg;
        EXPECT_EQ(r.err, "Unknown option or invalid value: " + arg + "\nUse -? or --help to help\n")
            << arg;
    }
}

TEST(BrimselDumpConfig, MissingConfigurationFile) {
    ScratchDir dir;
    ProgramResult r = brimsel(dir, {"-ha.his"});
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(sameText(r.out, banner));
    EXPECT_EQ(r.err, "Can't open ravlog.ctl: No such file or directory\n");
    ProgramResult other = brimsel(dir, {"-cother.ctl"});
    EXPECT_EQ(other.status, 255);
    EXPECT_EQ(other.err, "Can't open other.ctl: No such file or directory\n");
    // A directory is no configuration file either.
    ASSERT_EQ(::mkdir(dir.file("conf.d").c_str(), 0755), 0);
    ProgramResult directory = brimsel(dir, {"-cconf.d"});
    EXPECT_EQ(directory.status, 255);
    EXPECT_EQ(directory.err, "Can't open conf.d: Is a directory\n");
}

TEST(BrimselDumpConfig, ConfigurationErrors) {
    struct Case {
        std::string text;
        std::string err;
    };
    const std::string dos2unix =
        "invalid keyword or parameter, or config file not in unix-like format (use dos2unix to "
        "convert it)";
    const Case cases[] = {
        {"[LINE]\nHistory a.his\nHistory b.his\n",
         "Config error, line 3: parameter 'History' already defined in current [LINE] section\n"},
        {"[LINE]\n\n[LINE]\nHistory a.his\n",
         "Config error, line 3: no history file defined in previous [LINE] section\n"},
        {"[LINE]\nName x\n[COMMON]\n",
         "Config error, line 3: no history file defined in previous [LINE] section\n"},
        {"[LINE]\nHistory a.his,0,0\n",
         "Config error, line 2: invalid parameters value for BinkD line\n"},
        {"[LINE]\nHistory a.his,0\n",
         "Config error, line 2: invalid parameters value for BinkD line\n"},
        {"[COMMON]\nOutput x\n[LINE]\nHistory a.his\nOutput y\n",
         "Config error, line 5: keyword not allowed in [LINE] section\n"},
        {"[COMMON]\r\nTimeShift 1\r\n\r\n[LINE]\r\nHistory a.his\r\n",
         "Config error, line 3: " + dos2unix + "\n"},
        {"History a.his\n", "Config error, line 1: no section defined\n"},
        {"[LINE]\nHistory\n", "Config error, line 2: " + dos2unix + "\n"},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        ASSERT_TRUE(dir.write("ravlog.ctl", c.text));
        ProgramResult r = brimsel(dir, {"-ha.his"});
        EXPECT_EQ(r.status, 255) << c.text;
        EXPECT_TRUE(sameText(r.out, banner)) << c.text;
        EXPECT_EQ(r.err, c.err) << c.text;
    }
}

TEST(BrimselDumpConfig, NoHistoryDefined) {
    ScratchDir dir;
    ASSERT_TRUE(dir.write("none.ctl", "[COMMON]\nTimeShift 1\n"));
    ProgramResult none = brimsel(dir, {"-cnone.ctl"});
    EXPECT_EQ(none.status, 255);
    EXPECT_TRUE(sameText(none.out, banner));
    EXPECT_EQ(none.err, "No history file defined.\n");
    // A History value without a file name is refused where it stands.
    ASSERT_TRUE(dir.write("empty.ctl", "[LINE]\nHistory ,1\n"));
    EXPECT_EQ(brimsel(dir, {"-cempty.ctl"}).err,
              "Config error, line 2: invalid keyword or parameter, or config file not in unix-like "
              "format (use dos2unix to convert it)\n");
    ASSERT_TRUE(dir.write("last.ctl", "[LINE]\nHistory a.his\n[LINE]\n"));
    ProgramResult last = brimsel(dir, {"-clast.ctl"});
    EXPECT_EQ(last.status, 255);
    EXPECT_EQ(last.err, "No history file defined in last [LINE] section\n");
    // An -h source counts, but the last [LINE] still needs its own.
    ASSERT_TRUE(dir.write("only.ctl", "[LINE]\n"));
    EXPECT_EQ(brimsel(dir, {"-conly.ctl", "-ha.his"}).err,
              "No history file defined in last [LINE] section\n");
}

}  // namespace
}  // namespace rv
