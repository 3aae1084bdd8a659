// The tests every record passes before ravlog reports it: a readable
// time, a real address, at most a day long, and an end that fits a
// 32-bit calendar time. The record's time is the stored start plus the
// line's TimeShift, broken down as UTC and read back as local time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

#include "core/local_clock.h"
#include "core/session_record.h"

namespace rv {

enum class Validity : std::uint8_t { valid, dropSilently, invalid };

struct SessionTime {
    std::int64_t shifted = 0;     // stored start plus the shift (the history's clock)
    bool brokenDown = false;      // shifted could be broken down (it is not negative)
    std::tm shown{};              // its UTC breakdown: what the reports print
    std::int64_t localStart = 0;  // local calendar time, when brokenDown
};

// Computes the record's times and judges it. The times are filled in for
// every record whose shifted start is readable, valid or not.
Validity checkSession(const SessionRecord& r, std::int16_t timeShift, LocalTimeConverter& converter,
                      SessionTime& time);

// "Invalid record in <path>: <address> <time>\n" on warnings.
void reportInvalidRecord(std::FILE* warnings, const std::string& path, const SessionRecord& r,
                         const SessionTime& time);

inline constexpr std::int64_t longestSession = 86400;

}  // namespace rv
