// The day archive: per line and local day, the sums of the sessions of
// every remote address and event kind, so that the statistics of a day
// outlive the history that held it. An SQLite database (docs/archive.md
// has its tables); ravlog writes it in one transaction per run, pondrel
// and sqlite3 may read it meanwhile.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/dates.h"
#include "core/fido_address.h"
#include "stats/traffic_counters.h"

struct sqlite3;

namespace rv {

class StatementWork;
class SumsCheck;

// The schema's version, kept in PRAGMA user_version.
inline constexpr int archiveVersion = 3;

// What the archive knows of one day of a line. day is a day number
// (core/dates.h) in the line's clock (the history's clock plus TimeShift);
// the times are seconds in that clock. A line's days take the history's
// records in turns: each those that started before its end, in the
// history's own clock (before TimeShift), and after the day before's.
struct ArchivedDay {
    // The end of a day recorded before the ends were kept (version 3): its
    // midnight less the line's TimeShift.
    static constexpr std::int64_t unknownEnd = std::numeric_limits<std::int64_t>::min();

    std::int64_t day = 0;
    std::uint64_t records = 0;  // the records of the day that were counted
    std::int64_t firstTime = 0;
    std::int64_t lastTime = 0;
    std::int64_t end = unknownEnd;
};

// The sums of one day's sessions of one address and kind (the record's
// kind bits; 0 for mail sessions), directions as the line's rules settle
// them, counted as countTraffic counts a session into an entry.
struct ArchivedSums {
    FidoAddress address;
    std::uint16_t kind = 0;
    TrafficCounters counters;
    std::uint64_t protectedSessions = 0;
};

// The counters of archived sums in the order the archive keeps them (the
// traffic table's columns from sessions on, then protected sessions).
inline constexpr std::uint64_t TrafficCounters::*archivedCounters[] = {
    &TrafficCounters::sessions,
    &TrafficCounters::sessionsIn,
    &TrafficCounters::sessionsOut,
    &TrafficCounters::timeOnline,
    &TrafficCounters::timeIn,
    &TrafficCounters::timeOut,
    &TrafficCounters::trafficTime,
    &TrafficCounters::bytesReceived,
    &TrafficCounters::bytesSent,
    &TrafficCounters::noTrafficSessions,
    &TrafficCounters::zeroDurationSessions};

// Where a recorded day ends in the line's clock of this run (the
// history's plus timeShift hours). An end read from the archive is held
// to a range no arithmetic on it can leave.
inline std::int64_t shiftedEnd(const ArchivedDay& d, std::int16_t timeShift) {
    constexpr std::int64_t limit = std::int64_t{1} << 50;
    if (d.end == ArchivedDay::unknownEnd) return std::clamp(d.day, -limit, limit) * 86400 + 86400;
    return std::clamp(d.end, -limit, limit) + std::int64_t{timeShift} * 3600;
}

class DayArchive {
  public:
    enum class Access : std::uint8_t { write, read };

    DayArchive();
    ~DayArchive();
    DayArchive(const DayArchive&) = delete;
    DayArchive& operator=(const DayArchive&) = delete;

    // Each operation is true when done; false when the archive cannot be
    // used so, with the reason in failure(), which the run words as
    // "Can't read archive" or "Can't write archive".

    // Opens the archive. For writing, a missing or empty file gets the
    // schema and an older archive what it lacks; a file that is not an
    // archive of a known version, or whose schema is not exactly ravlog's,
    // is refused and never changed.
    [[nodiscard]] bool open(const std::string& path, Access access);

    // One transaction for the whole run: begin takes the write lock
    // (waiting a few seconds for another writer) and gives a missing or
    // empty file the schema, a version 1 archive the table it lacks;
    // commit makes all of it visible at once. Without a commit nothing
    // is kept, and a failed one leaves the file as it was.
    [[nodiscard]] bool begin();
    [[nodiscard]] bool commit();
    // Whether this transaction gave the file its tables, and the lines
    // (their history names as kept) it added.
    bool created() const { return created_; }
    const std::vector<std::string>& addedLines() const { return addedLines_; }

    // The days recorded for the line (its history name), in order.
    [[nodiscard]] bool recordedDays(const std::string& line, std::vector<ArchivedDay>& days);

    // Records the day, replacing what was recorded of it before.
    [[nodiscard]] bool recordDay(const std::string& line, const ArchivedDay& day,
                                 const std::vector<const ArchivedSums*>& sums);

    // Hands every recorded day of the line from firstDay on, in order, to
    // dayFound, and its sums, in the order they were first met, to
    // sumsFound.
    [[nodiscard]] bool readDays(
        const std::string& line, std::int64_t firstDay,
        const std::function<void(const ArchivedDay&)>& dayFound,
        const std::function<void(std::int64_t day, const ArchivedSums&)>& sumsFound);

    // Why the last operation that failed did.
    const std::string& failure() const { return failure_; }

  private:
    // Keep the reason given, or SQLite's last error as the run words it
    // (after what was tried); false.
    bool refuse(std::string reason);
    bool failed(const char* what);
    std::string sqliteReason(const char* what) const;
    [[nodiscard]] bool execute(const char* sql, const char* what);
    // The line's days (by its id) in order, and readDays' work.
    [[nodiscard]] bool daysOf(std::int64_t id, std::vector<ArchivedDay>& days);
    [[nodiscard]] bool readDaysOf(
        std::int64_t id, std::int64_t firstDay,
        const std::function<void(const ArchivedDay&)>& dayFound,
        const std::function<void(std::int64_t day, const ArchivedSums&)>& sumsFound);
    // A line's id by its history written one way (archive/history_name.h),
    // found under any spelling; a writer joins the rows of other spellings
    // into one row of that name.
    [[nodiscard]] bool lineId(const std::string& line, bool create, std::int64_t& id);
    [[nodiscard]] bool joinSpellings(const std::string& name, std::int64_t& id,
                                     const std::vector<std::int64_t>& others);
    // Sets the rollback-journal mode a writer leaves the archive in.
    [[nodiscard]] bool leaveWal();
    // Checks the version; empty when the file has no tables yet.
    [[nodiscard]] bool readVersion(bool& empty);
    // Creates the tables given (all, or those a version 1 archive lacks)
    // and sets the version, in the run's transaction.
    [[nodiscard]] bool changeSchema(const std::string& tables);

    sqlite3* db_ = nullptr;
    std::string failure_;
    bool packedSums_ = false;   // the archive has day_sums (version 2)
    bool historyEnds_ = false;  // and days.history_end (version 3)
    bool writing_ = false;
    bool created_ = false;
    std::vector<std::string> addedLines_;
    std::string cachedLine_;  // the line last found, and its id
    std::int64_t cachedId_ = -1;
    // The bound on a statement's work (archive/sqlite_defenses.h) and the
    // checks of the sums read (archive/row_checks.h).
    std::unique_ptr<StatementWork> work_;
    std::unique_ptr<SumsCheck> sumsCheck_;
};

}  // namespace rv
