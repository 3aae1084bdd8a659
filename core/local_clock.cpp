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

// A quarter hour met for the first time is learnt at once only when it
// follows a learnt one (a steady run of records); a lone time is cheaper
// to convert directly, and its quarter hour is learnt when met again.
std::optional<std::time_t> LocalTimeConverter::toLocal(std::int64_t t) {
    if (t < 0) return std::nullopt;
    const std::int64_t bucket = t / bucketSeconds;
    Slot& slot = slotOf(bucket);
    if (slot.bucket != bucket) {
        if (!followsWhole(bucket)) {
            slot = Slot{bucket, 0, SlotState::seen};
            return convertDirect(t);
        }
        learn(slot, bucket);
    } else if (slot.state == SlotState::seen) {
        learn(slot, bucket);
    }
    if (slot.state == SlotState::mixed) return convertDirect(t);
    return static_cast<std::time_t>(t + slot.offset);
}

bool LocalTimeConverter::followsWhole(std::int64_t bucket) {
    if (bucket == 0) return false;
    const Slot& before = slotOf(bucket - 1);
    return before.bucket == bucket - 1 && before.state == SlotState::whole;
}

std::time_t LocalTimeConverter::convertDirect(std::int64_t t) {
    std::tm fields{};
    breakDownUtc(t, fields);
    ++mktimeCalls_;
    return localCalendarTime(fields, runIsDst_);
}

// The offset is taken at both ends of the quarter hour. A zone's offset
// changes at most once within a quarter hour, so equal ends mean one
// offset for all of it; one that holds a switch, or an end that mktime
// refuses (-1), is left to mktime time by time. After a learnt quarter
// hour its last second serves as the first end.
void LocalTimeConverter::learn(Slot& slot, std::int64_t bucket) {
    const std::int64_t first = bucket * bucketSeconds;
    const std::int64_t last = first + bucketSeconds - 1;
    const std::int64_t offset =
        followsWhole(bucket) ? slotOf(bucket - 1).offset : convertDirect(first) - first;
    const std::time_t atLast = convertDirect(last);
    slot.bucket = bucket;
    slot.offset = offset;
    const bool refused = atLast == -1 || first + offset == -1;
    slot.state = refused || atLast - last != offset ? SlotState::mixed : SlotState::whole;
}

}  // namespace rv
