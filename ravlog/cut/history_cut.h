// Cutting a history down to its last N days while it is read for the
// reports. The history is the operator's only record of years of
// sessions, so the rewrite is made safe:
//  - the records to keep are first written to a journal beside the history
//    and flushed to disk; the history is only rewritten after that, and a
//    cut that a crash interrupts is finished from the journal by the next
//    run (ravlog/cut/journal_file.h has the order of writes);
//  - the history is rewritten in place (a mailer may hold it open, and its
//    inode, owner and permissions must stay), under an advisory lock;
//  - records appended by the mailer after the reading are carried over;
//  - only records provably older than the limit are dropped: records the
//    reports ignore (invalid ones, zone 0) stay unless their time says
//    they are old, and a truncated last record (perhaps still being
//    written) always stays;
//  - the history must still hold, under the lock, the last record that was
//    read where it was read: a history rewritten meanwhile is left alone;
//  - a file that starts with F1 00 but is read as 28-byte records
//    (SupportNewFormat No) is never cut: its record borders are unknown;
//  - nor is a file whose reading shows that it was taken for the wrong
//    format: more than half of its whole records cannot be sessions.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/history_type.h"
#include "core/session_record.h"
#include "core/session_validity.h"
#include "ravlog/cut/cut_io.h"
#include "ravlog/cut/journal_file.h"

namespace rv::ravlog {

class HistoryCutter {
  public:
    // A cut history is reported on report, failures on warnings; probe is
    // null outside the fault tests.
    HistoryCutter(std::FILE* report, std::FILE* warnings, CutProbe* probe = nullptr)
        : report_(report), warnings_(warnings), io_(probe), journal_(io_) {}
    ~HistoryCutter();
    HistoryCutter(const HistoryCutter&) = delete;
    HistoryCutter& operator=(const HistoryCutter&) = delete;

    // Prepares cutting of the line's history right after it was opened.
    // cutHistory 0 or a type other than 1 to 3 leaves the line alone.
    void begin(const std::string& path, HistoryType type, std::int16_t cutHistory,
               std::time_t runMidnight);
    bool active() const { return active_; }
    std::time_t limit() const { return limit_; }

    // Every record read, as its raw bytes, decoded and with its times as
    // checkSession found them.
    void offer(std::span<const std::uint8_t> raw, const SessionRecord& r, const SessionTime& time) {
        if (!active_) return;
        const std::optional<std::int64_t> localStart =
            time.brokenDown ? std::optional<std::int64_t>(time.localStart) : std::nullopt;
        lastSize_ = std::min(raw.size(), last_.size());
        std::memcpy(last_.data(), raw.data(), lastSize_);
        if (raw.size() != recordSize_) {
            keep(raw);  // a truncated last record is never judged
            return;
        }
        // A record that could be a session: a zone of 0 aside, it passes
        // the validity test.
        ++(validApartFromZone(r, time) ? possible_ : impossible_);
        if (localStart && *localStart < limit_) {
            ++dropped_;
            return;
        }
        keep(raw);
    }

    // After the last record: bytesRead is how much of the history was read.
    // Rewrites the history when something was dropped.
    void end(std::uint64_t bytesRead);

    std::uint64_t droppedCount() const { return dropped_; }

  private:
    enum class Outcome : std::uint8_t { cut, notCut, pending };

    void keep(std::span<const std::uint8_t> raw);
    bool flushPending();
    Outcome rewrite(std::uint64_t bytesRead);
    bool stillAsRead(int fd, std::uint64_t bytesRead) const;
    void reportCut() const;
    Outcome giveUp(std::string_view cause, int reason = 0);
    void dropUncommitted();
    void reset();

    std::FILE* report_;
    std::FILE* warnings_;
    CutIo io_;
    JournalFile journal_;
    bool active_ = false;
    bool failed_ = false;
    std::string why_;  // said after "Can't cut": the cause, and the system's reason
    std::string path_;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
    HistoryType type_ = HistoryType::none;
    std::size_t recordSize_ = 0;
    std::time_t limit_ = 0;
    std::uint64_t dropped_ = 0;
    std::uint64_t possible_ = 0;  // whole records that could be sessions
    std::uint64_t impossible_ = 0;
    std::string pending_;
    std::array<std::uint8_t, 100> last_{};  // the last record read (a type 1 one at most)
    std::size_t lastSize_ = 0;
};

}  // namespace rv::ravlog
