// Report file names that carry the date of the run: %D %M %N %W %Y and %%.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "core/local_clock.h"

namespace rv {

// Replaces each macro (letter in either case) with the run's date:
// %D day "%02d", %M month "%02d", %N day of year "%03d", %W weekday
// (Monday = 1) "%d", %Y year "%04d", %% one '%'. Any other letter, or a '%'
// at the very end, is dropped with the warning "Skipping invalid filename
// macros '%<letter>'", a line of its own.
std::string expandFileMacros(std::string_view name, const RunClock& clock, std::FILE* warnings);

}  // namespace rv
