#include "core/dates.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "core/text_scan.h"
#include "core/time_text.h"

namespace rv {

// ---- Day numbers -------------------------------------------------------------

std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    // Howard Hinnant's days_from_civil.
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::string dayText(std::int64_t day) {
    std::tm date{};
    breakDownUtc(day * 86400, date);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.tm_year + 1900, date.tm_mon + 1,
                  date.tm_mday);
    return text;
}

std::int64_t dayNumber(std::string_view text) {
    // Read by hand: a run reads every recorded day of every line.
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return noDay;
    unsigned value[3] = {0, 0, 0};
    const std::size_t starts[3] = {0, 5, 8};
    const std::size_t lengths[3] = {4, 2, 2};
    for (std::size_t f = 0; f < 3; ++f)
        for (std::size_t i = starts[f]; i < starts[f] + lengths[f]; ++i) {
            if (text[i] < '0' || text[i] > '9') return noDay;
            value[f] = value[f] * 10 + static_cast<unsigned>(text[i] - '0');
        }
    const auto [y, m, d] = value;
    if (m < 1 || m > 12 || d < 1 || d > 31) return noDay;
    // A day past the month's end (2024-02-30) is no date either.
    const std::int64_t number = daysFromCivil(y, m, d);
    if (number >= (m == 12 ? daysFromCivil(y + 1, 1, 1) : daysFromCivil(y, m + 1, 1))) return noDay;
    return number;
}

// ---- Dates -----------------------------------------------------------------

int daysInMonth(int month, int year) {
    switch (month) {
        case 4:
        case 6:
        case 9:
        case 11:
            return 30;
        case 2: {
            const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
            return leap ? 29 : 28;
        }
        default:
            return 31;
    }
}

