#include "ravlog/cut_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace rv {

namespace {

constexpr std::size_t blockSize = 1 << 16;

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
    block_.resize(blockSize);
    while (from < to) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(to - from, blockSize));
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

}  // namespace rv
