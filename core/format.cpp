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

TrafficText formatTraffic(std::uint64_t bytes, bool compact) {
    TrafficText t;
    const ull mib = bytes >> 20;
    const ull tenth = ((bytes & 0xFFFFF) * 10) >> 20;
    if (compact) {
        if (bytes < 1024)
            put(t, "  %4llu", static_cast<ull>(bytes));
        else if (bytes < 1000000)
            put(t, " %4lluk", static_cast<ull>(bytes >> 10));
        else if (mib < 100)
            put(t, "%3llu.%1lluM", mib, tenth);
        else
            put(t, "%5lluM", mib);
    } else {
        if (bytes < 1000000)
            put(t, "%6llu", static_cast<ull>(bytes));
        else if (bytes < 1048576000ULL)
            put(t, "%3llu.%1lluM", mib, tenth);
        else
            put(t, "%5lluM", mib);
    }
    return t;
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
    if (value >= 0) return out + std::sprintf(out, "%d", value);
    *out = value == anyComponent ? '*' : '#';
    return out + 1;
}

AddressText formatAddress(const FidoAddress& address, std::size_t width) {
    AddressText t;
    width = std::min(width, t.chars.size() - 1);
    if (const SessionKind* kind = kindOfAddress(address)) {
        std::memcpy(t.chars.data(), kind->displayText.data(), kind->displayText.size());
        t.size = kind->displayText.size();
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

std::size_t displayWidth(std::string_view text) {
    std::size_t n = 0;
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x80 || u > 0xBF) ++n;
    }
    return n;
}

}  // namespace rv
