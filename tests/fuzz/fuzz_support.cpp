#include "fuzz_support.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>

namespace rv::fuzz {

std::FILE* sink() {
    static std::FILE* const file = std::fopen("/dev/null", "w");
    if (!file) std::abort();
    return file;
}

namespace {

// Made on first use; its destructor runs at exit and removes it.
class ScratchDirectory {
  public:
    ScratchDirectory() {
        path_ = (std::filesystem::temp_directory_path() / "rvfuzz-XXXXXX").string();
        if (!::mkdtemp(path_.data())) std::abort();
    }
    ~ScratchDirectory() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

std::time_t localTime(int year, int month, int day, int hour) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

}  // namespace

const std::string& scratchDir() {
    static const ScratchDirectory directory;
    return directory.path();
}

std::time_t prepareClock() {
    static const std::time_t now = [] {
        ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        ::tzset();
        return localTime(2024, 3, 6, 12);
    }();
    return now;
}

std::time_t seedDay() {
    prepareClock();
    static const std::time_t day = localTime(2024, 3, 5, 0);
    return day;
}

PairPayload splitPair(InputCursor& in) {
    const std::size_t firstSize = in.u16();
    const std::uint8_t* rest = in.rest();
    const std::size_t size = in.restSize();
    const std::size_t cut = firstSize < size ? firstSize : size;
    PairPayload p;
    p.first.assign(rest, rest + cut);
    p.twin.assign(rest + cut, rest + size);
    p.whole.assign(rest, rest + size);
    return p;
}

std::vector<std::string_view> splitArguments(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string_view> args;
    const char* text = reinterpret_cast<const char*>(data);
    std::size_t start = 0;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i == size || text[i] == '\0') {
            if (i < size || start < size) args.emplace_back(text + start, i - start);
            start = i + 1;
        }
    }
    return args;
}

void checkStop(const Stop& stop, StopAllowance allowed) {
    if (!stop) return;
    const bool status = stop->status == exitFailure || (allowed.usage && stop->status == 0);
    if (!status || (stop->message.empty() && !allowed.toldOnWarnings)) std::abort();
}

}  // namespace rv::fuzz
