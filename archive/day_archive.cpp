#include "archive/day_archive.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "archive/archive_file.h"
#include "archive/archive_schema.h"
#include "archive/history_name.h"
#include "archive/packed_sums.h"
#include "archive/row_checks.h"
#include "archive/sqlite_defenses.h"

namespace rv {

namespace {

// A writer waits this long for another one before the run gives up.
constexpr int busyTimeoutMs = 5000;

// Line ?2's days go over to line ?1 where ?1 lacks them, and ?2 goes:
// docs/archive.md gives the same statements for a renamed history.
const char* const joinLineSql[] = {
    "UPDATE traffic SET line = ?1 WHERE line = ?2"
    " AND day NOT IN (SELECT day FROM days WHERE line = ?1)",
    "UPDATE day_sums SET line = ?1 WHERE line = ?2"
    " AND day NOT IN (SELECT day FROM days WHERE line = ?1)",
    "UPDATE days SET line = ?1 WHERE line = ?2 AND day NOT IN (SELECT day FROM days WHERE line = "
    "?1)",
    "DELETE FROM traffic WHERE line = ?2",
    "DELETE FROM day_sums WHERE line = ?2",
    "DELETE FROM days WHERE line = ?2",
    "DELETE FROM lines WHERE id = ?2",
};

// A prepared statement, finalized when it goes.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return s_ != nullptr; }
    sqlite3_stmt* get() { return s_; }
    void bind(int i, std::int64_t v) { sqlite3_bind_int64(s_, i, v); }
    void bind(int i, const std::string& v) {
        sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    std::int64_t column(int i) { return sqlite3_column_int64(s_, i); }
    int step() { return sqlite3_step(s_); }
    void reset() {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
    }

  private:
    sqlite3_stmt* s_ = nullptr;
};

std::int64_t signedCount(std::uint64_t v) {
    return static_cast<std::int64_t>(v);
}

}  // namespace

DayArchive::DayArchive() = default;

DayArchive::~DayArchive() {
    // An open transaction is rolled back: nothing of an unfinished run stays.
    sqlite3_close_v2(db_);
}

bool DayArchive::refuse(std::string reason) {
    failure_ = std::move(reason);
    return false;
}

bool DayArchive::failed(const char* what) {
    return refuse(sqliteReason(what));
}

std::string DayArchive::sqliteReason(const char* what) const {
    const int code = sqlite3_extended_errcode(db_);
    const int primary = code & 0xFF;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) return "locked by another program";
    // A hot journal that only a writer may roll back.
    if (code == SQLITE_READONLY_ROLLBACK)
        return "a write was interrupted: the next ravlog run rolls it back";
    if (primary == SQLITE_NOTADB) return "not an archive (not an SQLite database)";
    if (primary == SQLITE_READONLY) return "read-only";
    if (primary == SQLITE_FULL) return "disk full";
    if (primary == SQLITE_INTERRUPT) return "too much work";
    return std::string(what) + ": " + sqlite3_errmsg(db_);
}

bool DayArchive::open(const std::string& path, Access access) {
    if (std::string why = archiveFileRefusal(path, access); !why.empty())
        return refuse(std::move(why));
    // One thread uses the connection: SQLite's own locks are not needed.
    const int flags =
        SQLITE_OPEN_NOMUTEX | (access == Access::write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                                       : SQLITE_OPEN_READONLY);
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        if (db_ == nullptr) return refuse("out of memory");
        if (access == Access::write && (sqlite3_errcode(db_) & 0xFF) == SQLITE_CANTOPEN &&
            ::access(path.c_str(), F_OK) == 0)
            return refuse("read-only");
        return failed("can't open");
    }
    // Nothing of the file is read before SQLite is set up for a hostile one.
    work_ = std::make_unique<StatementWork>();
    sumsCheck_ = std::make_unique<SumsCheck>();
    if (std::string why = defendConnection(db_, *work_); !why.empty())
        return refuse(std::move(why));
    sqlite3_busy_timeout(db_, busyTimeoutMs);
    writing_ = access == Access::write;
    // The schema is looked at before anything of the file changes, the
    // journal mode included.
    bool empty = false;
    if (!readVersion(empty)) return false;
    if (writing_) return leaveWal();
    return !empty || refuse("not an archive (empty)");
}

