#include "core/history_source.h"

#include "core/text_scan.h"

namespace rv {

namespace {

bool isNameChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return u > ' ' && u < 128 && c != ';' && c != ',';
}

// Where the scan for the second BinkD number gives up.
bool endsParameterScan(char c) {
    auto u = static_cast<unsigned char>(c);
    return u < 32 || u >= 128 || c == ';' || c == '%';
}

}  // namespace

std::size_t parseHistoryValue(std::string_view value, HistorySource& source) {
    std::size_t len = 0;
    while (len < value.size() && isNameChar(value[len]))
        ++len;
    if (len == 0) return 0;
    bool overlong = len > maxHistoryPath;
    if (overlong) len = maxHistoryPath;

    source.path.assign(value.substr(0, len));
    source.type = HistoryType::plain28;
    source.n = 0;
    source.m = 0;
    source.pairLetter = -1;

    if (!overlong && len < value.size() && value[len] == ',') {
        source.type = HistoryType::binkd;
        std::string_view rest = value.substr(len + 1);
        source.n = static_cast<std::uint16_t>(leadingInt(rest));
        for (std::size_t i = 0; i < rest.size() && !endsParameterScan(rest[i]); ++i) {
            if (rest[i] == ',') {
                source.m = static_cast<std::uint16_t>(leadingInt(rest.substr(i + 1)));
                break;
            }
        }
        return len;
    }
    if (len >= 4 && source.path[len - 4] == '.' &&
        (startsWithNoCase(std::string_view(source.path).substr(len - 3), "IHS") ||
         startsWithNoCase(std::string_view(source.path).substr(len - 3), "OHS"))) {
        source.pairLetter = static_cast<int>(len - 3);
    }
    return len;
}

void swapPairLetter(HistorySource& source) {
    if (source.pairLetter < 0) return;
    char& c = source.path[static_cast<std::size_t>(source.pairLetter)];
    switch (c) {
        case 'I':
            c = 'O';
            break;
        case 'O':
            c = 'I';
            break;
        case 'i':
            c = 'o';
            break;
        case 'o':
            c = 'i';
            break;
        default:
            break;
    }
}

}  // namespace rv
