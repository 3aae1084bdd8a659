#include "core/format.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/session_kind.h"

namespace rv {

namespace {

__attribute__((format(printf, 3, 4))) std::size_t putText(char* out, std::size_t capacity,
                                                          const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(out, capacity, fmt, ap);
    va_end(ap);
    return n < 0 ? 0 : std::min(static_cast<std::size_t>(n), capacity - 1);
}

#define put(text, ...) \
    ((text).size = putText((text).chars.data(), (text).chars.size(), __VA_ARGS__))

using ull = unsigned long long;

}  // namespace

std::string format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(out.data(), out.size() + 1, fmt, ap);
    va_end(ap);
    return out;
}

char* writeUnsigned(char* out, std::uint64_t value, std::size_t width) {
    // Two digits per step from a table: the dump and the data reports
    // write tens of millions of numbers.
    static constexpr char pairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char digits[20];
    char* p = digits + sizeof digits;
    while (value >= 100) {
        const std::size_t pair = static_cast<std::size_t>(value % 100) * 2;
        value /= 100;
        *--p = pairs[pair + 1];
        *--p = pairs[pair];
    }
    if (value >= 10) {
        const std::size_t pair = static_cast<std::size_t>(value) * 2;
        *--p = pairs[pair + 1];
        *--p = pairs[pair];
    } else {
        *--p = static_cast<char>('0' + value);
    }
    const auto n = static_cast<std::size_t>(digits + sizeof digits - p);
    for (std::size_t i = n; i < width; ++i)
        *out++ = ' ';
    std::memcpy(out, p, n);
    return out + n;
}

namespace {

template <std::size_t N>
void finish(FixedText<N>& t, const char* end) {
    t.size = static_cast<std::size_t>(end - t.chars.data());
    t.chars[t.size] = '\0';
}

}  // namespace

NumberText formatUnsigned(std::uint64_t value, std::size_t width) {
    NumberText t;
    finish(t, writeUnsigned(t.chars.data(), value, std::min(width, t.chars.size() - 1)));
    return t;
}

TrafficForm trafficForm(std::uint64_t largest) {
    if (largest < 1000000) return {};
    if (largest < 1048576000ULL) return {20, true, 'M'};
    static constexpr char units[] = "MGTP";
    TrafficForm form{20, false, 'M'};
    for (std::uint64_t value = largest >> 20, unit = 0; value > 99999 && unit + 2 < sizeof units;
         value >>= 10, ++unit) {
        form.shift += 10;
        form.unit = units[unit + 1];
    }
    return form;
}

TrafficText formatTrafficAs(std::uint64_t bytes, const TrafficForm& form, bool padded) {
    TrafficText t;
    char* p = t.chars.data();
    if (form.unit == '\0') {
        p = writeUnsigned(p, bytes, padded ? 6 : 0);
    } else if (form.tenths) {
        p = writeUnsigned(p, bytes >> 20, padded ? 3 : 0);
        *p++ = '.';
        *p++ = static_cast<char>('0' + (((bytes & 0xFFFFF) * 10) >> 20));
        *p++ = 'M';
    } else {
        p = writeUnsigned(p, bytes >> form.shift, padded ? 5 : 0);
        *p++ = form.unit;
    }
    finish(t, p);
    return t;
}

TrafficText formatTraffic(std::uint64_t bytes, bool compact) {
    if (!compact) return formatTrafficAs(bytes, trafficForm(bytes), true);
    TrafficText t;
    char* p = t.chars.data();
    if (bytes < 1024) {
        *p++ = ' ';
        *p++ = ' ';
        p = writeUnsigned(p, bytes, 4);
    } else if (bytes < 1000000) {
        *p++ = ' ';
        p = writeUnsigned(p, bytes >> 10, 4);
        *p++ = 'k';
    } else if ((bytes >> 20) < 100) {
        p = writeUnsigned(p, bytes >> 20, 3);
        *p++ = '.';
        *p++ = static_cast<char>('0' + (((bytes & 0xFFFFF) * 10) >> 20));
        *p++ = 'M';
    } else {
        // Five digits of the largest unit that leaves at most five.
        static constexpr char units[] = "MGTP";
        std::uint64_t value = bytes >> 20;
        std::size_t unit = 0;
        for (; value > 99999 && unit + 1 < sizeof units - 1; ++unit)
            value >>= 10;
        p = writeUnsigned(p, value, 5);
        *p++ = units[unit];
    }
    finish(t, p);
    return t;
}

namespace {

// Right-aligns text in width columns (no change when it is wider).
NumberText rightAligned(const char* text, std::size_t size, std::size_t width) {
    NumberText t;
    width = std::min(width, t.chars.size() - 1);
    const std::size_t pad = size < width ? width - size : 0;
    std::memset(t.chars.data(), ' ', pad);
    std::memcpy(t.chars.data() + pad, text, size);
    finish(t, t.chars.data() + pad + size);
    return t;
}

}  // namespace

NumberText formatCount(std::uint64_t value, std::size_t width) {
    NumberText plain = formatUnsigned(value, width);
    if (plain.size <= width) return plain;
    static constexpr char units[] = "kMG";
    char text[24];
    std::size_t size = 0;
    for (const char unit : std::string_view(units)) {
        // A unit that leaves nothing shows nothing: the wider text stays.
        if (value < 1000) return size == 0 ? plain : rightAligned(text, size, width);
        value /= 1000;
        char* end = writeUnsigned(text, value, 0);
        *end++ = unit;
        size = static_cast<std::size_t>(end - text);
        if (size <= width) break;
    }
    return rightAligned(text, size, width);
}

