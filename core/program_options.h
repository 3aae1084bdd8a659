// What the three programs' command lines share: an argument is an option
// when it starts with '-' or '/'; -c, -h, -? and --help mean the same in
// each, and so does -q, which leaves the banner out; -u chooses the drawing set of pondrel and
// brimsel, and the charset of the text reports of all three.
#pragma once

#include <string_view>
#include <vector>

#include "core/config_model.h"
#include "core/config_reader.h"
#include "core/exit_request.h"
#include "core/program_text.h"

namespace rv {

// The argument is no option at all (it starts with neither '-' nor '/').
inline bool isOptionArgument(std::string_view arg) {
    return arg.size() >= 2 && (arg[0] == '-' || arg[0] == '/');
}

// Handles arg when it is -c, -h, -? or --help and returns true; stop is
// then set when the option ends the run (usage, a path too long). Returns
// false for every other argument.
bool parseSharedOption(std::string_view arg, Configuration& config, const char* usage, Stop& stop);

// Reads args in turn: a non-option ends the run as unknown, a shared
// option is parseSharedOption's, any other own(arg, value)'s (value: what
// follows the option's letter), which returns the stop that ends the run,
// or none.
template <class Own>
Stop parseEachOption(const std::vector<std::string_view>& args, Configuration& config,
                     const char* usage, Own&& own) {
    for (std::string_view arg : args) {
        if (!isOptionArgument(arg)) return unknownOption(arg);
        Stop stop;
        if (parseSharedOption(arg, config, usage, stop)) {
            if (stop) return stop;
            continue;
        }
        if (Stop refused = own(arg, arg.substr(2))) return refused;
    }
    return std::nullopt;
}

// Whether args hold -q. Looked for before the options are read, since the
// banner comes first, ahead of any message about them.
bool bannerLeftOut(const std::vector<std::string_view>& args);

// The value of pondrel's and brimsel's -u: "-" chooses ASCII, "" and "+"
// leave the choice, a code-page name (parseCharset) sets the charset of
// the text report and fixes the Charset keyword; false for anything else.
bool readDrawingOption(std::string_view value, bool& ascii, Settings& settings,
                       FixedByOptions& fixed);

}  // namespace rv
