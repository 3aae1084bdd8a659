// brimsel's search: the records of a date period (-b, -e) and of address
// patterns or event kinds (-a). The test runs on the raw record, before
// anything of it is formatted, so that a search that shows few rows costs
// little more than reading the history.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/config_model.h"
#include "core/exit_request.h"
#include "core/local_clock.h"
#include "core/session_record.h"
#include "stats/address_book.h"

namespace rv::brimsel {

// The filter options as given, resolved once the banner is out.
struct FilterOptions {
    std::optional<std::string> begin;  // the -b and -e values
    std::optional<std::string> end;
    std::vector<AddrSpec> patterns;  // the -a patterns, in order

    bool any() const { return begin || end || !patterns.empty(); }
};

// Reads an -a value as an Addr entry (or a kind name) into options; a
// value not read whole as written is an invalid value, and a group,
// exclusion or label stops the run with its message.
Stop addPattern(std::string_view arg, FilterOptions& options);

class DumpFilter {
  public:
    // No filter: every record is shown.
    DumpFilter() = default;

    // The dates of the options against the run's clock, with pondrel's
    // messages and warnings (on err); the period must not be empty.
    static Stop make(const FilterOptions& options, const RunClock& clock, std::FILE* err,
                     DumpFilter& filter);

    bool active() const { return byDate_ || addresses_ != nullptr; }

    // The period in the history's own clock of a line with the shift.
    void beginLine(std::int16_t timeShift) {
        const std::int64_t shift = std::int64_t{timeShift} * 3600;
        rawFirst_ = first_ - shift;
        rawLast_ = last_ - shift;
    }

    bool shows(const SessionRecord& r) {
        if (byDate_) {
            const std::int64_t t = static_cast<std::int32_t>(r.startTime);
            if (t < rawFirst_ || t > rawLast_) return false;
        }
        return addresses_ == nullptr || addresses_->takes(r);
    }

  private:
    bool byDate_ = false;
    // Inclusive, in the time the dump shows; never below 0, since a time
    // before 1970 cannot be broken down.
    std::int64_t first_ = 0;
    std::int64_t last_ = 0;
    std::int64_t rawFirst_ = 0;
    std::int64_t rawLast_ = 0;
    std::unique_ptr<AddressBook> addresses_;
};

}  // namespace rv::brimsel
