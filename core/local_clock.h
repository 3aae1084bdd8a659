// The machine's local time as the suite uses it: the clock of the run,
// taken once at start, and the conversion of history times to local
// calendar times.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>

namespace rv {

// The date of the run, which names the report files (never the report day).
struct RunDate {
    int year = 1970;    // four digits
    int month = 1;      // 1..12
    int day = 1;        // 1..31
    int dayOfYear = 1;  // 1..366
    int weekday = 4;    // Monday = 1 .. Sunday = 7
};

// Everything a run takes from the clock at start. Later conversions of
// broken-down times back to calendar times all use isDst, the
// daylight-saving flag in force at that moment, so that a report made in
// summer reads winter dates the same way every time.
struct RunClock {
    std::time_t now = 0;
    std::tm local{};  // local breakdown of now
    RunDate date;
    std::time_t midnight = 0;  // today's local midnight, read with isDst
    int isDst = 0;
};

RunClock makeRunClock(std::time_t now);

// mktime of the calendar fields with the given daylight-saving flag.
std::time_t localCalendarTime(std::tm fields, int isDst);

// TimeShift AUTO: the offset of local standard time from UTC in whole
// hours at `now` (daylight saving left out), truncated toward zero.
int autoTimeShiftHours(std::time_t now);

// Turns history times into local calendar times. A history time t (the
// history's own clock plus the line's shift) is read as UTC calendar
// fields, and those fields are taken as local time with the run's
// daylight-saving flag: exactly mktime's answer. mktime costs a zone
// lookup (with TZ unset, a stat of the zone file) per call, so the
// converter learns the offset of each quarter hour of t that records come
// back to and then answers without mktime. A quarter hour in which the
// offset changes (a daylight-saving switch) is always handed to mktime.
// The cache is bound to the time zone in force when the converter is made.
class LocalTimeConverter {
  public:
    explicit LocalTimeConverter(int runIsDst);

    // The local calendar time of t; nullopt when t is negative and so
    // cannot be broken down.
    std::optional<std::time_t> toLocal(std::int64_t t);

    // How often mktime was called.
    std::uint64_t mktimeCalls() const { return mktimeCalls_; }

  private:
    static constexpr std::int64_t bucketSeconds = 900;
    static constexpr std::size_t slotCount = 256;  // a power of two

    enum class SlotState : std::uint8_t {
        seen,   // met once, offset not learnt
        whole,  // one offset for the whole quarter hour
        mixed,  // the offset changes inside it
    };

    struct Slot {
        std::int64_t bucket = -1;  // none yet
        std::int64_t offset = 0;   // local time minus t, when whole
        SlotState state = SlotState::seen;
    };

    Slot& slotOf(std::int64_t bucket) {
        return slots_[static_cast<std::size_t>(bucket) & (slotCount - 1)];
    }
    bool followsWhole(std::int64_t bucket);
    std::time_t convertDirect(std::int64_t t);
    void learn(Slot& slot, std::int64_t bucket);

    int runIsDst_;
    std::uint64_t mktimeCalls_ = 0;
    std::array<Slot, slotCount> slots_{};
};

}  // namespace rv
