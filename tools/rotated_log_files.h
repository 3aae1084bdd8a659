// A text log as logrotate leaves it: the live file and the copies of the
// periods before it, the newest copy plain and the older ones gzipped
// (compress with delaycompress), named NAME.1, NAME.2.gz, ... or, with
// dateext, NAME-YYYYMMDD[.gz] after the day of the rotation. The mailer
// writes on under logrotate, so a session's lines can fall on both sides
// of a rotation. Each file's modification time is that of its last line,
// but a gzipped copy's is the rotation that compressed it, one period
// after its last line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tools/binkd_text_log.h"

namespace rv::histgen {

enum class RotatedForm : std::uint8_t { numbered, numberedGzip, dated, datedGzip };

struct RotationPlan {
    std::string path;          // the live file
    std::uint32_t copies = 0;  // the copies logrotate keeps (rotate); 0: never rotated
    std::uint32_t periodDays = 7;
    RotatedForm form = RotatedForm::numberedGzip;
};

// logrotate runs from cron.daily, at 06:25 on Debian.
inline constexpr std::uint32_t rotationTimeOfDay = 6 * 3600 + 25 * 60;

class RotatedLogFiles : public LogLineSink {
  public:
    // The log covers the node's wall clock from firstTime up to endTime;
    // the rotations fall every periodDays days after firstTime's day. A
    // copy older than the ones kept is not written.
    RotatedLogFiles(RotationPlan plan, std::uint32_t firstTime, std::uint32_t endTime);
    ~RotatedLogFiles() override;
    RotatedLogFiles(const RotatedLogFiles&) = delete;
    RotatedLogFiles& operator=(const RotatedLogFiles&) = delete;

    void line(std::int64_t wallTime, std::string_view text) override;
    // Closes every file and sets its time; false with the failed file's
    // name in failedPath when one could not be written.
    bool finish();
    const std::string& failedPath() const { return failedPath_; }

  private:
    struct Segment;
    void flush();
    void close(Segment& s);

    std::vector<Segment> segments_;  // oldest first; the last one is the live file
    std::size_t current_ = 0;
    std::string buffer_;
    std::string failedPath_;
};

}  // namespace rv::histgen
