// The day archive through whole runs: a generated node cut day after day
// with an archive reports as its uncut copy, and an archive that cannot
// be written stops every cut and is left as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "archive/day_archive.h"
#include "core/byte_source.h"
#include "pondrel/pondrel_run.h"
#include "ravlog/ravlog_run.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "tools/node_history.h"

namespace rv {
namespace {

using testing::ScratchDir;
using testing::slurp;

constexpr std::int64_t day = 86400;
const std::int64_t endDay = dayOfDate(2024, 6, 30);

std::string config(const std::string& dir, const std::string& extra) {
    std::string text = "[COMMON]\n" + extra + "Output " + dir + "/r.out\nPondrel " + dir +
                       "/r.lnk\nSessionStat " + dir +
                       "/r.ses\nGroup Yes\nBrakeSesStat AB\nAddr !2:5020/9999\n"
                       "Addr 2:5020/# \"Moscow\"\nAddr 2:*\nAddr ANSWER\n";
    for (const char* history : {"binkd.his,2,1", "plain28.his", "long100.his", "brake.his",
                                "pair116.ohs", "status64.his", "wide316.his", "dated104.ohs"})
        text += "[LINE]\nHistory " + dir + "/" + history + "\n";
    return text;
}

void writeNode(const ScratchDir& dir, const std::string& sub, const std::string& extra) {
    std::filesystem::create_directory(dir.file(sub));
    histgen::NodeOptions options;
    options.days = 90;
    options.seed = 24;
    options.endDay = endDay;
    for (const histgen::GeneratedFile& f : histgen::generateNode(options))
        ASSERT_TRUE(dir.write(sub + "/" + f.name, f.bytes));
    ASSERT_TRUE(dir.write(sub + "/ravlog.ctl", config(dir.file(sub), extra)));
}

int ravlogOn(const std::string& ctl, std::int64_t runDay, std::string* errors = nullptr) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    int status = 0;
    {
        RavlogRun run(static_cast<std::time_t>(runDay * day + 43200), out, err);
        FileOpener opener;
        if (Stop stop = runRavlog(run, {"-c" + ctl}, opener)) status = stop->status;
    }
    if (errors != nullptr) {
        std::rewind(err);
        std::ostringstream text;
        for (int c; (c = std::fgetc(err)) != EOF;)
            text << static_cast<char>(c);
        *errors = text.str();
    }
    std::fclose(out);
    std::fclose(err);
    return status;
}

// pondrel's report without the line that tells when it was made.
std::string pondrelOn(const std::string& ctl, const std::vector<std::string>& period,
                      const char* format) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    {
        pondrel::Run run(static_cast<std::time_t>((endDay + 10) * day), err);
        FileOpener opener;
        std::vector<std::string> args{"-c" + ctl, std::string("-f") + format};
        args.insert(args.end(), period.begin(), period.end());
        const std::vector<std::string_view> views(args.begin(), args.end());
        if (Stop stop = pondrel::runPondrel(run, views, opener, out))
            if (stop->status != 0) return "status " + std::to_string(stop->status);
    }
    std::rewind(out);
    std::string text;
    std::string line;
    for (int c; (c = std::fgetc(out)) != EOF;) {
        line += static_cast<char>(c);
        if (c != '\n') continue;
        if (line.find("reat") == std::string::npos) text += line;
        line.clear();
    }
    std::fclose(out);
    std::fclose(err);
    return text;
}

class DayArchiveRuns : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

TEST_F(DayArchiveRuns, ACutNodeWithAnArchiveReportsAsItsUncutCopy) {
    ScratchDir dir;
    writeNode(dir, "full", "");
    writeNode(dir, "cut", "Archive " + dir.file("archive.db") + "\nCutHistory 30\n");
    const std::string cutCtl = dir.file("cut/ravlog.ctl");
    // Day after day over the last month, with reruns of some days.
    for (std::int64_t d = endDay - 30; d <= endDay + 1; ++d) {
        ASSERT_EQ(ravlogOn(cutCtl, d), 0) << dayText(d);
        if (d % 4 == 0) {
            ASSERT_EQ(ravlogOn(cutCtl, d), 0) << "rerun " << dayText(d);
        }
    }
    EXPECT_LT(slurp(dir.file("cut/binkd.his")).size(), slurp(dir.file("full/binkd.his")).size());
    const std::vector<std::vector<std::string>> periods = {
        {"-b1.4.2024", "-e20.4.2024"},   // wholly archived
        {"-b15.5.2024", "-e30.6.2024"},  // across the cut
        {"-b1.4.2024", "-e30.6.2024"},   // the whole node
        {"-b29.6.2024", "-e30.6.2024"},
    };
    for (const auto& period : periods)
        for (const char* format : {"text", "json", "csv"}) {
            const std::string full = pondrelOn(dir.file("full/ravlog.ctl"), period, format);
            EXPECT_GT(full.size(), 200u);
            EXPECT_EQ(pondrelOn(cutCtl, period, format), full) << period[0] << " " << format;
        }
}

// Each case spoils the archive file its way; the run must cut nothing and
// leave the file as it found it.
TEST_F(DayArchiveRuns, AnArchiveThatCannotBeWrittenStopsEveryCut) {
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> spoil;
        const char* reason;
    };
    const auto sql = [](const std::string& path, const char* statements) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db, statements, nullptr, nullptr, nullptr);
        sqlite3_close(db);
    };
    sqlite3* holder = nullptr;
    const Case cases[] = {
        {"not a database",
         [](const std::string& path) { std::ofstream(path) << "Not an archive at all\n"; },
         "not an archive"},
        {"another version",
         [&](const std::string& path) { sql(path, "CREATE TABLE t(x); PRAGMA user_version=7;"); },
         "archive version 7"},
        {"another program's database",
         [&](const std::string& path) { sql(path, "CREATE TABLE t(x);"); }, "not an archive"},
        {"locked",
         [&](const std::string& path) {
             sql(path, "PRAGMA journal_mode=WAL;");
             DayArchive archive;
             ASSERT_EQ(archive.open(path, DayArchive::Access::write), "");
             sqlite3_open(path.c_str(), &holder);
             sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
         },
         "locked"},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        const std::string archive = dir.file("archive.db");
        writeNode(dir, "node", "Archive " + archive + "\nCutHistory 30\n");
        c.spoil(archive);
        const std::string before = slurp(archive);
        const std::string history = slurp(dir.file("node/binkd.his"));
        std::string errors;
        EXPECT_EQ(ravlogOn(dir.file("node/ravlog.ctl"), endDay + 1, &errors), 255) << c.name;
        EXPECT_NE(errors.find("Can't write archive " + archive + ": " + c.reason),
                  std::string::npos)
            << c.name << ": " << errors;
        EXPECT_EQ(slurp(dir.file("node/binkd.his")), history) << c.name;
        EXPECT_EQ(slurp(archive), before) << c.name;
        sqlite3_close(holder);
        holder = nullptr;
    }
}

}  // namespace
}  // namespace rv
