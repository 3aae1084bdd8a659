#include "ravlog/cut/history_cut.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/cut_journal.h"
#include "core/format.h"
#include "core/history_formats.h"
#include "core/safe_open.h"
#include "core/time_text.h"

namespace rv::ravlog {

namespace {

// A file read as 28-byte records that begins as a 100-byte record history.
bool fileStartsAsLong100(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    std::uint8_t first[detectionBytes] = {};
    const std::size_t signature = formatOf(HistoryType::long100).signature.size();
    const bool found =
        readExactly(fd, first, signature, 0) && startsAsLong100(FileHead{first, signature});
    ::close(fd);
    return found;
}

struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
};

}  // namespace

HistoryCutter::~HistoryCutter() {
    dropUncommitted();
}

// A journal that was never committed stands for nothing; a committed one
// is the next run's to finish.
void HistoryCutter::dropUncommitted() {
    if (journal_.isOpen() && journal_.header().phase == JournalPhase::writing) journal_.remove();
    journal_.close();
}

void HistoryCutter::reset() {
    dropUncommitted();
    active_ = false;
    failed_ = false;
    why_.clear();
    dropped_ = 0;
    possible_ = impossible_ = 0;
    pending_.clear();
    lastSize_ = 0;
}

void HistoryCutter::begin(const std::string& path, HistoryType type, std::int16_t cutHistory,
                          std::time_t runMidnight) {
    reset();
    const HistoryFormat& format = formatOf(type);
    // A text log is told so: its operator asked for a cut that can never be.
    if (cutHistory != 0 && format.layout == RecordLayout::lines)
        std::fprintf(warnings_, "Can't cut %s: a text log is rotated by logrotate, not cut\n",
                     path.c_str());
    if (cutHistory == 0 || format.cut != Cut::inPlace) return;
    active_ = true;
    path_ = path;
    type_ = type;
    recordSize_ = format.recordSize;
    // A negative count of days reads as its unsigned 16-bit value.
    const auto days = static_cast<std::uint16_t>(cutHistory);
    limit_ = runMidnight - static_cast<std::time_t>(days - 1) * 86400;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        giveUp("can't look at it", errno);
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        giveUp("it is no regular file");
        return;
    }
    device_ = st.st_dev;
    inode_ = st.st_ino;
    if (type != HistoryType::long100 && fileStartsAsLong100(path)) {
        // With SupportNewFormat No a 100-byte record history is read in
        // 28-byte pieces: cutting by them would drop parts of records.
        giveUp(
            "it starts with F1 00 (100-byte records) and is read as 28-byte records, as "
            "SupportNewFormat No says");
        return;
    }
    JournalHeader start;
    start.device = device_;
    start.inode = inode_;
    start.recordSize = static_cast<std::uint32_t>(recordSize_);
    start.limit = limit_;
    // Exclusive creation: never over a file that happens to have the name.
    const std::string journalPath = cutJournalPath(path);
    if (!journal_.create(journalPath, start, (st.st_mode & 0666) | 0600)) {
        giveUp("can't create its journal " + journalPath, errno);
        return;
    }
    pending_.append(format.signature);
}

void HistoryCutter::keep(std::span<const std::uint8_t> raw) {
    if (failed_) return;
    pending_.append(reinterpret_cast<const char*>(raw.data()), raw.size());
    if (pending_.size() >= io_.blockSize()) flushPending();
}

bool HistoryCutter::flushPending() {
    if (failed_) return false;
    if (!journal_.append(reinterpret_cast<const std::uint8_t*>(pending_.data()), pending_.size())) {
        giveUp("can't write its journal " + journal_.path(), errno);
        return false;
    }
    pending_.clear();
    return true;
}

