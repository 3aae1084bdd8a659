// SQLite as the archive sets it up for a database made elsewhere: each
// statement tries what a hostile schema or file could make it do.
#include "archive/sqlite_defenses.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace rv {
namespace {

TEST(SqliteDefenses, RefuseWhatAnArchiveNeverNeeds) {
    struct Case {
        const char* sql;
        int rc;
    };
    const Case cases[] = {
        {"SELECT 1", SQLITE_OK},
        // A statement that never ends is stopped at the bound.
        {"WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT count(*) FROM r",
         SQLITE_INTERRUPT},
        {"SELECT load_extension('libm.so.6')", SQLITE_ERROR},
        {"ATTACH ':memory:' AS other", SQLITE_ERROR},
        {"SELECT zeroblob(100000000)", SQLITE_TOOBIG},
        {"PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql = 'x'", SQLITE_ERROR},
        {"CREATE VIEW v AS SELECT 1; SELECT * FROM v", SQLITE_ERROR},
        // The trigger would abort the insert: it does not fire.
        {"CREATE TABLE t(x); CREATE TRIGGER stop BEFORE INSERT ON t BEGIN SELECT RAISE(ABORT, "
         "'fired'); END; INSERT INTO t VALUES(1)",
         SQLITE_OK},
    };
    for (const Case& c : cases) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
        StatementWork work(100);
        ASSERT_EQ(defendConnection(db, work), "");
        EXPECT_EQ(sqlite3_exec(db, c.sql, nullptr, nullptr, nullptr), c.rc)
            << c.sql << ": " << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
}

}  // namespace
}  // namespace rv
