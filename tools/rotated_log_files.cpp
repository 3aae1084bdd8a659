#include "tools/rotated_log_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <zlib.h>

#include <ctime>

#include "core/time_text.h"

namespace rv::histgen {

namespace {

// The moment a wall-clock second of the node is, in this machine's zone.
std::time_t localMoment(std::int64_t wallTime) {
    std::tm tm{};
    breakDownUtc(wallTime, tm);
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::string dayText(std::uint32_t time) {
    std::tm tm{};
    breakDownUtc(time, tm);
    char text[40];
    std::snprintf(text, sizeof text, "%04d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return text;
}

}  // namespace

struct RotatedLogFiles::Segment {
    std::uint32_t begin = 0;  // the rotation that started it (or the log's first time)
    std::string path;         // empty: a copy logrotate has deleted, not written
    bool gzip = false;
    bool opened = false;
    std::int64_t modified = -1;  // wall clock: its last line, or the compressing rotation
    std::FILE* plain = nullptr;
    gzFile packed = nullptr;
};

RotatedLogFiles::RotatedLogFiles(RotationPlan plan, std::uint32_t firstTime,
                                 std::uint32_t endTime) {
    std::vector<std::uint32_t> rotations;
    if (plan.copies > 0 && plan.periodDays > 0) {
        const std::uint32_t period = plan.periodDays * 86400;
        for (std::uint32_t t = firstTime / 86400 * 86400 + period + rotationTimeOfDay; t < endTime;
             t += period)
            rotations.push_back(t);
    }
    const std::size_t count = rotations.size() + 1;
    segments_.resize(count);
    const bool dated = plan.form == RotatedForm::dated || plan.form == RotatedForm::datedGzip;
    const bool gzip = plan.form == RotatedForm::numberedGzip || plan.form == RotatedForm::datedGzip;
    for (std::size_t i = 0; i < count; ++i) {
        Segment& s = segments_[i];
        s.begin = i == 0 ? firstTime : rotations[i - 1];
        const std::size_t age = count - 1 - i;  // 0: the live file, 1: the newest copy
        if (age > plan.copies) continue;
        s.path = plan.path;
        if (age > 0) s.path += dated ? "-" + dayText(rotations[i]) : "." + std::to_string(age);
        // delaycompress: the newest copy waits for the next rotation.
        if (age > 1 && gzip) {
            s.gzip = true;
            s.path += ".gz";
            s.modified = rotations[i + 1] + 1;
        }
    }
}

RotatedLogFiles::~RotatedLogFiles() {
    for (Segment& s : segments_)
        close(s);
}

void RotatedLogFiles::close(Segment& s) {
    if (s.plain && std::fclose(s.plain) != 0 && failedPath_.empty()) failedPath_ = s.path;
    if (s.packed && gzclose(s.packed) != Z_OK && failedPath_.empty()) failedPath_ = s.path;
    s.plain = nullptr;
    s.packed = nullptr;
}

void RotatedLogFiles::flush() {
    Segment& s = segments_[current_];
    if (buffer_.empty() || s.path.empty()) {
        buffer_.clear();
        return;
    }
    if (!s.plain && !s.packed) {
        if (s.gzip)
            s.packed = gzopen(s.path.c_str(), "wb");
        else
            s.plain = std::fopen(s.path.c_str(), "wb");
        s.opened = s.plain || s.packed;
        if (!s.opened) {
            if (failedPath_.empty()) failedPath_ = s.path;
            s.path.clear();
        }
    }
    bool ok = true;
    if (s.plain) ok = std::fwrite(buffer_.data(), 1, buffer_.size(), s.plain) == buffer_.size();
    if (s.packed)
        ok = gzwrite(s.packed, buffer_.data(), static_cast<unsigned>(buffer_.size())) ==
             static_cast<int>(buffer_.size());
    if (!ok && failedPath_.empty()) failedPath_ = s.path;
    buffer_.clear();
}

void RotatedLogFiles::line(std::int64_t wallTime, std::string_view text) {
    while (current_ + 1 < segments_.size() && wallTime >= segments_[current_ + 1].begin) {
        flush();
        close(segments_[current_]);
        ++current_;
    }
    Segment& s = segments_[current_];
    if (!s.gzip) s.modified = wallTime;
    buffer_.append(text);
    if (buffer_.size() >= (1u << 20)) flush();
}

bool RotatedLogFiles::finish() {
    flush();
    for (Segment& s : segments_) {
        close(s);
        if (!s.opened || s.path.empty() || s.modified < 0) continue;
        const std::time_t when = localMoment(s.modified);
        const timespec times[2] = {{when, 0}, {when, 0}};
        if (::utimensat(AT_FDCWD, s.path.c_str(), times, 0) != 0 && failedPath_.empty())
            failedPath_ = s.path;
    }
    return failedPath_.empty();
}

}  // namespace rv::histgen
