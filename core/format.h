// Fixed-width texts of report cells: traffic, percentages, durations and
// addresses, and the address order that decides which entry a session
// belongs to. Counters are 64-bit: values within the classic 32-bit
// ranges give the classic widths, larger ones widen the text rather than
// wrap.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/fido_address.h"
#include "core/fixed_text.h"

namespace rv {

using TrafficText = FixedText<24>;
using PercentText = FixedText<8>;
using AddressText = FixedText<24>;
using NumberText = FixedText<24>;

// printf-style formatting into a std::string, for messages.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// 6 characters. Plain form for report tables, compact form for history
// rows and the dump. Past 99999 MiB both go on in GiB, TiB and PiB
// ("   97G"), so that even 64-bit sums keep the 6 characters.
TrafficText formatTraffic(std::uint64_t bytes, bool compact);

// The plain form's choice for a figure, so that a column of figures can
// read in the form of its largest: bytes under 1,000,000; tenths of an M
// below 1000M; above, whole units of the largest unit that leaves at most
// five digits.
struct TrafficForm {
    unsigned shift = 0;  // bytes >> shift is the whole unit
    bool tenths = false;
    char unit = '\0';  // M, G, T or P; none for bytes
};
TrafficForm trafficForm(std::uint64_t largest);
// bytes in form: the plain form's widths when padded, or bare ("0.1M").
TrafficText formatTrafficAs(std::uint64_t bytes, const TrafficForm& form, bool padded);

// Figures of a long period in a fixed column. Each gives today's form
// while the value fits the width, and a shorter form where it does not,
// right-aligned in width columns as long as any form fits.

// A count: "%*llu", then in thousands ("12k"), millions ("12M") or
// milliards ("12G"), truncated.
NumberText formatCount(std::uint64_t value, std::size_t width);
// A duration: hours, minutes and seconds ("%*llu:%02llu:%02llu", the
// hours in width - 6 columns), then days, hours and minutes ("60d18:32"),
// days and hours ("3652d07h"), days ("3652500d").
NumberText formatDuration(std::uint64_t seconds, std::size_t width);

// An unsigned decimal right-aligned in at least width columns (printf's
// "%*llu"), without printf: the dump and the tables format millions of cells.
NumberText formatUnsigned(std::uint64_t value, std::size_t width);
// The same written at out, which has room for max(width, 20) characters;
// returns the end.
char* writeUnsigned(char* out, std::uint64_t value, std::size_t width);

// Fixed fields, for rows whose frame is written once and whose cells are
// overwritten record by record.

// The numbers 0 to 9999 right-aligned in 4 columns ("   0" to "9999"),
// made at compile time: a compact traffic cell's number, and most
// durations, is then one copy, with no branch on how many digits it has
// (the values of a history vary too widely for such branches to be
// guessed right).
using FourColumns = std::array<std::array<char, 4>, 10000>;
extern const FourColumns fourColumnTexts;
inline const char* fourColumns(std::uint32_t value) {
    return fourColumnTexts[value].data();
}

// The digits of value right-aligned into the width characters before
// end, blank-padded on the left; value must have at most width digits.
constexpr void writeDigitsBackward(char* end, std::uint32_t value, std::size_t width) {
    char* const start = end - width;
    do {
        *--end = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (end != start)
        *--end = ' ';
}

// The compact form of formatTraffic in the 6 characters at out (no
// terminator), with the same k and M steps and truncation.
void writeCompactTraffic(char* out, std::uint32_t bytes);

// 7 characters: "    0%", "  100%" or " 12.3%".
PercentText formatPercent(std::uint64_t part, std::uint64_t whole);

struct Duration {
    std::uint64_t hours;
    std::uint64_t minutes;
    std::uint64_t seconds;
};
Duration splitDuration(std::uint64_t seconds);

// Writes one address component ("%d", '*' for -1, '#' for other negatives)
// without a terminator; returns the position behind it.
char* formatAddressPart(std::int16_t value, char* out);

// The address in exactly width columns (width at most 15 in practice): a
// The Brake! event shows its display text, cut to the width.
AddressText formatAddress(const FidoAddress& address, std::size_t width);

// -1, 0 or 1; negative components (wildcards) compare equal to anything.
int compareAddress(const FidoAddress& pattern, const FidoAddress& value);

// A fixed-width cell without the blanks that pad it on the right.
std::string_view trimmedCell(std::string_view cell);

}  // namespace rv
