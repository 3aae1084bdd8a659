// A report written whole (the JSON report): it takes its file's place only
// when closed with every byte written; abandoned, the old file stays; a
// device or a linked file is written in place; nothing is left beside it.
#include "core/report_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "run_program.h"
#include "scratch_dir.h"

namespace rv {
namespace {

using testing::ScratchDir;
using testing::slurp;

std::size_t filesIn(const ScratchDir& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++n;
    return n;
}

TEST(ReportFileWhole, TakesThePlaceOnlyWhenWrittenWhole) {
    enum class End { close, abandon, destroy };
    struct Case {
        const char* what;
        bool existing;
        End end;
        std::string expected;  // the file afterwards; "-" when there is none
    };
    const Case cases[] = {
        {"new, closed", false, End::close, "new report"},
        {"existing, closed", true, End::close, "new report"},
        {"existing, abandoned", true, End::abandon, "old report"},
        {"existing, left open at the end of a run", true, End::destroy, "old report"},
        {"new, abandoned", false, End::abandon, "-"},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        const std::string path = dir.file("day.json");
        if (c.existing) {
            ASSERT_TRUE(dir.write("day.json", std::string("old report")));
        }
        {
            ReportFile file;
            ASSERT_TRUE(file.openWhole(path)) << c.what;
            std::fputs("new report", file.get());
            std::fflush(file.get());
            // Until then the report's name shows what was there before.
            EXPECT_EQ(std::filesystem::exists(path) ? slurp(path) : "-",
                      c.existing ? "old report" : "-")
                << c.what;
            if (c.end == End::close) {
                EXPECT_TRUE(file.close()) << c.what << file.failure();
            } else if (c.end == End::abandon) {
                file.abandon();
            }
        }
        EXPECT_EQ(std::filesystem::exists(path) ? slurp(path) : "-", c.expected) << c.what;
        EXPECT_EQ(filesIn(dir), c.expected == "-" ? 0u : 1u) << c.what << ": a file left beside it";
    }
}

TEST(ReportFileWhole, DevicesAndLinkedFilesAreWrittenInPlace) {
    ScratchDir dir;
    ASSERT_TRUE(dir.write("day.json", std::string("old report")));
    ASSERT_EQ(::link(dir.file("day.json").c_str(), dir.file("other.json").c_str()), 0);
    ReportFile file;
    ASSERT_TRUE(file.openWhole(dir.file("day.json")));
    std::fputs("new", file.get());
    EXPECT_TRUE(file.close()) << file.failure();
    EXPECT_EQ(slurp(dir.file("other.json")), "new");  // the link holds
    EXPECT_EQ(filesIn(dir), 2u);

    ASSERT_TRUE(file.openWhole("/dev/null"));
    std::fputs("nothing", file.get());
    EXPECT_TRUE(file.close()) << file.failure();
    struct stat st {};
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    EXPECT_FALSE(file.openWhole(dir.file("no/such/dir.json")));
}

}  // namespace
}  // namespace rv
