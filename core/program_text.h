// Texts and endings that the three programs share.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "core/exit_request.h"

namespace rv {

inline constexpr std::string_view platformTag = "Linux";
inline constexpr std::string_view versionText = RV_VERSION;  // the project's, from CMake
inline constexpr std::string_view creditLine =
    "Free software for FidoNet node operators, Ravlog suite";
inline constexpr std::size_t maxPathLength = 259;

// The banner every program starts with: its name, version and platform,
// what it is for, the list of mailers, the credit line and an empty line.
void writeBanner(std::FILE* out, std::string_view program, std::string_view purpose);

// "Unknown option or invalid value: ..." for the whole argument.
ExitRequest unknownOption(std::string_view argument);

// A -c path longer than the classic 259 characters is refused.
ExitRequest configPathTooLong(std::string_view path);

// "Can't open <path>: <reason>\n", the reason as the system words it.
std::string cantOpen(std::string_view path, std::string_view reason);

// The one way a program ends: prints the message (standard output for
// status 0, standard error otherwise), flushes the standard streams and
// gives the status for main to return: 255 when standard output could
// not be written, which is then said on standard error.
int finishRun(const ExitRequest& request);

}  // namespace rv
