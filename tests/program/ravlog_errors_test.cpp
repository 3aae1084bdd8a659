// Every way a ravlog run ends early, as its users see it: standard output,
// standard error, the exit status, and which report files exist afterwards;
// and the warnings of a run that goes on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ravlog_runs.h"
#include "report_texts.h"

namespace rv {
namespace {

using namespace testing;

const std::string simpleConfig = "[COMMON]\nADDR 2:*\n[LINE]\nHISTORY a.his\n";

// A directory with a one-session history and the given configuration.
void prepare(const ScratchDir& dir, const std::string& config) {
    writeHistory(dir, "a.his", HistoryType::plain28,
                 "2:5020/1 2024-03-05T10:00:00 dur=10 rcvd=100 flags=0x05\n");
    ASSERT_TRUE(dir.write("ravlog.ctl", config));
}

void expectNoReports(const ScratchDir& dir, const std::string& context) {
    EXPECT_FALSE(exists(dir, "ravlog.ses")) << context;
    EXPECT_FALSE(exists(dir, "ravlog.lnk")) << context;
    EXPECT_FALSE(exists(dir, "ravlog.out")) << context;
}

TEST(RavlogErrorsEnds, UsageOnStandardOutputWithStatusZero) {
    ScratchDir dir;
    prepare(dir, simpleConfig);
    for (const char* arg : {"-?", "/?", "--help", "--Help", "-h", "-h,2,1"}) {
        const ProgramResult r = ravlog(dir, {"-d5.3.2024", arg});
        EXPECT_EQ(r.status, 0) << arg;
        EXPECT_EQ(r.out, ravlogBanner + testing::usageText("ravlog")) << arg;
        EXPECT_EQ(r.err, "") << arg;
        expectNoReports(dir, arg);
    }
}

TEST(RavlogErrorsEnds, OptionErrors) {
    ScratchDir dir;
    prepare(dir, simpleConfig);
    const std::string unknownTail = "\nUse -? or --help to help\n";
    const std::string longPath(300, 'p');
    struct Case {
        std::string arg;
        std::string err;
    };
    const std::vector<Case> cases = {
        {"x", "Unknown option or invalid value: x" + unknownTail},
        {"-x", "Unknown option or invalid value: -x" + unknownTail},
        {"-G", "Unknown option or invalid value: -G" + unknownTail},
        {"-g0", "Unknown option or invalid value: -g0" + unknownTail},
        {"-m", "Unknown option or invalid value: -m" + unknownTail},
        {"-mx", "Unknown option or invalid value: -mx" + unknownTail},
        {"-sq", "Unknown option or invalid value: -sq" + unknownTail},
        {"--helper", "Unknown option or invalid value: --helper" + unknownTail},
        {"-t8-25", "Invalid time 8-25\n"},
        {"-t10:61-12", "Invalid time 10:61-12\n"},
        {"-d15.3.24", "Invalid Date (year): 15.3.24\n"},
        {"-d1.13.2024", "Invalid Date (month): 1.13.2024\n"},
        {"-d3-11-2025", "Invalid date: 3-11-2025\n"},
        {"-dyesterday", "Invalid date: yesterday\n"},
        {"-d1.3.2024x", "Invalid Date (year): 1.3.2024x\n"},
        {"-c" + longPath, "Config file name too long (at most 259 characters): " + longPath + "\n"},
    };
    for (const Case& c : cases) {
        const ProgramResult r = ravlog(dir, {"-d5.3.2024", c.arg});
        EXPECT_EQ(r.status, 255) << c.arg;
        EXPECT_EQ(r.out, ravlogBanner) << c.arg;
        EXPECT_EQ(r.err, c.err) << c.arg;
        expectNoReports(dir, c.arg);
    }
}

TEST(RavlogErrorsEnds, ConfigurationFileMissing) {
    ScratchDir dir;
    writeHistory(dir, "a.his", HistoryType::plain28, "");
    ProgramResult r = ravlog(dir, {"-d5.3.2024"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, ravlogBanner);
    EXPECT_EQ(r.err, "Can\'t open ravlog.ctl: No such file or directory\n");
    r = ravlog(dir, {"-cconf/other.ctl", "-ha.his"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "Can\'t open conf/other.ctl: No such file or directory\n");
    expectNoReports(dir, "missing configuration");
}

TEST(RavlogErrorsEnds, ConfigurationErrors) {
    struct Case {
        const char* config;
        const char* err;
    };
    const Case cases[] = {
        {"OUTPUT x\n", "Config error, line 1: no section defined\n"},
        {"; comment\n\n[COMMON]\nFOO bar\n",
         "Config error, line 4: invalid parameter or its value\n"},
        {"[COMMON]\nKEEPALL\n", "Config error, line 2: invalid parameter or its value\n"},
        {"[COMMON]\nHISTORY a.his\n",
         "Config error, line 2: parameter not allowed in [COMMON] section\n"},
        {"[LINE]\nHISTORY a.his\nOUTPUT x\n",
         "Config error, line 3: parameter not allowed in [LINE] section\n"},
        {"[LINE]\nHISTORY a.his\nHISTORY b.his\n",
         "Config error, line 3: parameter 'History' already defined in current [LINE] section\n"},
        {"[LINE]\n[COMMON]\n",
         "Config error, line 2: no history file defined in previous [LINE] section\n"},
        {"[LINE]\nHISTORY a.his,0,0\n",
         "Config error, line 2: invalid parameters value for BinkD line\n"},
        // A History value without a file name: a line that could never be read.
        {"[LINE]\nHISTORY ,1\n", "Config error, line 2: invalid parameter or its value\n"},
        {"[COMMON]\nADDR 2\n", "No history file defined.\n"},
        {"[LINE]\nHISTORY a.his\n[LINE]\nNAME \"x\"\n",
         "No history file defined in last [LINE] section\n"},
        {"[COMMON]\nTIME 8-25 ; too late\n[LINE]\nHISTORY a.his\n",
         "Invalid time 8-25 ; too late\n"},
        {"[COMMON]\nDATE 1.13\n[LINE]\nHISTORY a.his\n", "Invalid Date (month): 1.13\n"},
        {"[COMMON]\nDATE yesterday ; a word\n[LINE]\nHISTORY a.his\n", "Invalid date: yesterday\n"},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        prepare(dir, c.config);
        // No -d: it would fix the date and so skip the DATE line.
        const ProgramResult r = ravlog(dir, {});
        EXPECT_EQ(r.status, 255) << c.config;
        EXPECT_EQ(r.out, ravlogBanner) << c.config;
        EXPECT_EQ(r.err, c.err) << c.config;
        expectNoReports(dir, c.config);
    }
}

TEST(RavlogErrorsEnds, ReportFileThatCannotBeOpened) {
    ScratchDir dir;
    prepare(dir, simpleConfig);
    ProgramResult r = ravlog(dir, {"-d5.3.2024", "-enodir/x.ses"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "Can\'t open nodir/x.ses: No such file or directory\n");
    expectNoReports(dir, "-e");
    // Every output is opened before the sessions file is written.
    r = ravlog(dir, {"-d5.3.2024", "-lnodir/x.lnk"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "Can\'t open nodir/x.lnk: No such file or directory\n");
    expectNoReports(dir, "-l");
}

}  // namespace
}  // namespace rv
