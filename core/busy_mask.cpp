#include "core/busy_mask.h"

namespace rv {

std::uint8_t parseBusyHistMask(std::string_view text, std::FILE* warnings) {
    std::uint8_t mask = 0;
    for (char c : text) {
        switch (c) {
            case 'T':
            case 't':
                mask |= BusyMask::busy;
                break;
            case 'I':
            case 'i':
                mask |= BusyMask::incoming;
                break;
            case 'O':
            case 'o':
                mask |= BusyMask::outgoing;
                break;
            case 'P':
            case 'p':
                mask |= BusyMask::protectedOnly;
                break;
            case 'U':
            case 'u':
                mask |= BusyMask::unprotected;
                break;
            case '$':
                mask |= BusyMask::skipEmpty;
                break;
            case '\n':
                break;
            default:
                std::fprintf(warnings, "Skipping invalid character '%c' in BusyHist mask\n", c);
                break;
        }
    }
    return mask;
}

}  // namespace rv
