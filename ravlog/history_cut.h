// Cutting a history down to its last N days while it is read for the
// reports. The history is the operator's only record of years of
// sessions, so the rewrite is made safe:
//  - the records to keep are first written to a temporary file beside the
//    history and flushed to disk; the history is only rewritten after that;
//  - the history is rewritten in place (a mailer may hold it open, and its
//    inode, owner and permissions must stay), under an advisory lock;
//  - records appended by the mailer after the reading are carried over;
//  - only records provably older than the limit are dropped: records the
//    reports ignore (invalid ones, zone 0) stay unless their time says
//    they are old, and a truncated last record (perhaps still being
//    written) always stays;
//  - the history must still hold, under the lock, the last record that was
//    read where it was read: a history rewritten meanwhile (another cut
//    running at the same time) is left alone;
//  - when the rewrite fails half-way, the temporary file is kept and the
//    warning names it.
#pragma once

#include <sys/types.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "core/history_type.h"

namespace rv {

class HistoryCutter {
  public:
    explicit HistoryCutter(std::FILE* warnings) : warnings_(warnings) {}
    ~HistoryCutter();
    HistoryCutter(const HistoryCutter&) = delete;
    HistoryCutter& operator=(const HistoryCutter&) = delete;

    // Prepares cutting of the line's history right after it was opened.
    // cutHistory 0 or a type other than 1 to 3 leaves the line alone.
    void begin(const std::string& path, HistoryType type, std::int16_t cutHistory,
               std::time_t runMidnight, std::time_t now);
    bool active() const { return active_; }
    std::time_t limit() const { return limit_; }

    // Every record read, as its raw bytes, with its local start time when
    // that can be read at all.
    void offer(std::span<const std::uint8_t> raw, std::optional<std::int64_t> localStart) {
        if (!active_) return;
        lastSize_ = std::min(raw.size(), last_.size());
        std::memcpy(last_.data(), raw.data(), lastSize_);
        if (localStart && *localStart < limit_ && raw.size() == recordSize_) {
            ++dropped_;
            return;
        }
        keep(raw);
    }

    // After the last record: bytesRead is how much of the history was read.
    // Rewrites the history when something was dropped.
    void end(std::uint64_t bytesRead);

    std::uint64_t droppedCount() const { return dropped_; }

    // Test seam: called with the history locked, right before its first
    // byte is overwritten and right after the kept records are written
    // back (before the records appended meanwhile are moved behind them),
    // so that a test can append as a mailer would or make the next write
    // fail.
    enum class RewritePoint : std::uint8_t { beforeOverwrite, keptWritten };
    void setRewriteHook(std::function<void(RewritePoint)> hook) { hook_ = std::move(hook); }

  private:
    void keep(std::span<const std::uint8_t> raw);
    bool flushPending();
    bool rewrite(std::uint64_t bytesRead, bool& historyTouched);
    bool stillAsRead(int fd, std::uint64_t bytesRead) const;
    void reached(RewritePoint point) const {
        if (hook_) hook_(point);
    }
    void warnCannotCut(bool keptTemporary);
    void reset();

    std::FILE* warnings_;
    bool active_ = false;
    bool failed_ = false;
    std::string path_;
    std::string tempPath_;
    int tempFd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    HistoryType type_ = 0;
    std::size_t recordSize_ = 0;
    std::time_t limit_ = 0;
    std::uint64_t dropped_ = 0;
    std::uint64_t tempSize_ = 0;
    std::string pending_;
    std::array<std::uint8_t, 100> last_{};  // the last record read (a type 1 one at most)
    std::size_t lastSize_ = 0;
    std::function<void(RewritePoint)> hook_;
};

}  // namespace rv
