#include "archive/sqlite_defenses.h"

#include <sqlite3.h>

namespace rv {

namespace {

// The switches of sqlite3_db_config and the values an untrusted database
// gets: the archive needs none of what they allow.
struct Switch {
    int option;
    int value;
    const char* name;
};
constexpr Switch switches[] = {
    {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, "trusted schema"},
    {SQLITE_DBCONFIG_DEFENSIVE, 1, "defensive mode"},
    {SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, "extension loading"},
    {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, "triggers"},
    {SQLITE_DBCONFIG_ENABLE_VIEW, 0, "views"},
};

// Bounds far above what the archive's statements and values need: a day's
// packed sums of a million addresses stay well below the length.
struct Limit {
    int id;
    int value;
};
constexpr Limit limits[] = {
    {SQLITE_LIMIT_LENGTH, 64 << 20},
    {SQLITE_LIMIT_SQL_LENGTH, 64 << 10},
    {SQLITE_LIMIT_COLUMN, 64},
    {SQLITE_LIMIT_ATTACHED, 0},
};

}  // namespace

std::string defendConnection(sqlite3* db, StatementWork& work) {
    for (const Switch& s : switches) {
        int now = -1;
        if (sqlite3_db_config(db, s.option, s.value, &now) != SQLITE_OK || now != s.value)
            return std::string("can't set ") + s.name;
    }
    for (const Limit& l : limits)
        sqlite3_limit(db, l.id, l.value);
    if (sqlite3_exec(db, "PRAGMA cell_size_check=ON", nullptr, nullptr, nullptr) != SQLITE_OK)
        return "can't check cells";
    // Each statement starts with no work done (a trigger's program would
    // start anew too, but triggers are off).
    sqlite3_trace_v2(
        db, SQLITE_TRACE_STMT,
        [](unsigned, void* context, void*, void*) {
            static_cast<StatementWork*>(context)->start();
            return 0;
        },
        &work);
    sqlite3_progress_handler(
        db, StatementWork::stepsPerTick,
        [](void* context) { return static_cast<StatementWork*>(context)->tick() ? 0 : 1; }, &work);
    return {};
}

}  // namespace rv
