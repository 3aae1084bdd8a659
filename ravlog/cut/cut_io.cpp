#include "ravlog/cut/cut_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace rv::ravlog {

namespace {

// A mailer's open-write-close takes microseconds and is waited out; one
// that keeps the history open is not, beyond about a quarter second.
constexpr int leaseAttempts = 250;
constexpr useconds_t leasePause = 1000;

// A number from a file under /proc/sys; -1 when it cannot be read.
long systemSetting(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    char text[32];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0) return -1;
    text[n] = '\0';
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end == text ? -1 : value;
}

bool writeAll(int fd, const char* data, std::size_t size, std::uint64_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace

const char* cutStepName(CutStep step) {
    switch (step) {
        case CutStep::journalCreate:
            return "journal-create";
        case CutStep::journalWrite:
            return "journal-write";
        case CutStep::journalSync:
            return "journal-sync";
        case CutStep::directorySync:
            return "directory-sync";
        case CutStep::historyWrite:
            return "history-write";
        case CutStep::historySync:
            return "history-sync";
        case CutStep::historyLease:
            return "history-lease";
        case CutStep::historyTruncate:
            return "history-truncate";
        case CutStep::journalRemove:
            return "journal-remove";
    }
    return "?";
}

bool CutIo::allow(CutStep step) {
    if (!probe_ || probe_->allow(step)) return true;
    errno = ENOSPC;
    return false;
}

bool CutIo::writeAt(CutStep step, int fd, const void* data, std::size_t size,
                    std::uint64_t offset) {
    return allow(step) && writeAll(fd, static_cast<const char*>(data), size, offset);
}

bool CutIo::copy(CutStep step, int src, std::uint64_t from, std::uint64_t to, int dst,
                 std::uint64_t dstOffset, JournalChecksum* sum) {
    block_.resize(blockSize_);
    while (from < to) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(to - from, blockSize_));
        if (!readExactly(src, block_.data(), n, from) || !allow(step) ||
            !writeAll(dst, block_.data(), n, dstOffset))
            return false;
        if (sum) sum->add(reinterpret_cast<const std::uint8_t*>(block_.data()), n);
        from += n;
        dstOffset += n;
    }
    return true;
}

bool CutIo::sync(CutStep step, int fd) {
    return allow(step) && ::fsync(fd) == 0;
}

bool CutIo::truncate(int fd, std::uint64_t size) {
    return allow(CutStep::historyTruncate) && ::ftruncate(fd, static_cast<off_t>(size)) == 0;
}

const char* CutIo::hold(int fd) {
    static constexpr const char* noLeases = "the system grants no leases on it";
    if (!allow(CutStep::historyLease)) return noLeases;
    if (systemSetting("/proc/sys/fs/leases-enable") == 0)
        return "leases are switched off (/proc/sys/fs/leases-enable)";
    // A lease broken at once would let the opener through in a tick.
    if (systemSetting("/proc/sys/fs/lease-break-time") == 0)
        return "leases are broken at once (/proc/sys/fs/lease-break-time)";
    // An open by someone else makes the kernel signal the holder, with
    // SIGIO by default, which would end the run; SIGURG is ignored unless
    // handled, and the holder lets go by itself anyway.
    if (::fcntl(fd, F_SETSIG, SIGURG) != 0) return noLeases;
    for (int attempt = 1;; ++attempt) {
        if (::fcntl(fd, F_SETLEASE, F_WRLCK) == 0) return nullptr;
        if (errno == EACCES || errno == EPERM) return "it belongs to another user";
        if (errno != EAGAIN) return noLeases;  // a network file system, for one
        if (attempt == leaseAttempts) return "another program keeps it open";
        ::usleep(leasePause);
    }
}

void CutIo::release(int fd) {
    ::fcntl(fd, F_SETLEASE, F_UNLCK);
}

int CutIo::createExclusive(const std::string& path, unsigned mode) {
    if (!allow(CutStep::journalCreate)) return -1;
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
}

bool CutIo::remove(const std::string& path) {
    return allow(CutStep::journalRemove) && ::unlink(path.c_str()) == 0;
}

bool CutIo::syncDirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : path.substr(0, slash);
    if (!allow(CutStep::directorySync)) return false;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return true;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

bool readExactly(int fd, void* data, std::size_t size, std::uint64_t offset) {
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool lockExclusive(int fd) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        ::usleep(100000);
    }
    return false;
}

}  // namespace rv::ravlog
