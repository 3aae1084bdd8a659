#include "core/time_text.h"

#include <cstring>

#include "core/dates.h"

namespace rv {

bool breakDownUtc(std::int64_t t, std::tm& out) {
    if (t < 0) return false;
    std::int64_t days = t / 86400;
    auto secs = static_cast<int>(t % 86400);
    out = std::tm{};
    out.tm_hour = secs / 3600;
    out.tm_min = secs / 60 % 60;
    out.tm_sec = secs % 60;
    out.tm_wday = static_cast<int>((days + 4) % 7);  // 1970-01-01 was a Thursday
    // civil_from_days
    std::int64_t z = days + 719468;
    const std::int64_t era = z / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t year = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    year += month <= 2;
    out.tm_year = static_cast<int>(year - 1900);
    out.tm_mon = static_cast<int>(month - 1);
    out.tm_mday = static_cast<int>(day);
    out.tm_yday = static_cast<int>(days - daysFromCivil(year, 1, 1));
    return true;
}

bool UtcDayCache::breakDown(std::int64_t t, std::tm& out) {
    if (t < 0) return false;
    const std::int64_t day = t / 86400;
    if (day != day_ && breakDownUtc(day * 86400, date_)) day_ = day;
    const auto secs = static_cast<int>(t % 86400);
    out = date_;
    out.tm_hour = secs / 3600;
    out.tm_min = secs / 60 % 60;
    out.tm_sec = secs % 60;
    return true;
}

AsctimeText asctimeText(const std::tm& tm) {
    static constexpr char weekdays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr char months[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    AsctimeText text{};
    const char* wd = tm.tm_wday >= 0 && tm.tm_wday < 7 ? weekdays[tm.tm_wday] : "???";
    const char* mo = tm.tm_mon >= 0 && tm.tm_mon < 12 ? months[tm.tm_mon] : "???";
    auto two = [](char* p, int v) {
        v = (v % 100 + 100) % 100;
        p[0] = static_cast<char>('0' + v / 10);
        p[1] = static_cast<char>('0' + v % 10);
    };
    // "Www Mmm dd hh:mm:ss yyyy": 24 characters up to the year 9999.
    char* p = text.data();
    std::memcpy(p, wd, 3);
    p[3] = ' ';
    std::memcpy(p + 4, mo, 3);
    p[7] = ' ';
    two(p + 8, tm.tm_mday);
    p[10] = ' ';
    two(p + 11, tm.tm_hour);
    p[13] = ':';
    two(p + 14, tm.tm_min);
    p[16] = ':';
    two(p + 17, tm.tm_sec);
    p[19] = ' ';
    // Four digits at least, as the dump's column has them; a later year
    // is written whole rather than cut.
    std::int64_t year = std::int64_t{tm.tm_year} + 1900;
    p += 20;
    if (year < 0) {
        *p++ = '-';
        year = -year;
    }
    char digits[20];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + year % 10);
        year /= 10;
    } while (year != 0 || n < 4);
    while (n > 0)
        *p++ = digits[--n];
    *p = '\0';
    return text;
}

void AsctimeDayCache::newDay(std::int64_t day) {
    std::tm date{};
    breakDownUtc(day * 86400, date);
    text_ = asctimeText(date);
    day_ = day;
}

std::tm localBreakdown(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

IsoTimeText isoDateTime(const std::tm& tm) {
    IsoTimeText text{};
    char* p = text.data();
    const auto digits = [](char* at, int value, int count) {
        value = value < 0 ? 0 : value;
        for (int i = count - 1; i >= 0; --i, value /= 10)
            at[i] = static_cast<char>('0' + value % 10);
    };
    digits(p, tm.tm_year + 1900, 4);
    p[4] = '-';
    digits(p + 5, tm.tm_mon + 1, 2);
    p[7] = '-';
    digits(p + 8, tm.tm_mday, 2);
    p[10] = 'T';
    digits(p + 11, tm.tm_hour, 2);
    p[13] = ':';
    digits(p + 14, tm.tm_min, 2);
    p[16] = ':';
    digits(p + 17, tm.tm_sec, 2);
    p[19] = '\0';
    return text;
}

std::string creationTimeText(std::time_t now) {
    std::tm tm = localBreakdown(now);
    char text[512];
    const std::size_t n = std::strftime(text, sizeof text, "%A, %d %B %Y, %X", &tm);
    return std::string(text, n);
}

}  // namespace rv
