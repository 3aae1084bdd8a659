#include "archive/row_checks.h"

#include <sqlite3.h>

namespace rv {

namespace {

constexpr const char* faultTexts[] = {
    "",
    "a value that is no integer",
    "not a date",
    "records out of range",
    "times outside the day",
    "an address no record has",
    "unknown kind bits",
    "a negative count",
    "no session, or more time or bytes than its sessions hold",
    "a part larger than its whole",
    "more sessions than records",
};
static_assert(std::size(faultTexts) == static_cast<std::size_t>(RowFault::moreSessions) + 1);

const char* faultText(RowFault f) {
    return faultTexts[static_cast<std::size_t>(f)];
}

// How far a day's times may lie from the day.
constexpr std::int64_t timeSlack = 2 * 86400;

bool integer(sqlite3_stmt* st, int column, std::int64_t& v) {
    if (sqlite3_column_type(st, column) != SQLITE_INTEGER) return false;
    v = sqlite3_column_int64(st, column);
    return true;
}

}  // namespace

RowFault readDayRow(sqlite3_stmt* st, ArchivedDay& day) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    day.day = text ? dayNumber(text) : noDay;
    if (day.day < 0) return RowFault::notADate;
    std::int64_t records = 0;
    if (!integer(st, 1, records) || !integer(st, 2, day.firstTime) || !integer(st, 3, day.lastTime))
        return RowFault::notAnInteger;
    if (records < 0 || static_cast<std::uint64_t>(records) > archivedRecordLimit)
        return RowFault::records;
    day.records = static_cast<std::uint64_t>(records);
    const std::int64_t start = day.day * 86400;
    if (day.firstTime < start - timeSlack || day.firstTime > day.lastTime ||
        day.lastTime >= start + 86400 + timeSlack)
        return RowFault::times;
    day.end = ArchivedDay::unknownEnd;
    if (sqlite3_column_type(st, 4) != SQLITE_NULL) {
        if (!integer(st, 4, day.end)) return RowFault::notAnInteger;
        if (day.end < start - timeSlack || day.end > start + 86400 + timeSlack)
            return RowFault::times;
    }
    return RowFault::none;
}

RowFault readTrafficRow(sqlite3_stmt* st, ArchivedSums& s) {
    // The address, the kind, the counters and the protected sessions.
    constexpr int columns = 5 + static_cast<int>(std::size(archivedCounters)) + 1;
    std::int64_t v[columns];
    for (int i = 0; i < columns; ++i)
        if (!integer(st, i, v[i])) return RowFault::notAnInteger;
    std::int16_t* const address[] = {&s.address.zone, &s.address.net, &s.address.node,
                                     &s.address.point};
    for (int i = 0; i < 4; ++i) {
        if (v[i] < INT16_MIN || v[i] > INT16_MAX) return RowFault::address;
        *address[i] = static_cast<std::int16_t>(v[i]);
    }
    if (v[4] < 0 || v[4] > UINT16_MAX) return RowFault::kind;
    s.kind = static_cast<std::uint16_t>(v[4]);
    int column = 5;
    for (const auto counter : archivedCounters) {
        if (v[column] < 0) return RowFault::negative;
        s.counters.*counter = static_cast<std::uint64_t>(v[column++]);
    }
    if (v[column] < 0) return RowFault::negative;
    s.protectedSessions = static_cast<std::uint64_t>(v[column]);
    return RowFault::none;
}

std::string damagedDay(const ArchivedDay& day, RowFault fault) {
    if (fault == RowFault::notADate) return std::string("damaged day (") + faultText(fault) + ")";
    return "damaged day " + dayText(day.day) + " (" + faultText(fault) + ")";
}

std::string damagedSums(std::int64_t day, RowFault fault) {
    return "damaged sums of " + dayText(day) + " (" + faultText(fault) + ")";
}

}  // namespace rv
