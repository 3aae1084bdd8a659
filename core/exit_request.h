// How a run ends early: a message and the exit status. Units return it
// instead of exiting, so that each program ends through its one exit
// routine, which prints the message (standard output for status 0,
// standard error otherwise), closes what is open and exits.
#pragma once

#include <optional>
#include <string>

namespace rv {

inline constexpr int exitFailure = 255;  // the suite's -1 as the system reports it

struct ExitRequest {
    int status = exitFailure;
    std::string message;
};

using Stop = std::optional<ExitRequest>;

inline ExitRequest failure(std::string message) {
    return {exitFailure, std::move(message)};
}

}  // namespace rv
