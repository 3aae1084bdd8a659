// -q in the three programs: a run with it writes, on both streams,
// exactly what the same run writes without it less the banner, whichever
// stream the banner goes to, and ends with the same status; so a cron job
// that goes well prints nothing, and one that does not still says why.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ravlog_runs.h"

namespace rv {
namespace {

using namespace testing;

const std::string config =
    "[COMMON]\nADDR 2:*\nSessionStat s.txt\nPondrel l.txt\nOutput o.txt\n"
    "[LINE]\nHISTORY a.his\n[LINE]\nHISTORY missing.his\n";

// The banner is the first four lines, the program's name and version
// first, an empty line last.
bool isBanner(const std::string& text, const std::string& name) {
    std::size_t lines = 0;
    for (char c : text)
        lines += c == '\n';
    return lines == 4 && text.rfind(name + " " RV_VERSION "/Linux - ", 0) == 0 &&
           text.size() >= 2 && text.compare(text.size() - 2, 2, "\n\n") == 0;
}

TEST(BannerOption, LeavesOutTheBannerAndNothingElse) {
    ScratchDir dir;
    writeHistory(dir, "a.his", HistoryType::plain28,
                 "2:5020/1 2024-03-05T10:00:00 dur=10 rcvd=100 flags=0x05\n");
    ASSERT_TRUE(dir.write("ravlog.ctl", config));
    struct Case {
        std::string program;
        std::string name;  // as the banner has it
        std::vector<std::string> args;
        bool bannerOnError;  // where the banner goes
        int status;
    };
    const std::vector<Case> cases = {
        {"ravlog", "Ravlog", {"-d5.3.2024"}, false, 0},
        {"ravlog", "Ravlog", {"-d5.3.2024", "-x"}, false, 255},
        {"ravlog", "Ravlog", {"-?"}, false, 0},
        {"pondrel", "Pondrel", {"-b1.3.2024", "-e31.3.2024"}, true, 0},
        {"pondrel", "Pondrel", {"-b1.3.2024", "-e31.3.2024", "-fcsv"}, true, 0},
        {"pondrel", "Pondrel", {"-b1.3.2024", "-e1.2.2024"}, true, 255},
        {"brimsel", "Brimsel", {}, false, 0},
        {"brimsel", "Brimsel", {"-fjson"}, true, 0},
        {"brimsel", "Brimsel", {"/x"}, false, 255},
    };
    for (const Case& c : cases) {
        std::vector<std::string> quiet = c.args;
        quiet.insert(quiet.begin() + static_cast<std::ptrdiff_t>(quiet.size() / 2), "-q");
        const std::string trace = c.program + " " + ::testing::PrintToString(quiet);
        const ProgramResult full =
            runProgram(builtProgram(c.program), c.args, dir.path(), ChildSetup{});
        const ProgramResult left =
            runProgram(builtProgram(c.program), quiet, dir.path(), ChildSetup{});
        EXPECT_EQ(full.status, c.status) << trace;
        EXPECT_EQ(left.status, full.status) << trace;
        const std::string& withBanner = c.bannerOnError ? full.err : full.out;
        const std::string& without = c.bannerOnError ? left.err : left.out;
        ASSERT_GE(withBanner.size(), without.size()) << trace;
        const std::size_t bannerSize = withBanner.size() - without.size();
        EXPECT_TRUE(isBanner(withBanner.substr(0, bannerSize), c.name)) << trace << withBanner;
        EXPECT_EQ(withBanner.substr(bannerSize), without) << trace;
        EXPECT_EQ(c.bannerOnError ? left.out : left.err, c.bannerOnError ? full.out : full.err)
            << trace;
    }
    // -q takes no value.
    const ProgramResult r = runProgram(builtProgram("pondrel"), {"-qx"}, dir.path(), ChildSetup{});
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find("Unknown option or invalid value: -qx"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace rv