namespace {

// Steps back n months at once. Below January 1900 the year stays 1900 and
// the months go round within it, as single steps would.
void stepBackMonths(std::tm& date, std::int64_t n) {
    const std::int64_t sinceJanuary1900 = std::int64_t{date.tm_year} * 12 + date.tm_mon;
    if (n <= sinceJanuary1900) {
        const std::int64_t index = sinceJanuary1900 - n;
        date.tm_year = static_cast<int>(index / 12);
        date.tm_mon = static_cast<int>(index % 12);
        return;
    }
    const std::int64_t beyond = n - sinceJanuary1900;
    date.tm_year = 0;
    date.tm_mon = static_cast<int>((12 - beyond % 12) % 12);
}

// Steps back n days one month at a time: from the 1st a step goes to the
// last day of the month before. A kept day beyond its month (the 31st
// carried into February) counts down from where it stands.
void stepBackDays(std::tm& date, std::int64_t n) {
    constexpr std::int64_t daysIn400Years = 146097;
    while (n >= date.tm_mday) {
        n -= date.tm_mday;
        stepBackMonth(date);
        date.tm_mday = daysInMonth(date.tm_mon + 1, date.tm_year + 1900);
        // Shortcuts for far steps. Whole Gregorian cycles that stay above
        // 1900 land on the same date; the last day of 1900 comes round
        // every 365 steps, since 1900 never steps below itself.
        const std::int64_t cycles =
            std::min<std::int64_t>(n / daysIn400Years, (date.tm_year - 1) / 400);
        if (cycles > 0) {
            date.tm_year -= static_cast<int>(cycles * 400);
            n -= cycles * daysIn400Years;
        }
        if (date.tm_year == 0 && date.tm_mon == 11) n %= 365;
    }
    date.tm_mday -= static_cast<int>(n);
}

enum class DateFault { none, year, month, form };

struct DateParts {
    std::int32_t day = 0;
    std::int32_t month = 0;
    std::int32_t year = 0;
    DateFault fault = DateFault::none;  // a part that is not a number
};

// One part: empty (0, the part is kept) or a sign and decimal digits,
// blanks around them allowed.
bool readDatePart(std::string_view text, std::int32_t& value) {
    value = 0;
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    if (text.empty()) return true;
    const std::size_t digits = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (digits == text.size()) return false;
    for (std::size_t i = digits; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    value = leadingInt(text);
    return true;
}

// day[.month[.year]]; a missing or empty part reads as 0. Anything else
// (a word, another separator, a fourth part) is a fault of the part it
// stands in, so that "3-11-2025" is not taken as the 3rd.
DateParts splitDateValue(std::string_view text) {
    DateParts parts;
    const std::size_t firstDot = text.find('.');
    if (!readDatePart(text.substr(0, firstDot), parts.day)) parts.fault = DateFault::form;
    if (firstDot == std::string_view::npos) return parts;
    const std::size_t secondDot = text.find('.', firstDot + 1);
    const std::string_view month =
        text.substr(firstDot + 1, secondDot == std::string_view::npos ? std::string_view::npos
                                                                      : secondDot - firstDot - 1);
    if (!readDatePart(month, parts.month) && parts.fault == DateFault::none)
        parts.fault = DateFault::month;
    if (secondDot != std::string_view::npos &&
        !readDatePart(text.substr(secondDot + 1), parts.year) && parts.fault == DateFault::none)
        parts.fault = DateFault::year;
    return parts;
}

struct DateChange {
    DateFault fault = DateFault::none;
    bool dayAdjusted = false;  // a day beyond the month was cut to its last day
};

// The year first, then the month, then the day, so that a day is checked
// against the month it ends up in.
DateChange applyDateParts(const DateParts& parts, std::tm& date) {
    DateChange change;
    if (parts.fault != DateFault::none) return {parts.fault, false};
    if (parts.year > 0) {
        if (parts.year < 1900) return {DateFault::year, false};
        date.tm_year = parts.year - 1900;
    } else if (parts.year < 0) {
        date.tm_year = std::max<std::int64_t>(0, std::int64_t{date.tm_year} + parts.year);
    }
    if (parts.month > 12) return {DateFault::month, false};
    if (parts.month > 0) {
        date.tm_mon = parts.month - 1;
    } else if (parts.month < 0) {
        stepBackMonths(date, -std::int64_t{parts.month});
    }
    if (parts.day > 0) {
        const int last = daysInMonth(date.tm_mon + 1, date.tm_year + 1900);
        change.dayAdjusted = parts.day > last;
        date.tm_mday = change.dayAdjusted ? last : parts.day;
    } else if (parts.day < 0) {
        stepBackDays(date, -std::int64_t{parts.day});
    }
    return change;
}

// "<lead> adjusted to Www Mmm dd hh:mm:ss yyyy\n", the weekday that of the
// adjusted date.
void warnAdjusted(std::FILE* warnings, const char* lead, std::tm date) {
    const std::int64_t days =
        daysFromCivil(std::int64_t{date.tm_year} + 1900, static_cast<unsigned>(date.tm_mon + 1),
                      static_cast<unsigned>(date.tm_mday));
    date.tm_wday = static_cast<int>(((days + 4) % 7 + 7) % 7);  // 1970-01-01 was a Thursday
    std::fprintf(warnings, "%s adjusted to %s\n", lead, asctimeText(date).data());
}

struct DateMessages {
    const char* invalidYear;
    const char* invalidMonth;
    const char* adjustedLead;
};

// A value that is no date at all has no message of its own option.
constexpr const char* invalidDateLead = "Invalid date: ";

DateResult resolveDate(std::string_view text, std::tm date, const DateMessages& messages,
                       const RunClock& clock, std::FILE* warnings) {
    const DateChange change = applyDateParts(splitDateValue(text), date);
    if (change.fault != DateFault::none) {
        const char* lead = change.fault == DateFault::year    ? messages.invalidYear
                           : change.fault == DateFault::month ? messages.invalidMonth
                                                              : invalidDateLead;
        return {0, failure(std::string(lead).append(text).append("\n"))};
    }
    if (change.dayAdjusted && warnings) warnAdjusted(warnings, messages.adjustedLead, date);
    return {localCalendarTime(date, clock.isDst), std::nullopt};
}

std::tm runDayAt(const RunClock& clock, int hour, int minute, int second) {
    std::tm date = clock.local;
    date.tm_hour = hour;
    date.tm_min = minute;
    date.tm_sec = second;
    return date;
}

}  // namespace

void stepBackMonth(std::tm& date) {
    stepBackMonths(date, 1);
}

DateResult parseDate(std::string_view text, const RunClock& clock, std::FILE* warnings) {
    static constexpr DateMessages messages{
        "Invalid Date (year): ", "Invalid Date (month): ", "Date"};
    return resolveDate(text, runDayAt(clock, 0, 0, 0), messages, clock, warnings);
}

DateResult parsePeriodBound(std::string_view text, bool isEnd, const RunClock& clock,
                            std::FILE* warnings) {
    static constexpr DateMessages begin{
        "Invalid begin year: ", "Invalid begin month: ", "Begin date"};
    static constexpr DateMessages end{"Invalid end year: ", "Invalid end month: ", "End date"};
    if (isEnd) return resolveDate(text, runDayAt(clock, 23, 59, 59), end, clock, warnings);
    return resolveDate(text, runDayAt(clock, 0, 0, 0), begin, clock, warnings);
}

Stop checkPeriod(const DatePeriod& period, std::FILE* err) {
    if (period.begin < period.end) return std::nullopt;
    const auto text = [](std::time_t t) {
        return std::string(asctimeText(localBreakdown(t)).data()) + "\n";
    };
    std::fprintf(err, "Invalid date period\nBegin: %s", text(period.begin).c_str());
    return failure("End:   " + text(period.end));
}

std::int64_t localFieldsAsUtc(std::time_t t) {
    const std::tm tm = localBreakdown(t);
    const std::int64_t days =
        daysFromCivil(std::int64_t{tm.tm_year} + 1900, static_cast<unsigned>(tm.tm_mon + 1),
                      static_cast<unsigned>(tm.tm_mday));
    return days * 86400 + tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
}

// ---- Time windows ----------------------------------------------------------

namespace {

// Reads the parts of a window value; blanks may stand around every number
// and separator.
class WindowScanner {
  public:
    explicit WindowScanner(std::string_view text) : text_(text) {}

