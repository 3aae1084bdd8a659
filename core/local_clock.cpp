#include "core/local_clock.h"

#include "core/time_text.h"

namespace rv {

RunClock makeRunClock(std::time_t now) {
    RunClock clock;
    clock.now = now;
    clock.local = localBreakdown(now);
    clock.isDst = clock.local.tm_isdst;
    clock.date.year = clock.local.tm_year + 1900;
    clock.date.month = clock.local.tm_mon + 1;
    clock.date.day = clock.local.tm_mday;
    clock.date.dayOfYear = clock.local.tm_yday + 1;
    clock.date.weekday = clock.local.tm_wday == 0 ? 7 : clock.local.tm_wday;
    std::tm midnight = clock.local;
    midnight.tm_hour = 0;
    midnight.tm_min = 0;
    midnight.tm_sec = 0;
    clock.midnight = localCalendarTime(midnight, clock.isDst);
    return clock;
}

std::time_t localCalendarTime(std::tm fields, int isDst) {
    fields.tm_isdst = isDst;
    return std::mktime(&fields);
}

int autoTimeShiftHours(std::time_t now) {
    std::tm utc{};
    gmtime_r(&now, &utc);
    utc.tm_isdst = 0;
    std::time_t asLocal = std::mktime(&utc);
    return static_cast<int>((now - asLocal) / 3600);
}

LocalTimeConverter::LocalTimeConverter(int runIsDst) : runIsDst_(runIsDst) {}

std::time_t LocalTimeConverter::convertDirect(std::int64_t t) {
    std::tm fields{};
    breakDownUtc(t, fields);
    ++mktimeCalls_;
    return localCalendarTime(fields, runIsDst_);
}

// The offset is taken at the last second of the day and compared with the
// one it had just before the day began: the last second of the day
// before, when that day is held, else the first second of this one. Equal
// ends mean one offset for the whole day; different ones a switch, whose
// second a bisection finds. A probe that mktime refuses (-1), or that
// matches neither end, makes it a day for mktime alone.
//
// Where clocks go back without a change of flag (Moscow in 2014), a wall
// time occurs twice and mktime reads it as the occurrence nearer the
// offset of its previous call. Each probe of the bisection is therefore
// preceded by a call a day earlier, before the change (no zone has changed
// its offset twice within six days since 1970): such a time then reads as
// its first occurrence, as it does when mktime is called record by record
// in time order.
void LocalTimeConverter::learn(Day& d, std::int64_t day) {
    const std::int64_t first = day * secondsPerDay;
    const std::int64_t last = first + secondsPerDay - 1;
    bool refused = false;
    auto offsetAt = [&](std::int64_t t) {
        const std::time_t local = convertDirect(t);
        refused = refused || local == -1;
        return static_cast<std::int64_t>(local) - t;
    };
    const Day& previous = dayOf(day - 1);
    const bool follows = day > 0 && previous.day == day - 1 && !previous.direct;
    std::int64_t low = follows ? first - 1 : first;
    d = Day{day, secondsPerDay, follows ? previous.after : offsetAt(first), 0, false};
    d.after = offsetAt(last);
    if (d.after != d.before && !refused) {
        std::int64_t high = last;
        while (high - low > 1) {
            const std::int64_t middle = low + (high - low) / 2;
            if (middle >= secondsPerDay) convertDirect(middle - secondsPerDay);
            const std::int64_t offset = offsetAt(middle);
            if (offset != d.before && offset != d.after) refused = true;
            (offset == d.before ? low : high) = middle;
        }
        d.change = high - first;
    }
    d.direct = refused;
}

}  // namespace rv
