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

// What a unit returns: empty to go on, or how the run ends. Never
// dropped: a stop that its caller does not hand on lets the run go on
// past what ended it.
struct [[nodiscard]] Stop : std::optional<ExitRequest> {
    using std::optional<ExitRequest>::optional;
};

inline ExitRequest failure(std::string message) {
    return {exitFailure, std::move(message)};
}

}  // namespace rv
