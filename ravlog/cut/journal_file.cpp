#include "ravlog/cut/journal_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "core/le.h"

namespace rv::ravlog {

namespace {

// The open descriptor is still the file of that name: a lock taken on a
// file that was removed (or replaced) meanwhile protects nothing.
bool stillNamed(int fd, const std::string& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

bool JournalFile::create(const std::string& path, const JournalHeader& start, unsigned mode) {
    close();
    const int fd = io_.createExclusive(path, mode);
    if (fd < 0) return false;
    fd_ = fd;
    path_ = path;
    header_ = start;
    header_.phase = JournalPhase::writing;
    header_.sequence = 0;
    written_ = 0;
    sum_ = JournalChecksum();
    nameDurable_ = false;
    // A run that looked at the new, still empty file in between took it for
    // an unfinished journal and removed it: then it is not ours any more.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && stillNamed(fd, path) && writeHeader()) return true;
    if (stillNamed(fd, path)) ::unlink(path.c_str());
    close();
    return false;
}

JournalFile::Found JournalFile::open(const std::string& path) {
    close();
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return Found::none;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !stillNamed(fd, path)) {
        ::close(fd);
        return Found::busy;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Found::foreign;
    }
    fd_ = fd;
    path_ = path;
    std::uint8_t start[journalDataOffset] = {};
    const auto size = static_cast<std::size_t>(
        std::min<off_t>(st.st_size, static_cast<off_t>(journalDataOffset)));
    if (!readExactly(fd, start, size, 0)) return Found::unfinished;
    const JournalLook look = lookAtJournal(start, size);
    switch (look.kind) {
        case JournalLook::Kind::foreign:
            close();
            return Found::foreign;
        case JournalLook::Kind::empty:
        case JournalLook::Kind::torn:
            return Found::unfinished;
        case JournalLook::Kind::valid:
            break;
    }
    header_ = look.header;
    nameDurable_ = true;
    return header_.phase == JournalPhase::writing ? Found::unfinished : Found::valid;
}

bool JournalFile::contentIsSound() {
    // A cut that keeps nothing has no content: its journal ends with the
    // headers, before the content's place.
    struct stat st {};
    if (::fstat(fd_, &st) != 0 ||
        (header_.contentLength > 0 &&
         static_cast<std::uint64_t>(st.st_size) < journalDataOffset + header_.contentLength))
        return false;
    JournalChecksum sum;
    std::vector<std::uint8_t> block(1 << 16);
    for (std::uint64_t done = 0; done < header_.contentLength;) {
        const auto n = static_cast<std::size_t>(
            std::min<std::uint64_t>(header_.contentLength - done, block.size()));
        if (!readExactly(fd_, block.data(), n, journalDataOffset + done)) return false;
        sum.add(block.data(), n);
        done += n;
    }
    if (sum.value() != header_.contentChecksum) return false;
    // Whatever lies beyond the content was being added when the crash came:
    // it is written again from the history.
    sum_ = sum;
    written_ = header_.contentLength;
    return true;
}

bool JournalFile::writeHeader() {
    std::uint8_t slot[journalSlotSize];
    encodeJournalSlot(header_, slot);
    return io_.writeAt(CutStep::journalWrite, fd_, slot, sizeof slot,
                       (header_.sequence % 2) * journalSlotStride);
}

bool JournalFile::append(const std::uint8_t* data, std::size_t size) {
    if (!io_.writeAt(CutStep::journalWrite, fd_, data, size, journalDataOffset + written_))
        return false;
    sum_.add(data, size);
    written_ += size;
    return true;
}

bool JournalFile::appendFrom(int historyFd, std::uint64_t from, std::uint64_t to) {
    if (!io_.copy(CutStep::journalWrite, historyFd, from, to, fd_, journalDataOffset + written_,
                  &sum_))
        return false;
    written_ += to - from;
    return true;
}

bool JournalFile::commit(std::uint64_t oldLength) {
    if (!io_.sync(CutStep::journalSync, fd_)) return false;
    header_.phase = JournalPhase::committed;
    ++header_.sequence;
    header_.oldLength = oldLength;
    header_.contentLength = written_;
    header_.contentChecksum = sum_.value();
    header_.mark = {};
    if (!writeHeader() || !io_.sync(CutStep::journalSync, fd_)) return false;
    if (!nameDurable_) nameDurable_ = io_.syncDirectoryOf(path_);
    return nameDurable_;
}

bool JournalFile::markTruncating(const std::array<std::uint8_t, 16>& mark) {
    header_.phase = JournalPhase::truncating;
    ++header_.sequence;
    header_.mark = mark;
    return writeHeader() && io_.sync(CutStep::journalSync, fd_);
}

bool JournalFile::remove() {
    // Should the removal itself not reach the disk, the next run finds the
    // journal again and sees that its cut is complete.
    const bool ok = io_.remove(path_);
    if (ok) io_.syncDirectoryOf(path_);
    close();
    return ok;
}

void JournalFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::array<std::uint8_t, 16> shorteningMark(const JournalHeader& header) {
    std::uint8_t fields[32];
    storeU64(fields, header.contentChecksum);
    storeU64(fields + 8, header.contentLength);
    storeU64(fields + 16, header.oldLength);
    storeU64(fields + 24, header.sequence);
    JournalChecksum low, high(0x84222325CBF29CE4ull);
    low.add(fields, sizeof fields);
    high.add(fields, sizeof fields);
    std::array<std::uint8_t, 16> mark{};
    storeU64(mark.data(), low.value());
    storeU64(mark.data() + 8, high.value());
    return mark;
}

bool finishCut(JournalFile& journal, int historyFd, CutIo& io, const char** unheld) {
    const int journalFd = journal.fd();
    if (!io.copy(CutStep::historyWrite, journalFd, journalDataOffset,
                 journalDataOffset + journal.header().contentLength, historyFd, 0))
        return false;
    // The last look at the length and the shortening are made while the
    // history is held: a mailer's open waits, and its session then goes
    // behind the new end instead of being cut off with the old tail.
    struct Hold {
        CutIo& io;
        int fd;
        bool held = false;
        ~Hold() { letGo(); }
        void letGo() {
            if (held) io.release(fd);
            held = false;
        }
    } hold{io, historyFd};
    *unheld = nullptr;
    for (;;) {
        const JournalHeader& h = journal.header();
        if (h.phase == JournalPhase::truncating && !*unheld) {
            *unheld = io.hold(historyFd);
            hold.held = !*unheld;
        }
        struct stat st {};
        if (::fstat(historyFd, &st) != 0) return false;
        const auto size = static_cast<std::uint64_t>(st.st_size);
        if (size < h.oldLength) {
            // Another program shortened the history: nothing of ours to move.
            errno = ESTALE;
            return false;
        }
        if (size > h.oldLength) {
            // Appended meanwhile: into the journal first, then behind the content.
            hold.letGo();
            const std::uint64_t from = h.contentLength;
            if (!journal.appendFrom(historyFd, h.oldLength, size) || !journal.commit(size) ||
                !io.copy(CutStep::historyWrite, journalFd, journalDataOffset + from,
                         journalDataOffset + journal.header().contentLength, historyFd, from))
                return false;
            continue;
        }
        if (h.phase == JournalPhase::truncating) break;
        // The content is complete; the mark goes where the history ends
        // after the shortening, into space that was dropped. Then one more
        // look for appends.
        const std::array<std::uint8_t, 16> mark = shorteningMark(h);
        if (h.contentLength + mark.size() > h.oldLength) {
            errno = EINVAL;  // no cut makes such a journal: at least a record was dropped
            return false;
        }
        if (!io.writeAt(CutStep::historyWrite, historyFd, mark.data(), mark.size(),
                        h.contentLength) ||
            !io.sync(CutStep::historySync, historyFd) || !journal.markTruncating(mark))
            return false;
    }
    const bool shortened = io.truncate(historyFd, journal.header().contentLength);
    hold.letGo();
    return shortened && io.sync(CutStep::historySync, historyFd) && journal.remove();
}

}  // namespace rv::ravlog