bool DayArchive::leaveWal() {
    // The archive stays in rollback-journal mode (an older one written in
    // WAL mode is turned back): a reader needs nothing but read access to
    // the file, where WAL would have it write the -shm beside it, and a
    // write that fails is rolled back and its journal removed, where a
    // WAL file the close could not checkpoint would stay and keep the
    // disk full.
    Statement mode(db_, "PRAGMA journal_mode=DELETE");
    if (!mode || mode.step() != SQLITE_ROW) return failed("can't set the journal mode");
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(mode.get(), 0));
    // WAL is left only when no other connection has the archive open.
    if (text == nullptr || std::strcmp(text, "delete") != 0)
        return refuse("locked by another program");
    return true;
}

bool DayArchive::readVersion(bool& empty) {
    int version = 0;
    int objects = 0;
    {
        Statement st(db_,
                     "SELECT (SELECT user_version FROM pragma_user_version),"
                     " (SELECT count(*) FROM sqlite_master)");
        if (!st || st.step() != SQLITE_ROW) return failed("can't read");
        version = static_cast<int>(st.column(0));
        objects = static_cast<int>(st.column(1));
    }
    empty = objects == 0 && version == 0;
    if (!empty && (version < 1 || version > archiveVersion)) {
        if (version == 0) return refuse("not an archive");
        return refuse("archive version " + std::to_string(version) + ", expected " +
                      std::to_string(archiveVersion));
    }
    if (!empty)
        if (std::string why = checkArchiveSchema(db_, version); !why.empty())
            return refuse(std::move(why));
    packedSums_ = version >= 2;
    historyEnds_ = version >= 3;
    return true;
}

bool DayArchive::execute(const char* sql, const char* what) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) return failed(what);
    return true;
}

bool DayArchive::changeSchema(const std::string& tables) {
    const std::string sql = tables + "PRAGMA user_version=" + std::to_string(archiveVersion) + ";";
    if (!execute(sql.c_str(), "can't create the tables")) return false;
    packedSums_ = true;
    historyEnds_ = true;
    return true;
}

bool DayArchive::begin() {
    if (!execute("BEGIN IMMEDIATE", "can't begin")) return false;
    // Looked at under the write lock, so that of two runs that start on a
    // new archive together the second finds the tables the first made.
    bool empty = false;
    if (!readVersion(empty)) return false;
    created_ = empty;
    const int version = empty ? 0 : historyEnds_ ? 3 : packedSums_ ? 2 : 1;
    return version == archiveVersion || changeSchema(archiveTablesAfter(version));
}

bool DayArchive::commit() {
    if (execute("COMMIT", "can't commit")) return true;
    // A commit that failed (a full disk) is rolled back at once: its
    // journal goes and the file is as it was.
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

bool DayArchive::lineId(const std::string& line, bool create, std::int64_t& id) {
    const std::string name = archivedHistoryName(line);
    if (name == cachedLine_ && cachedId_ >= 0) {
        id = cachedId_;
        return true;
    }
    id = -1;
    // The row of the name as written now, and those of other spellings an
    // older run stored (all of them read: a few rows).
    std::vector<std::int64_t> others;
    {
        Statement rows(db_, "SELECT id, history FROM lines ORDER BY id");
        if (!rows) return failed("can't read");
        int rc = 0;
        while ((rc = rows.step()) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(rows.get(), 1));
            const std::string_view stored = text ? text : "";
            if (stored == name)
                id = rows.column(0);
            else if (archivedHistoryName(stored) == name)
                others.push_back(rows.column(0));
        }
        if (rc != SQLITE_DONE) return failed("can't read");
    }
    if (!writing_) {
        if (id < 0 && !others.empty()) id = others.front();
    } else if (!joinSpellings(name, id, others)) {
        return false;
    }
    if (id < 0 && create) {
        Statement add(db_, "INSERT INTO lines(history) VALUES(?1)");
        if (!add) return failed("can't write");
        add.bind(1, name);
        if (add.step() != SQLITE_DONE) return failed("can't write");
        id = sqlite3_last_insert_rowid(db_);
        addedLines_.push_back(name);
    }
    if (id >= 0) {
        cachedLine_ = name;
        cachedId_ = id;
    }
    return true;
}

