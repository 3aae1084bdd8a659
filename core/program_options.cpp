#include "core/program_options.h"

#include "core/program_text.h"
#include "core/text_scan.h"

namespace rv {

bool parseSharedOption(std::string_view arg, Configuration& config, const char* usage, Stop& stop) {
    const std::string_view value = arg.substr(2);
    switch (arg[1]) {
        case 'c':
            if (value.size() > maxPathLength)
                stop = configPathTooLong(value);
            else
                config.settings.configPath = value;
            return true;
        case 'h': {
            Line line;
            // A -h without a file name asks for help.
            if (parseHistoryValue(value, line.source) == 0)
                stop = ExitRequest{0, usage};
            else
                config.lines.push_back(std::move(line));
            return true;
        }
        case '?':
            stop = ExitRequest{0, usage};
            return true;
        case 'q':
            if (!value.empty()) stop = unknownOption(arg);
            return true;
        case '-':
            stop = value.size() == 4 && startsWithNoCase(value, "help") ? ExitRequest{0, usage}
                                                                        : unknownOption(arg);
            return true;
        default:
            return false;
    }
}

bool bannerLeftOut(const std::vector<std::string_view>& args) {
    for (std::string_view arg : args)
        if (arg.size() == 2 && isOptionArgument(arg) && arg[1] == 'q') return true;
    return false;
}

bool readDrawingOption(std::string_view value, bool& ascii, Settings& settings,
                       FixedByOptions& fixed) {
    if (value == "-") {
        ascii = true;
        return true;
    }
    if (value.empty() || value == "+") return true;
    const std::optional<Charset> charset = parseCharset(value);
    if (!charset) return false;
    settings.charset = *charset;
    fixed.set(Keyword::charset);
    return true;
}

}  // namespace rv
