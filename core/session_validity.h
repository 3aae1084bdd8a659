// The tests every record passes before ravlog reports it: a readable
// time, a real address, at most a day long, and an end that fits a
// 32-bit calendar time. The record's time is the stored start plus the
// line's TimeShift, broken down as UTC and read back as local time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

#include "core/local_clock.h"
#include "core/session_record.h"

namespace rv {

enum class Validity : std::uint8_t { valid, dropSilently, invalid };

struct SessionTime {
    std::int64_t shifted = 0;     // stored start plus the shift (the history's clock)
    bool brokenDown = false;      // shifted could be broken down (it is not negative)
    std::int64_t localStart = 0;  // local calendar time, when brokenDown

    // The UTC breakdown of shifted: what the reports print. Made on demand,
    // since most records of a history are neither shown nor reported.
    std::tm shown() const;
};

inline constexpr std::int64_t longestSession = 86400;

// The tests of checkSession but the zone's: a record a history of its
// format can hold at all, also with zone 0.
inline bool validApartFromZone(const SessionRecord& r, const SessionTime& time) {
    const FidoAddress& a = r.address;
    return time.brokenDown && a.zone >= 0 && a.net >= 0 && a.node >= 0 && a.point >= 0 &&
           r.duration <= longestSession && time.localStart > 0 &&
           time.localStart + r.duration <= std::int64_t{INT32_MAX};
}

// Computes the record's times and judges it. The times are filled in for
// every record whose shifted start is readable, valid or not.
Validity checkSession(const SessionRecord& r, std::int16_t timeShift, LocalTimeConverter& converter,
                      SessionTime& time);

// "Invalid record in <path>: <address> <time>\n" on warnings.
void reportInvalidRecord(std::FILE* warnings, const std::string& path, const SessionRecord& r,
                         const SessionTime& time);

// The start of a record in the history's clock plus the line's shift.
inline std::int64_t shiftedStart(const SessionRecord& r, std::int16_t timeShift) {
    return std::int64_t{static_cast<std::int32_t>(r.startTime)} + std::int64_t{timeShift} * 3600;
}

// The shifted start of a record that pondrel and the day archive count,
// or nothing when its address or length rule it out or it lies before 1970.
// Kind records read as a positive zone.
inline std::optional<std::int64_t> countedTime(const SessionRecord& r, std::int16_t timeShift) {
    const FidoAddress& a = r.address;
    if (a.zone <= 0 || a.net < 0 || a.node < 0 || a.point < 0 || r.duration > longestSession)
        return std::nullopt;
    const std::int64_t t = shiftedStart(r, timeShift);
    if (t < 0) return std::nullopt;
    return t;
}

// The report window as a first test on the raw record, before its time is
// converted: most records of a long history lie on other days, and
// passesBy tells those apart with a few comparisons.
//
// The local time of a history time t differs from t by the zone's offset
// as mktime applies it with the run's daylight-saving flag: one of the
// zone's offsets from UTC, which stay within ±25 hours (time zone rules
// and TZ values alike). Widened by a margin above that, the window in t
// holds every record that the window in local time can select; and a
// record further than the margin from either end of the calendar range
// gets a local time that is positive and whose end fits 32 bits, so it is
// valid when its address and length are.
class RawWindow {
  public:
    // windowStart and windowEnd as ReportPeriod has them (local times), for
    // the records of a line with the shift.
    RawWindow(std::int64_t windowStart, std::int64_t windowEnd, std::int16_t timeShift) {
        const std::int64_t shift = std::int64_t{timeShift} * 3600;
        lowest_ = margin + 1 - shift;
        first_ = windowStart - longestSession - margin - shift;
        last_ = windowEnd + margin - shift;
        highest_ = std::int64_t{INT32_MAX} - longestSession - margin - 1 - shift;
    }

    // True for a record that the run drops without a trace: a valid one
    // that certainly lies outside the window, or one of zone 0 (dropped
    // silently whatever else it holds). False leaves the record to
    // checkSession and the exact window test.
    bool passesBy(const SessionRecord& r) const {
        const FidoAddress& a = r.address;
        if (a.zone == 0) return true;
        const std::int64_t t = static_cast<std::int32_t>(r.startTime);
        const bool outside = (t >= lowest_ && t < first_) || (t > last_ && t <= highest_);
        return outside && a.zone > 0 && a.net >= 0 && a.node >= 0 && a.point >= 0 &&
               r.duration <= longestSession;
    }

    // More than any local time can differ from its history time.
    static constexpr std::int64_t margin = 2 * 86400;

  private:
    // Stored start times (the history's clock, without the shift): those
    // from lowest_ to highest_ convert safely; from first_ to last_ they
    // may fall into the window.
    std::int64_t lowest_;
    std::int64_t first_;
    std::int64_t last_;
    std::int64_t highest_;
};

}  // namespace rv