    void skipBlanks() {
        while (pos_ < text_.size() && isBlank(text_[pos_]))
            ++pos_;
    }

    bool accept(char separator) {
        skipBlanks();
        if (pos_ < text_.size() && text_[pos_] == separator) {
            ++pos_;
            return true;
        }
        return false;
    }

    // A run of digits, empty meaning 0; saturates rather than wraps.
    std::uint32_t number() {
        skipBlanks();
        std::uint32_t value = 0;
        for (; pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; ++pos_)
            value = std::min<std::uint32_t>(
                value * 10 + static_cast<std::uint32_t>(text_[pos_] - '0'), 100000);
        return value;
    }

    // Optional ":minutes" and ":seconds" behind an hour.
    bool minutesAndSeconds(std::uint32_t& minute, std::uint32_t& second) {
        minute = 0;
        second = 0;
        if (!accept(':')) return true;
        minute = number();
        if (minute > 59) return false;
        if (!accept(':')) return true;
        second = number();
        return second <= 59;
    }

    // Only a blank, ';', ',' or the end may follow the window.
    bool atValueEnd() {
        skipBlanks();
        return pos_ >= text_.size() || !isValueChar(text_[pos_]);
    }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

bool parseTimeWindow(std::string_view text, TimeWindow& window) {
    WindowScanner scan(text);
    const std::uint32_t startHour = scan.number();
    if (startHour > 23) return false;
    std::uint32_t startMinute = 0;
    std::uint32_t startSecond = 0;
    if (!scan.minutesAndSeconds(startMinute, startSecond)) return false;
    if (!scan.accept('-')) return false;
    std::uint32_t endHour = scan.number();
    std::uint32_t endMinute = 0;
    std::uint32_t endSecond = 0;
    if (!scan.minutesAndSeconds(endMinute, endSecond)) return false;
    if (!scan.atValueEnd()) return false;

    std::uint32_t bound = 0;
    if (endMinute != 0 || endSecond != 0) {
        if (endHour > 23) return false;
        bound = endHour + 1;
    } else if (endHour == 0 || endHour == 24) {
        // 0 reads as 24, the end of the day: taking its bound as 23 would
        // leave the last hour off the charts.
        endHour = 23;
        endMinute = 59;
        endSecond = 59;
        bound = 24;
    } else if (endHour > 24) {
        return false;  // beyond the report day, longer than a chart can show
    } else {
        bound = endHour;
    }

    window.startHour = static_cast<std::uint16_t>(startHour);
    window.startMinute = static_cast<std::uint8_t>(startMinute);
    window.startSecond = static_cast<std::uint8_t>(startSecond);
    window.endHour = static_cast<std::uint8_t>(endHour);
    window.endMinute = static_cast<std::uint8_t>(endMinute);
    window.endSecond = static_cast<std::uint8_t>(endSecond);
    window.endHourBound = static_cast<std::uint16_t>(bound);
    return true;
}

ReportPeriod computePeriod(std::time_t reportDate, const TimeWindow& window) {
    const bool wraps = window.endHourBound <= window.startHour;
    ReportPeriod period;
    period.windowHours = wraps ? window.endHourBound + 24 - window.startHour
                               : window.endHourBound - window.startHour;
    const std::time_t start = std::time_t{window.startHour} * 3600 +
                              std::time_t{window.startMinute} * 60 + window.startSecond;
    const std::time_t end =
        std::time_t{window.endHour} * 3600 + std::time_t{window.endMinute} * 60 + window.endSecond;
    period.windowStart = reportDate + start - (wraps ? 86400 : 0);
    period.windowEnd = reportDate + end;
    return period;
}

}  // namespace rv
