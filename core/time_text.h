// Breaking calendar times down and writing them in the suite's asctime
// form. The form has a zero-padded two-digit day ("Mon Mar 03 10:15:00
// 2003"), unlike the C library's asctime, so every such text is made here.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>

namespace rv {

// Breaks t down as UTC (no time zone applied). False for a negative t,
// which the histories cannot hold. Reentrant; no shared buffer.
bool breakDownUtc(std::int64_t t, std::tm& out);

// breakDownUtc for a stream of times that mostly stay on one day, as a
// history's records do: the date of the last day is kept.
class UtcDayCache {
  public:
    bool breakDown(std::int64_t t, std::tm& out);

  private:
    std::int64_t day_ = -1;
    std::tm date_{};
};

// The asctime form of tm, without a newline: 24 characters up to the year
// 9999, more for a later year (whose digits are all written).
using AsctimeText = std::array<char, 32>;
AsctimeText asctimeText(const std::tm& tm);

// The asctime form for a stream of times that mostly stay on one day, as
// a history's records do: the text of the last day is kept, and only the
// time of day is written anew.
class AsctimeDayCache {
  public:
    // Writes the 24 characters (no terminator) of t, broken down as UTC,
    // at out; false, writing nothing, for a negative t. A history's times
    // (32 bits and a shift of hours) stay within four-digit years.
    bool write(std::int64_t t, char* out) {
        if (t < 0) return false;
        const std::int64_t day = t / 86400;
        if (day != day_) newDay(day);
        std::memcpy(out, text_.data(), 24);
        const auto secs = static_cast<unsigned>(t - day * 86400);
        // "hh:mm:ss" stands at columns 11 to 18 of "Www Mmm dd hh:mm:ss yyyy".
        twoDigits(out + 11, secs / 3600);
        twoDigits(out + 14, secs / 60 % 60);
        twoDigits(out + 17, secs % 60);
        return true;
    }

  private:
    void newDay(std::int64_t day);
    static void twoDigits(char* out, unsigned value) {
        out[0] = static_cast<char>('0' + value / 10);
        out[1] = static_cast<char>('0' + value % 10);
    }

    std::int64_t day_ = -1;
    AsctimeText text_{};
};

// Shown in place of the asctime form for a time that cannot be broken down.
inline constexpr const char* unreadableTimeText = "??? ??? ?? ??:??:?? ????";

// The local breakdown of t (localtime_r).
std::tm localBreakdown(std::time_t t);

// "YYYY-MM-DDTHH:MM:SS" of the calendar fields, as the machine-readable
// reports write times of day: local, without a zone suffix.
using IsoTimeText = std::array<char, 20>;
IsoTimeText isoDateTime(const std::tm& tm);

// The time a report was made, as its footer states it: the local time now
// as "%A, %d %B %Y, %X".
std::string creationTimeText(std::time_t now);

}  // namespace rv
