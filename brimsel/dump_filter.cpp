#include "brimsel/dump_filter.h"

#include <algorithm>

#include "core/config_reader.h"
#include "core/dates.h"
#include "core/format.h"
#include "core/program_options.h"
#include "core/program_text.h"

namespace rv::brimsel {

Stop addPattern(std::string_view arg, FilterOptions& options) {
    const std::string_view value = arg.substr(2);
    if (value.empty()) return unknownOption(arg);
    AddrSpec pattern;
    // Kind names are always known here: the option names what to find. A
    // value the reading does not take whole (2:5020:100, 2:5020/1OO, two
    // addresses with a comma, a mistyped kind name) would show other
    // records than asked for, or every record.
    if (readAddrValue(value, true, 0, nullptr, pattern) != AddrReading::exact)
        return unknownOption(arg);
    const auto refuse = [&](const char* what) {
        return failure(format("%s not allowed in address pattern: %.*s\n", what,
                              static_cast<int>(arg.size()), arg.data()));
    };
    if (pattern.flags & AddrFlags::group) return refuse("Group ('#')");
    if (pattern.flags & AddrFlags::excluded) return refuse("Exclusion ('!')");
    if (value.find('"') != std::string_view::npos) return refuse("Label");
    options.patterns.push_back(std::move(pattern));
    return std::nullopt;
}

Stop DumpFilter::make(const FilterOptions& options, const RunClock& clock, std::FILE* err,
                      DumpFilter& filter) {
    filter = DumpFilter{};
    if (options.begin || options.end) {
        DatePeriod period;
        for (const bool isEnd : {false, true}) {
            const std::optional<std::string>& text = isEnd ? options.end : options.begin;
            if (!text) continue;
            const DateResult bound = parsePeriodBound(*text, isEnd, clock, err);
            if (bound.stop) return bound.stop;
            (isEnd ? period.end : period.begin) = bound.time;
        }
        if (Stop stop = checkPeriod(period, err)) return stop;
        filter.byDate_ = true;
        filter.first_ =
            options.begin ? std::max<std::int64_t>(0, localFieldsAsUtc(period.begin)) : 0;
        filter.last_ = options.end ? localFieldsAsUtc(period.end) : INT64_MAX / 2;
    }
    if (!options.patterns.empty())
        filter.addresses_ = std::make_unique<AddressBook>(options.patterns);
    return std::nullopt;
}

}  // namespace rv::brimsel