bool DayArchive::joinSpellings(const std::string& name, std::int64_t& id,
                               const std::vector<std::int64_t>& others) {
    auto other = others.begin();
    if (id < 0 && other != others.end()) {
        id = *other++;
        Statement rename(db_, "UPDATE lines SET history = ?1 WHERE id = ?2");
        if (!rename) return failed("can't write");
        rename.bind(1, name);
        rename.bind(2, id);
        if (rename.step() != SQLITE_DONE) return failed("can't write");
    }
    for (; other != others.end(); ++other)
        for (const char* sql : joinLineSql) {
            Statement join(db_, sql);
            if (!join) return failed("can't write");
            join.bind(1, id);
            join.bind(2, *other);
            if (join.step() != SQLITE_DONE) return failed("can't write");
        }
    return true;
}

bool DayArchive::recordedDays(const std::string& line, std::vector<ArchivedDay>& days) {
    days.clear();
    std::int64_t id = -1;
    if (!lineId(line, false, id)) return false;
    return id < 0 || daysOf(id, days);
}

bool DayArchive::daysOf(std::int64_t id, std::vector<ArchivedDay>& days) {
    Statement st(db_, historyEnds_ ? "SELECT day, records, first_time, last_time, history_end"
                                     " FROM days WHERE line = ?1 ORDER BY day"
                                   : "SELECT day, records, first_time, last_time, NULL"
                                     " FROM days WHERE line = ?1 ORDER BY day");
    if (!st) return failed("can't read");
    st.bind(1, id);
    int rc = 0;
    ArchivedDay day;
    while ((rc = st.step()) == SQLITE_ROW) {
        if (const RowFault fault = readDayRow(st.get(), day); fault != RowFault::none)
            return refuse(damagedDay(day, fault));
        days.push_back(day);
    }
    if (rc != SQLITE_DONE) return failed("can't read");
    return true;
}

bool DayArchive::recordDay(const std::string& line, const ArchivedDay& day,
                           const std::vector<const ArchivedSums*>& sums) {
    std::int64_t id = -1;
    if (!lineId(line, true, id)) return false;
    const std::string text = dayText(day.day);
    Statement dropSums(db_, "DELETE FROM traffic WHERE line = ?1 AND day = ?2");
    Statement putDay(db_,
                     "INSERT OR REPLACE INTO days(line, day, records, first_time, last_time,"
                     " recorded_at, history_end) VALUES(?1, ?2, ?3, ?4, ?5, strftime('%s','now'),"
                     " ?6)");
    Statement putSums(db_,
                      "INSERT INTO traffic VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11,"
                      " ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20)");
    Statement putPacked(db_, "INSERT OR REPLACE INTO day_sums(line, day, sums) VALUES(?1, ?2, ?3)");
    if (!dropSums || !putDay || !putSums || !putPacked) return failed("can't write");
    dropSums.bind(1, id);
    dropSums.bind(2, text);
    if (dropSums.step() != SQLITE_DONE) return failed("can't write");
    putDay.bind(1, id);
    putDay.bind(2, text);
    putDay.bind(3, signedCount(day.records));
    putDay.bind(4, day.firstTime);
    putDay.bind(5, day.lastTime);
    if (day.end == ArchivedDay::unknownEnd)
        sqlite3_bind_null(putDay.get(), 6);
    else
        putDay.bind(6, day.end);
    if (putDay.step() != SQLITE_DONE) return failed("can't write");
    std::int64_t seq = 0;
    for (const ArchivedSums* s : sums) {
        const TrafficCounters& c = s->counters;
        putSums.bind(1, id);
        putSums.bind(2, text);
        putSums.bind(3, seq++);
        putSums.bind(4, s->address.zone);
        putSums.bind(5, s->address.net);
        putSums.bind(6, s->address.node);
        putSums.bind(7, s->address.point);
        putSums.bind(8, s->kind);
        int column = 9;
        for (const auto counter : archivedCounters)
            putSums.bind(column++, signedCount(c.*counter));
        putSums.bind(column, signedCount(s->protectedSessions));
        if (putSums.step() != SQLITE_DONE) return failed("can't write");
        putSums.reset();
    }
    std::string packed;
    packSums(sums, packed);
    putPacked.bind(1, id);
    putPacked.bind(2, text);
    sqlite3_bind_blob(putPacked.get(), 3, packed.data(), static_cast<int>(packed.size()),
                      SQLITE_STATIC);
    if (putPacked.step() != SQLITE_DONE) return failed("can't write");
    return true;
}

