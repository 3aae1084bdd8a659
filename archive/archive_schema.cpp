#include "archive/archive_schema.h"

#include <sqlite3.h>

#include <cstring>
#include <string_view>

#include "archive/day_archive.h"

namespace rv {

namespace {

// One object of the schema: what sqlite_master holds of it. An index
// SQLite makes for a UNIQUE column has no CREATE text.
// An object a later version changed names the last version it stood in
// (untilVersion), and the new form the statement (upgrade) that turns the
// old one into it.
struct SchemaObject {
    const char* type;
    const char* name;
    const char* table;
    const char* sql;
    int sinceVersion;
    int untilVersion = archiveVersion;
    const char* upgrade = nullptr;
};

constexpr SchemaObject archiveObjects[] = {
    {"table", "lines", "lines",
     "CREATE TABLE lines("
     " id INTEGER PRIMARY KEY,"
     " history TEXT NOT NULL UNIQUE)",
     1},
    {"index", "sqlite_autoindex_lines_1", "lines", nullptr, 1},
    {"table", "days", "days",
     "CREATE TABLE days("
     " line INTEGER NOT NULL REFERENCES lines(id),"
     " day TEXT NOT NULL,"
     " records INTEGER NOT NULL,"
     " first_time INTEGER NOT NULL,"
     " last_time INTEGER NOT NULL,"
     " recorded_at INTEGER NOT NULL,"
     " PRIMARY KEY(line, day)) WITHOUT ROWID",
     1, 2},
    // Version 3 keeps where each day ends in the history's own clock, so
    // that a line's days stay apart whatever its TimeShift does between
    // runs; the days of an older archive end at their midnight less the
    // line's shift. SQLite writes the added column before the key.
    {"table", "days", "days",
     "CREATE TABLE days("
     " line INTEGER NOT NULL REFERENCES lines(id),"
     " day TEXT NOT NULL,"
     " records INTEGER NOT NULL,"
     " first_time INTEGER NOT NULL,"
     " last_time INTEGER NOT NULL,"
     " recorded_at INTEGER NOT NULL,"
     " history_end INTEGER,"
     " PRIMARY KEY(line, day)) WITHOUT ROWID",
     3, archiveVersion, "ALTER TABLE days ADD COLUMN history_end INTEGER"},
    {"table", "traffic", "traffic",
     "CREATE TABLE traffic("
     " line INTEGER NOT NULL REFERENCES lines(id),"
     " day TEXT NOT NULL,"
     " seq INTEGER NOT NULL,"
     " zone INTEGER NOT NULL, net INTEGER NOT NULL, node INTEGER NOT NULL,"
     " point INTEGER NOT NULL,"
     " kind INTEGER NOT NULL,"
     " sessions INTEGER NOT NULL, sessions_in INTEGER NOT NULL,"
     " sessions_out INTEGER NOT NULL,"
     " time_online INTEGER NOT NULL, time_in INTEGER NOT NULL, time_out INTEGER NOT NULL,"
     " traffic_time INTEGER NOT NULL,"
     " bytes_received INTEGER NOT NULL, bytes_sent INTEGER NOT NULL,"
     " no_traffic INTEGER NOT NULL, zero_duration INTEGER NOT NULL,"
     " protected INTEGER NOT NULL,"
     " PRIMARY KEY(line, day, seq)) WITHOUT ROWID",
     1},
    // Version 2 added the packed copy of each day's traffic rows, which
    // pondrel reads; a version 1 archive gets the table when it is next
    // written, and its days are read from their rows until recorded anew.
    {"table", "day_sums", "day_sums",
     "CREATE TABLE day_sums("
     " line INTEGER NOT NULL REFERENCES lines(id),"
     " day TEXT NOT NULL,"
     " sums BLOB NOT NULL,"
     " PRIMARY KEY(line, day)) WITHOUT ROWID",
     2},
};

// A CREATE text with its blanks made canonical: one space between two
// words, none beside a parenthesis or comma, so that a table made by hand
// in sqlite3 may break its lines elsewhere.
std::string canonicalSql(std::string_view sql) {
    std::string out;
    bool blank = false;
    for (const char c : sql) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            blank = true;
            continue;
        }
        const auto punctuation = [](char p) { return p == '(' || p == ')' || p == ','; };
        if (blank && !out.empty() && !punctuation(c) && !punctuation(out.back())) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

bool sameSql(const char* stored, const char* ours) {
    if (stored == nullptr || ours == nullptr) return stored == ours;
    return canonicalSql(stored) == canonicalSql(ours);
}

const char* text(sqlite3_stmt* st, int column) {
    return reinterpret_cast<const char*>(sqlite3_column_text(st, column));
}

}  // namespace

std::string archiveTablesAfter(int version) {
    std::string sql;
    for (const SchemaObject& o : archiveObjects) {
        if (o.sinceVersion <= version || o.untilVersion < archiveVersion || o.sql == nullptr)
            continue;
        const bool replaces = o.upgrade != nullptr && version > 0;
        sql += std::string(replaces ? o.upgrade : o.sql) + ";";
    }
    return sql;
}

std::string checkArchiveSchema(sqlite3* db, int version) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT type, name, tbl_name, sql FROM sqlite_master", -1, &st,
                           nullptr) != SQLITE_OK)
        return std::string("can't read the schema: ") + sqlite3_errmsg(db);
    std::string reason;
    bool seen[std::size(archiveObjects)] = {};
    int rc = 0;
    while (reason.empty() && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        const char* type = text(st, 0);
        const char* name = text(st, 1);
        if (type == nullptr || name == nullptr) {
            reason = "an object without a name";
            break;
        }
        std::size_t i = 0;
        for (; i < std::size(archiveObjects); ++i) {
            const SchemaObject& o = archiveObjects[i];
            if (o.sinceVersion <= version && version <= o.untilVersion &&
                std::strcmp(o.name, name) == 0)
                break;
        }
        const std::string what = std::string(type) + " " + name;
        if (i == std::size(archiveObjects) || std::strcmp(archiveObjects[i].type, type) != 0)
            reason = "unexpected " + what;
        else if (seen[i] || !sameSql(text(st, 3), archiveObjects[i].sql) ||
                 text(st, 2) == nullptr || std::strcmp(text(st, 2), archiveObjects[i].table) != 0)
            reason = what + " is not as ravlog makes it";
        else
            seen[i] = true;
    }
    if (reason.empty() && rc != SQLITE_DONE)
        reason = std::string("can't read the schema: ") + sqlite3_errmsg(db);
    sqlite3_finalize(st);
    for (std::size_t i = 0; reason.empty() && i < std::size(archiveObjects); ++i)
        if (!seen[i] && archiveObjects[i].sinceVersion <= version &&
            version <= archiveObjects[i].untilVersion)
            reason = std::string("no ") + archiveObjects[i].type + " " + archiveObjects[i].name;
    return reason.empty() ? reason : "schema differs from ravlog's: " + reason;
}

}  // namespace rv
