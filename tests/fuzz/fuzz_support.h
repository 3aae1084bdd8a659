// What every fuzz target shares: one sink for warnings and reports, a
// scratch directory for the report files of whole runs, the run clock
// that all targets read dates against, and the cutting of an input into
// a control part and payloads. Each target process sets these up once;
// nothing here carries over from one input to the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "core/exit_request.h"

namespace rv::fuzz {

// /dev/null as a FILE*, opened once: warnings and reports are written in
// full (every formatter runs) but go nowhere.
std::FILE* sink();

// A directory made with mkdtemp on first use and removed with its files
// when the process exits normally.
const std::string& scratchDir();

// The local time of every target: Central European rules, whose
// daylight-saving switches the local time conversions must survive. A
// POSIX rule text, so that no zone database is needed. Returns the run's
// "now": Wednesday 2024-03-06 12:00 local.
std::time_t prepareClock();

// The report day of the seeds: 2024-03-05, local midnight.
std::time_t seedDay();

// What else than a failure with its message may end a run: a usage text
// (status 0, of the option parsers), or no message at all when the run has
// told its fault on its warnings by then (ravlog's archive not written).
struct StopAllowance {
    bool usage = false;
    bool toldOnWarnings = false;
};

// Aborts unless the stop, if any, ends the run as allowed: status 255
// with a message.
void checkStop(const Stop& stop, StopAllowance allowed = {});

// Reads an input front to back; bytes past the end read as zero.
class InputCursor {
  public:
    InputCursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t u16() {
        std::uint16_t lo = byte();
        return static_cast<std::uint16_t>(lo | (byte() << 8));
    }
    const std::uint8_t* rest() const { return data_ + pos_; }
    std::size_t restSize() const { return pos_ < size_ ? size_ - pos_ : 0; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// The history payload of the history and run targets: a 16-bit length of
// the first file, its bytes, and the rest as the twin of a pair.
struct PairPayload {
    std::vector<std::uint8_t> first;
    std::vector<std::uint8_t> twin;
    std::vector<std::uint8_t> whole;  // both, as one file
};
PairPayload splitPair(InputCursor& in);

// Command-line arguments: the text cut at every NUL byte (empty pieces
// included, as a shell can pass them).
std::vector<std::string_view> splitArguments(const std::uint8_t* data, std::size_t size);

}  // namespace rv::fuzz
