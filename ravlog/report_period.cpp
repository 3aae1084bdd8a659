#include "ravlog/report_period.h"

#include <algorithm>

#include "core/time_text.h"

namespace rv::ravlog {

namespace {

// The day a window bound falls on. The bound was made from that day's
// local midnight read with the daylight-saving flag of the run's start,
// which is an hour off on days of the other season: a bound in hour 0 or
// 23 would then show the day before or after. The day is read at its
// noon, where an hour cannot move the date.
std::tm dayOfBound(std::time_t bound, unsigned hour, unsigned minute, unsigned second) {
    const std::time_t noon = bound - (hour * 3600 + minute * 60 + second) + 12 * 3600;
    return localBreakdown(noon);
}

std::string dayText(const std::tm& day) {
    char text[121];
    const std::size_t n = std::strftime(text, sizeof text, ", %d %B %Y, %A", &day);
    return std::string(text, n);
}

void blanks(std::FILE* out, long n) {
    for (long i = 0; i < n; ++i)
        std::fputc(' ', out);
}

}  // namespace

PeriodDays periodDays(const PeriodView& p) {
    const TimeWindow& w = p.window;
    return {dayOfBound(p.windowStart, w.startHour, w.startMinute, w.startSecond),
            dayOfBound(p.windowEnd, w.endHour, w.endMinute, w.endSecond)};
}

namespace {

std::tm atTime(std::tm day, int hour, int minute, int second) {
    day.tm_hour = hour;
    day.tm_min = minute;
    day.tm_sec = second;
    return day;
}

}  // namespace

PeriodBounds periodBounds(const PeriodView& p) {
    const TimeWindow& w = p.window;
    const PeriodDays days = periodDays(p);
    return {atTime(days.first, w.startHour, w.startMinute, w.startSecond),
            atTime(days.last, w.endHour, w.endMinute, w.endSecond)};
}

void writePeriodHeader(std::FILE* out, const PeriodView& p) {
    const TimeWindow& w = p.window;
    const PeriodDays days = periodDays(p);
    const std::string date1 = dayText(days.first);
    const auto len1 = static_cast<long>(date1.size());
    if (w.startHour < w.endHourBound) {
        blanks(out, 12 - len1 / 2);
        std::fprintf(out, "From %d:%02d:%02d to %d:%02d:%02d%s\n\n", w.startHour, w.startMinute,
                     w.startSecond, w.endHour, w.endMinute, w.endSecond, date1.c_str());
        return;
    }
    const std::string date2 = dayText(days.last);
    const long n = 18 - std::max(len1, static_cast<long>(date2.size())) / 2;
    blanks(out, n);
    std::fprintf(out, "From: %2d:%02d:%02d%s\n", w.startHour, w.startMinute, w.startSecond,
                 date1.c_str());
    blanks(out, 15);
    blanks(out, n);
    std::fprintf(out, "To  : %2d:%02d:%02d%s\n\n", w.endHour, w.endMinute, w.endSecond,
                 date2.c_str());
}

}  // namespace rv::ravlog