bool DayArchive::readDays(
    const std::string& line, std::int64_t firstDay,
    const std::function<void(const ArchivedDay&)>& dayFound,
    const std::function<void(std::int64_t day, const ArchivedSums&)>& sumsFound) {
    std::int64_t id = -1;
    if (!lineId(line, false, id)) return false;
    if (id < 0) return true;
    // One read transaction: the days and their sums as one run left them.
    // A writer reads in its own.
    if (writing_) return readDaysOf(id, firstDay, dayFound, sumsFound);
    if (!execute("BEGIN", "can't read")) return false;
    const bool read = readDaysOf(id, firstDay, dayFound, sumsFound);
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    return read;
}

bool DayArchive::readDaysOf(
    std::int64_t id, std::int64_t firstDay, const std::function<void(const ArchivedDay&)>& dayFound,
    const std::function<void(std::int64_t day, const ArchivedSums&)>& sumsFound) {
    std::vector<ArchivedDay> days;
    if (!daysOf(id, days)) return false;
    const auto first =
        std::lower_bound(days.begin(), days.end(), firstDay,
                         [](const ArchivedDay& d, std::int64_t day) { return d.day < day; });
    for (auto d = first; d != days.end(); ++d)
        dayFound(*d);
    // A day's packed sums where they are, its rows where not (a version 1
    // archive, or a day whose packed sums were deleted by hand).
    Statement packed(db_, packedSums_ ? "SELECT day, sums FROM day_sums"
                                        " WHERE line = ?1 AND day >= ?2 ORDER BY day"
                                      : "SELECT NULL, NULL WHERE 0");
    Statement rows(db_,
                   "SELECT zone, net, node, point, kind, sessions, sessions_in, sessions_out,"
                   " time_online, time_in, time_out, traffic_time, bytes_received, bytes_sent,"
                   " no_traffic, zero_duration, protected FROM traffic"
                   " WHERE line = ?1 AND day = ?2 ORDER BY seq");
    if (!packed || !rows) return failed("can't read");
    if (packedSums_) {
        packed.bind(1, id);
        packed.bind(2, dayText(firstDay < 0 ? 0 : firstDay));
    }
    int packedRc = packed.step();
    std::int64_t packedDay = 0;
    ArchivedSums s;
    for (auto d = first; d != days.end(); ++d) {
        for (; packedRc == SQLITE_ROW; packedRc = packed.step()) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(packed.get(), 0));
            packedDay = dayNumber(text ? text : "");
            if (packedDay >= d->day) break;
        }
        if (packedRc != SQLITE_ROW && packedRc != SQLITE_DONE) return failed("can't read");
        RowFault fault = sumsCheck_->startDay(*d);
        if (fault != RowFault::none) return refuse(damagedDay(*d, fault));
        if (packedRc == SQLITE_ROW && packedDay == d->day) {
            const void* bytes = sqlite3_column_blob(packed.get(), 1);
            const std::string_view sums(
                static_cast<const char*>(bytes),
                bytes ? static_cast<std::size_t>(sqlite3_column_bytes(packed.get(), 1)) : 0);
            if (!unpackSums(sums, [&](const ArchivedSums& one) {
                    if (fault == RowFault::none) fault = sumsCheck_->check(one);
                    if (fault == RowFault::none) sumsFound(d->day, one);
                }))
                return refuse("damaged sums of " + dayText(d->day));
            if (fault != RowFault::none) return refuse(damagedSums(d->day, fault));
            continue;
        }
        rows.bind(1, id);
        rows.bind(2, dayText(d->day));
        int rc = 0;
        while ((rc = rows.step()) == SQLITE_ROW) {
            fault = readTrafficRow(rows.get(), s);
            if (fault == RowFault::none) fault = sumsCheck_->check(s);
            if (fault != RowFault::none) return refuse(damagedSums(d->day, fault));
            sumsFound(d->day, s);
        }
        if (rc != SQLITE_DONE) return failed("can't read");
        rows.reset();
    }
    return true;
}

}  // namespace rv