NumberText formatDuration(std::uint64_t seconds, std::size_t width) {
    const Duration d = splitDuration(seconds);
    char text[40];
    const auto twoDigits = [](char* out, std::uint64_t value) {
        out[0] = static_cast<char>('0' + value / 10);
        out[1] = static_cast<char>('0' + value % 10);
        return out + 2;
    };
    char* end = writeUnsigned(text, d.hours, width > 6 ? width - 6 : 0);
    *end++ = ':';
    end = twoDigits(end, d.minutes);
    *end++ = ':';
    end = twoDigits(end, d.seconds);
    if (static_cast<std::size_t>(end - text) <= width)
        return rightAligned(text, static_cast<std::size_t>(end - text), width);
    char* p = writeUnsigned(text, d.hours / 24, 0);
    *p++ = 'd';
    char* const daysEnd = p;
    p = twoDigits(p, d.hours % 24);
    *p++ = ':';
    p = twoDigits(p, d.minutes);
    if (static_cast<std::size_t>(p - text) > width) {
        p = twoDigits(daysEnd, d.hours % 24);
        *p++ = 'h';
        if (static_cast<std::size_t>(p - text) > width) p = daysEnd;
    }
    return rightAligned(text, static_cast<std::size_t>(p - text), width);
}

constexpr FourColumns fourColumnTexts = [] {
    FourColumns texts{};
    for (std::uint32_t value = 0; value < texts.size(); ++value)
        writeDigitsBackward(texts[value].data() + 4, value, 4);
    return texts;
}();

void writeCompactTraffic(char* out, std::uint32_t bytes) {
    // Every number below is under 10,000: bytes under 1024, KiB under
    // 977, MiB under 4096.
    const std::uint32_t mib = bytes >> 20;
    if (bytes < 1024) {
        std::memcpy(out, "  ", 2);
        std::memcpy(out + 2, fourColumns(bytes), 4);
    } else if (bytes < 1000000) {
        out[0] = ' ';
        std::memcpy(out + 1, fourColumns(bytes >> 10), 4);
        out[5] = 'k';
    } else if (mib < 100) {
        std::memcpy(out, fourColumns(mib) + 1, 3);
        out[3] = '.';
        out[4] = static_cast<char>('0' + (((bytes & 0xFFFFF) * 10) >> 20));
        out[5] = 'M';
    } else {
        out[0] = ' ';
        std::memcpy(out + 1, fourColumns(mib), 4);
        out[5] = 'M';
    }
}

PercentText formatPercent(std::uint64_t part, std::uint64_t whole) {
    PercentText t;
    if (whole == 0) {
        put(t, "    0%%");
    } else if (part >= whole) {
        put(t, "  100%%");
    } else {
        // part < whole, so part * 1000 cannot overflow for any report value
        // below 2^54; wider inputs are scaled down first.
        while (part > (UINT64_MAX / 1000)) {
            part >>= 1;
            whole >>= 1;
        }
        const ull permille = part * 1000 / whole;
        if (permille == 0)
            put(t, "    0%%");
        else
            put(t, "%3llu.%llu%%", permille / 10, permille % 10);
    }
    return t;
}

Duration splitDuration(std::uint64_t seconds) {
    return Duration{seconds / 3600, seconds / 60 % 60, seconds % 60};
}

char* formatAddressPart(std::int16_t value, char* out) {
    if (value >= 0) return writeUnsigned(out, static_cast<std::uint64_t>(value), 0);
    *out = value == anyComponent ? '*' : '#';
    return out + 1;
}

AddressText formatAddress(const FidoAddress& address, std::size_t width) {
    AddressText t;
    width = std::min(width, t.chars.size() - 1);
    if (const SessionKind* kind = kindOfAddress(address)) {
        // The names are at most 8 characters: cutting the display text to
        // the column loses only blanks.
        t.size = std::min(kind->displayText.size(), width);
        std::memcpy(t.chars.data(), kind->displayText.data(), t.size);
        t.chars[t.size] = '\0';
        return t;
    }
    char text[32];
    char* p = formatAddressPart(address.zone, text);
    *p++ = ':';
    p = formatAddressPart(address.net, p);
    *p++ = '/';
    p = formatAddressPart(address.node, p);
    *p++ = '.';
    p = formatAddressPart(address.point, p);
    const char* start = text;
    if (static_cast<std::size_t>(p - text) > width) {
        start =
            static_cast<const char*>(std::memchr(text, ':', static_cast<std::size_t>(p - text))) +
            1;
    }
    const auto len = std::min(static_cast<std::size_t>(p - start), width);
    std::memcpy(t.chars.data(), start, len);
    std::memset(t.chars.data() + len, ' ', width - len);
    t.size = width;
    t.chars[width] = '\0';
    return t;
}

int compareAddress(const FidoAddress& pattern, const FidoAddress& value) {
    const std::int16_t p[4] = {pattern.zone, pattern.net, pattern.node, pattern.point};
    const std::int16_t v[4] = {value.zone, value.net, value.node, value.point};
    for (int i = 0; i < 4; ++i) {
        if (p[i] < 0 || v[i] < 0 || p[i] == v[i]) continue;
        return p[i] < v[i] ? -1 : 1;
    }
    return 0;
}

std::string_view trimmedCell(std::string_view cell) {
    while (!cell.empty() && cell.back() == ' ')
        cell.remove_suffix(1);
    return cell;
}

}  // namespace rv
