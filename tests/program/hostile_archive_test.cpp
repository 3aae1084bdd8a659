// Hostile and damaged archives through whole runs: each case of
// tests/data/hostile_archives.txt spoils a good archive by SQL, and
// pondrel and ravlog must refuse it with their reason, or not read what
// was spoiled, and leave the file as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "generated_node.h"
#include "time_zone_scope.h"

namespace rv {
namespace {

using testing::pondrelOn;
using testing::ravlogOn;
using testing::ScratchDir;
using testing::slurp;
using testing::writeNode;

struct HostileCase {
    std::string name;
    std::string sql;
    std::string pondrel;  // the reason, or "-" for a report
    std::string ravlog;
};

std::vector<HostileCase> hostileCases() {
    std::ifstream in(std::string(RV_SOURCE_DIR) + "/tests/data/hostile_archives.txt");
    std::vector<HostileCase> cases;
    for (std::string line; std::getline(in, line);) {
        const std::size_t blank = line.find(' ');
        const std::string word = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
        if (word == "case") cases.push_back({rest, "", "", ""});
        if (cases.empty()) continue;
        if (word == "sql") cases.back().sql += rest + "\n";
        if (word == "pondrel") cases.back().pondrel = rest;
        if (word == "ravlog") cases.back().ravlog = rest;
    }
    return cases;
}

TEST(HostileArchives, AreRefusedOrNotReadAndLeftAsTheyWere) {
    testing::TimeZoneScope utc("UTC");
    ScratchDir dir;
    const std::string archive = dir.file("archive.db");
    const std::string ctl = writeNode(dir, "node", "Archive " + archive + "\n");
    ASSERT_EQ(ravlogOn(ctl, testing::nodeEndDay + 1).status, 0);
    const std::string recorded = slurp(archive);
    const std::vector<HostileCase> cases = hostileCases();
    ASSERT_GE(cases.size(), 10u);
    for (const HostileCase& c : cases) {
        ASSERT_TRUE(dir.write("archive.db", recorded));
        sqlite3* db = nullptr;
        sqlite3_open(archive.c_str(), &db);
        ASSERT_EQ(sqlite3_exec(db, c.sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << c.name << ": " << sqlite3_errmsg(db);
        sqlite3_close(db);
        const std::string spoiled = slurp(archive);
        const std::string report = pondrelOn(ctl, {"-b1.4.2024", "-e30.6.2024"});
        if (c.pondrel == "-")
            EXPECT_EQ(report.rfind("status", 0), std::string::npos) << c.name << ": " << report;
        else
            EXPECT_EQ(report, "status 255: Can't read archive " + archive + ": " + c.pondrel + "\n")
                << c.name;
        const testing::ProgramResult r = ravlogOn(ctl, testing::nodeEndDay + 1);
        const std::string told =
            c.ravlog == "-" ? "" : "Can't write archive " + archive + ": " + c.ravlog + "\n";
        EXPECT_EQ(r.status, c.ravlog == "-" ? 0 : 255) << c.name;
        EXPECT_EQ(r.err, told) << c.name;
        EXPECT_TRUE(slurp(archive) == spoiled) << c.name << ": the archive was changed";
        EXPECT_FALSE(std::filesystem::exists(archive + "-wal")) << c.name;
    }
}

}  // namespace
}  // namespace rv
