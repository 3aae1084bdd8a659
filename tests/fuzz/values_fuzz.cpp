// The small value readers that take text straight from the user: dates,
// period bounds, time windows, report file names with macros, History
// values, file name values and ADDR values. The first byte picks the
// reader (low three bits) and the run's clock (the rest); the remainder is
// the value text.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "core/config_reader.h"
#include "core/dates.h"
#include "core/file_macros.h"
#include "core/history_source.h"
#include "fuzz_support.h"

namespace rv::fuzz {
namespace {

std::time_t localTime(int year, int month, int day, int hour, int minute) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// Run dates where the calendar has edges: an ordinary day, the two
// daylight-saving switches, a leap day, the first day of a year, and the
// earliest and latest dates a 32-bit clock knows.
const std::array<RunClock, 8>& clocks() {
    static const std::array<RunClock, 8> all = [] {
        prepareClock();
        return std::array<RunClock, 8>{
            makeRunClock(localTime(2024, 3, 6, 12, 0)),
            makeRunClock(localTime(2024, 3, 31, 3, 30)),
            makeRunClock(localTime(2024, 10, 27, 2, 30)),
            makeRunClock(localTime(2024, 2, 29, 23, 59)),
            makeRunClock(localTime(2000, 1, 1, 0, 0)),
            makeRunClock(localTime(1970, 1, 2, 0, 0)),
            makeRunClock(localTime(2038, 1, 18, 12, 0)),
            makeRunClock(localTime(1999, 12, 31, 23, 59)),
        };
    }();
    return all;
}

void checkDate(const DateResult& result) {
    if (result.stop) {
        if (result.stop->status != exitFailure || result.stop->message.empty()) std::abort();
        return;
    }
    computePeriod(result.time, TimeWindow{});
}

}  // namespace
}  // namespace rv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rv;
    using namespace rv::fuzz;
    InputCursor in(data, size);
    const std::uint8_t selector = in.byte();
    const RunClock& clock = clocks()[(selector >> 3) & 7];
    const std::string_view text(reinterpret_cast<const char*>(in.rest()), in.restSize());

    switch (selector & 7) {
        case 0:
            checkDate(parseDate(text, clock, sink()));
            break;
        case 1:
            checkDate(parsePeriodBound(text, false, clock, sink()));
            break;
        case 2:
            checkDate(parsePeriodBound(text, true, clock, sink()));
            break;
        case 3: {
            TimeWindow window;
            if (!parseTimeWindow(text, window)) break;
            // What the window must hold for the period and the charts.
            if (window.startHour > 23 || window.startMinute > 59 || window.startSecond > 59 ||
                window.endHourBound > 24 || window.endHourBound < 1)
                std::abort();
            // An end before the start within one hour (8:45-8:30) is a
            // window that holds nothing, not a fault.
            const ReportPeriod period = computePeriod(clock.midnight, window);
            if (period.windowHours < 1 || period.windowHours > 24) std::abort();
            break;
        }
        case 4:
            expandFileMacros(text, clock, sink());
            break;
        case 5: {
            HistorySource source;
            const std::size_t length = parseHistoryValue(text, source);
            if (length > maxHistoryPath || length != source.path.size()) std::abort();
            if (source.pairLetter >= 0) {
                if (static_cast<std::size_t>(source.pairLetter) >= source.path.size()) std::abort();
                swapPairLetter(source);
            }
            break;
        }
        case 6: {
            std::string path;
            bool append = false;
            readFileName(text, path, append);
            if (path.size() > maxReportPath) std::abort();
            break;
        }
        case 7: {
            AddrSpec addrSpec;
            readAddrValue(text, (selector & 0x80) != 0, 1, sink(), addrSpec);
            break;
        }
    }
    return 0;
}
