#include "core/file_macros.h"

#include <array>

namespace rv {

namespace {

void appendNumber(std::string& out, const char* form, int value) {
    std::array<char, 16> digits{};
    const int n = std::snprintf(digits.data(), digits.size(), form, value);
    if (n > 0) out.append(digits.data(), static_cast<std::size_t>(n));
}

}  // namespace

std::string expandFileMacros(std::string_view name, const RunClock& clock, std::FILE* warnings) {
    const RunDate& date = clock.date;
    std::string out;
    out.reserve(name.size() + 16);
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '%') {
            out.push_back(name[i]);
            continue;
        }
        if (i + 1 == name.size()) {
            // Nothing follows to name the macro, so the warning names none.
            std::fputs("Skipping invalid filename macros '%'\n", warnings);
            break;
        }
        const char letter = name[++i];
        switch (letter) {
            case 'D':
            case 'd':
                appendNumber(out, "%02d", date.day);
                break;
            case 'M':
            case 'm':
                appendNumber(out, "%02d", date.month);
                break;
            case 'N':
            case 'n':
                appendNumber(out, "%03d", date.dayOfYear);
                break;
            case 'W':
            case 'w':
                appendNumber(out, "%d", date.weekday);
                break;
            case 'Y':
            case 'y':
                appendNumber(out, "%04d", date.year);
                break;
            case '%':
                out.push_back('%');
                break;
            default:
                std::fprintf(warnings, "Skipping invalid filename macros '%%%c'\n", letter);
                break;
        }
    }
    return out;
}

}  // namespace rv
