// Sets TZ for the length of a test and restores the machine's setting
// afterwards, so that date tests do not depend on where they run.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace rv::testing {

class TimeZoneScope {
  public:
    // A null zone unsets TZ: the machine's own zone.
    explicit TimeZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        if (zone)
            setenv("TZ", zone, 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ~TimeZoneScope() {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    TimeZoneScope(const TimeZoneScope&) = delete;
    TimeZoneScope& operator=(const TimeZoneScope&) = delete;

  private:
    std::optional<std::string> saved_;
};

// Central European rules written out, so that the tests need no zone files.
inline constexpr const char* centralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

}  // namespace rv::testing
