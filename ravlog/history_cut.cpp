#include "ravlog/history_cut.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace rv {

namespace {

constexpr std::size_t pendingLimit = 1 << 16;

bool writeAll(int fd, const char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

// Reads [offset, offset + size) of fd; false on a short or failed read.
bool readExactly(int fd, char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        ssize_t n = ::pread(fd, data, size, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

// Copies [from, to) of src to dst at dstOffset.
bool copyRange(int src, off_t from, off_t to, int dst, off_t dstOffset) {
    std::vector<char> block(1 << 16);
    while (from < to) {
        auto n =
            static_cast<std::size_t>(std::min<off_t>(to - from, static_cast<off_t>(block.size())));
        if (!readExactly(src, block.data(), n, from) || !writeAll(dst, block.data(), n, dstOffset))
            return false;
        from += static_cast<off_t>(n);
        dstOffset += static_cast<off_t>(n);
    }
    return true;
}

// Makes the temporary file's name as durable as its contents, so that a
// crash during the rewrite leaves it to be found. A directory that cannot
// be opened for reading is not held against the cut.
bool syncDirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : path.substr(0, slash);
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return true;
    bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

// An exclusive advisory lock, waiting a few seconds for a cooperating tool at most.
bool lockExclusive(int fd) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        ::usleep(100000);
    }
    return false;
}

}  // namespace

HistoryCutter::~HistoryCutter() {
    if (tempFd_ >= 0) {
        ::close(tempFd_);
        ::unlink(tempPath_.c_str());
    }
}

void HistoryCutter::reset() {
    active_ = false;
    failed_ = false;
    dropped_ = 0;
    tempSize_ = 0;
    pending_.clear();
    lastSize_ = 0;
    if (tempFd_ >= 0) ::close(tempFd_);
    tempFd_ = -1;
}

void HistoryCutter::begin(const std::string& path, HistoryType type, std::int16_t cutHistory,
                          std::time_t runMidnight, std::time_t now) {
    reset();
    if (cutHistory == 0 || !isCommonLayoutType(type)) return;
    active_ = true;
    path_ = path;
    type_ = type;
    recordSize_ = commonRecordSize(type);
    // A negative count of days reads as its unsigned 16-bit value.
    const auto days = static_cast<std::uint16_t>(cutHistory);
    limit_ = runMidnight - static_cast<std::time_t>(days - 1) * 86400;
    tempPath_ = path + "." + std::to_string(static_cast<long long>(now));
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        failed_ = true;
        return;
    }
    device_ = st.st_dev;
    inode_ = st.st_ino;
    // Exclusive creation: never overwrite a file that happens to have the name.
    tempFd_ = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (tempFd_ < 0) {
        failed_ = true;
        return;
    }
    if (type == HistoryTypes::long100) pending_.append("\xF1\x00", 2);
}

void HistoryCutter::keep(std::span<const std::uint8_t> raw) {
    if (failed_) return;
    pending_.append(reinterpret_cast<const char*>(raw.data()), raw.size());
    if (pending_.size() >= pendingLimit) flushPending();
}

bool HistoryCutter::flushPending() {
    if (failed_) return false;
    if (!writeAll(tempFd_, pending_.data(), pending_.size(), static_cast<off_t>(tempSize_))) {
        failed_ = true;
        return false;
    }
    tempSize_ += pending_.size();
    pending_.clear();
    return true;
}

void HistoryCutter::warnCannotCut(bool keptTemporary) {
    std::fprintf(warnings_, "Can't cut %s\n", path_.c_str());
    if (keptTemporary)
        std::fprintf(warnings_, "The records kept from %s are saved in %s\n", path_.c_str(),
                     tempPath_.c_str());
}

void HistoryCutter::end(std::uint64_t bytesRead) {
    if (!active_) return;
    active_ = false;
    bool touched = false;
    bool ok = !failed_ && tempFd_ >= 0;
    if (ok && dropped_ > 0) ok = rewrite(bytesRead, touched);
    if (!ok) warnCannotCut(touched);
    if (tempFd_ >= 0) {
        ::close(tempFd_);
        tempFd_ = -1;
        // Once the history may be damaged, the temporary file is its only good copy.
        if (!touched) ::unlink(tempPath_.c_str());
    }
}

// The bytes of the last record read must still be where they were read: a
// history rewritten by someone else since then (another cut of the same
// file) would otherwise get stale records and lose the new ones.
bool HistoryCutter::stillAsRead(int fd, std::uint64_t bytesRead) const {
    if (lastSize_ == 0) return true;
    std::array<std::uint8_t, 100> now{};
    return readExactly(fd, reinterpret_cast<char*>(now.data()), lastSize_,
                       static_cast<off_t>(bytesRead - lastSize_)) &&
           std::memcmp(now.data(), last_.data(), lastSize_) == 0;
}

bool HistoryCutter::rewrite(std::uint64_t bytesRead, bool& touched) {
    if (!flushPending() || ::fsync(tempFd_) != 0 || !syncDirectoryOf(tempPath_)) return false;
    // A symbolic link is followed: the identity check below makes sure the
    // file reached is the one that was read.
    int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (!lockExclusive(fd) || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_dev != device_ || st.st_ino != inode_)
        return false;
    // A history that shrank since it was read was changed by someone else: leave it.
    if (static_cast<std::uint64_t>(st.st_size) < bytesRead || !stillAsRead(fd, bytesRead))
        return false;

    // Carry over what the mailer appended since the reading, into the
    // complete copy first, so that the copy always holds everything.
    auto readEnd = static_cast<off_t>(bytesRead);
    if (st.st_size > readEnd) {
        int tempRead = ::open(tempPath_.c_str(), O_RDWR | O_CLOEXEC);
        if (tempRead < 0) return false;
        bool copied = copyRange(fd, readEnd, st.st_size, tempRead, static_cast<off_t>(tempSize_)) &&
                      ::fsync(tempRead) == 0;
        ::close(tempRead);
        if (!copied) return false;
        tempSize_ += static_cast<std::uint64_t>(st.st_size - readEnd);
        readEnd = st.st_size;
    }

    int tempIn = ::open(tempPath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (tempIn < 0) return false;
    touched = true;
    reached(RewritePoint::beforeOverwrite);
    auto newSize = static_cast<off_t>(tempSize_);
    bool ok = copyRange(tempIn, 0, newSize, fd, 0);
    ::close(tempIn);
    if (ok) reached(RewritePoint::keptWritten);
    // Records appended while the copy was written follow the kept ones.
    while (ok) {
        if (::fstat(fd, &st) != 0) {
            ok = false;
            break;
        }
        if (st.st_size <= readEnd) break;
        ok = copyRange(fd, readEnd, st.st_size, fd, newSize);
        newSize += st.st_size - readEnd;
        readEnd = st.st_size;
    }
    ok = ok && ::ftruncate(fd, newSize) == 0 && ::fsync(fd) == 0;
    if (ok) touched = false;  // the history is whole again; the copy can go
    return ok;
}

}  // namespace rv