void HistoryCutter::end(std::uint64_t bytesRead) {
    if (!active_) return;
    active_ = false;
    if (!failed_ && dropped_ == 0) {
        journal_.remove();  // nothing to drop: the history is not written at all
        return;
    }
    // A history read in the wrong format (a 316-byte one on a BinkD line,
    // a text file) reads as records that are mostly impossible; their
    // "dates" are other bytes, and cutting by them destroys the file.
    if (impossible_ > possible_)
        giveUp(
            format("read as %zu-byte records, %llu of its %llu records cannot be sessions: "
                   "it is not a history of that format",
                   recordSize_, static_cast<unsigned long long>(impossible_),
                   static_cast<unsigned long long>(impossible_ + possible_)));
    const Outcome outcome = failed_ ? Outcome::notCut : rewrite(bytesRead);
    switch (outcome) {
        case Outcome::cut:
            reportCut();
            break;
        case Outcome::notCut:
            std::fprintf(warnings_, "Can't cut %s: %s\n", path_.c_str(), why_.c_str());
            if (journal_.isOpen()) journal_.remove();
            break;
        case Outcome::pending:
            // The journal is committed: the next run finishes the cut from it.
            std::fprintf(warnings_, "Can't cut %s: %s\n", path_.c_str(), why_.c_str());
            std::fprintf(warnings_,
                         "An interrupted cut of %s is pending: the next ravlog run restores it "
                         "from %s\n",
                         path_.c_str(), journal_.path().c_str());
            journal_.close();
            break;
    }
}

// The bytes of the last record read must still be where they were read: a
// history rewritten by someone else since then would otherwise get stale
// records and lose the new ones.
bool HistoryCutter::stillAsRead(int fd, std::uint64_t bytesRead) const {
    if (lastSize_ == 0) return true;
    std::array<std::uint8_t, 100> now{};
    return readExactly(fd, now.data(), lastSize_, bytesRead - lastSize_) &&
           std::memcmp(now.data(), last_.data(), lastSize_) == 0;
}

HistoryCutter::Outcome HistoryCutter::rewrite(std::uint64_t bytesRead) {
    if (!flushPending()) return Outcome::notCut;
    // A link of the run's user or root is followed: the identity check
    // below makes sure the file reached is the one that was read.
    std::string refusal;
    const int fd = openToWrite(path_, O_RDWR | O_CLOEXEC, 0, refusal);
    if (!refusal.empty()) return giveUp(refusal);
    if (fd < 0) return giveUp("can't open it for writing", errno);
    Closer closer{fd};
    struct stat st {};
    if (!lockExclusive(fd))
        return errno == EWOULDBLOCK || errno == EINTR
                   ? giveUp("another program held its lock for 5 seconds")
                   : giveUp("can't lock it", errno);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != device_ ||
        st.st_ino != inode_)
        return giveUp("another file took its name while it was read");
    // A history that shrank since it was read was changed by someone else: leave it.
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size < bytesRead || !stillAsRead(fd, bytesRead))
        return giveUp("another program changed it while it was read");
    // What the mailer appended since the reading goes into the journal
    // too, so that the journal holds the whole cut history.
    if (!journal_.appendFrom(fd, bytesRead, size) || !journal_.commit(size))
        return giveUp("can't write its journal " + journal_.path(), errno);
    const char* unheld = nullptr;
    const bool finished = finishCut(journal_, fd, io_, &unheld);
    const int reason = errno;
    if (unheld)
        std::fprintf(warnings_, "Shortened %s without a lease: %s\n", path_.c_str(), unheld);
    if (finished) return Outcome::cut;
    giveUp("can't finish rewriting it", reason);
    return Outcome::pending;
}

// Why this run does not cut the history: the first cause found, with the
// system's reason when a call failed.
HistoryCutter::Outcome HistoryCutter::giveUp(std::string_view cause, int reason) {
    failed_ = true;
    if (why_.empty()) {
        why_ = cause;
        if (reason != 0) why_ += std::string(": ") + std::strerror(reason);
    }
    return Outcome::notCut;
}

void HistoryCutter::reportCut() const {
    const std::uint64_t header = formatOf(type_).headerSize;
    const std::uint64_t content = journal_.header().contentLength;
    const std::uint64_t kept = (content - header + recordSize_ - 1) / recordSize_;
    // The limit is a midnight of the run's daylight-saving frame, in which
    // the records' times are read: across a clock change the zone's own
    // rules put it an hour off. The first day kept is the one whose
    // midnight is nearest.
    std::tm tm = localBreakdown(limit_ + 12 * 3600);
    tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
    char limit[32];
    std::strftime(limit, sizeof limit, "%Y-%m-%d %H:%M:%S", &tm);
    std::fprintf(report_, "Cut %s: %llu records dropped, %llu kept, limit %s\n", path_.c_str(),
                 static_cast<unsigned long long>(dropped_), static_cast<unsigned long long>(kept),
                 limit);
}

}  // namespace rv::ravlog
