#include "core/byte_source.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "core/format.h"

namespace rv {

namespace {

class FileSource final : public ByteSource {
  public:
    explicit FileSource(int fd) : fd_(fd) {}
    ~FileSource() override { ::close(fd_); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    long read(std::uint8_t* dst, std::size_t n) override {
        for (;;) {
            ssize_t got = ::read(fd_, dst, n);
            if (got >= 0) return static_cast<long>(got);
            if (errno != EINTR) return -1;
        }
    }

  private:
    int fd_;
};

class MemorySource final : public ByteSource {
  public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    long read(std::uint8_t* dst, std::size_t n) override {
        std::size_t take = std::min(n, size_ - pos_);
        if (take > 0) std::memcpy(dst, data_ + pos_, take);
        pos_ += take;
        return static_cast<long>(take);
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace

std::size_t readUpTo(ByteSource& source, std::uint8_t* dst, std::size_t n) {
    std::size_t have = 0;
    while (have < n) {
        const long got = source.read(dst + have, n - have);
        if (got <= 0) break;
        have += static_cast<std::size_t>(got);
    }
    return have;
}

namespace {

// Opens a regular file for reading, still without blocking; -1 when it
// cannot be opened, with errno as the open left it and failure set.
// O_NONBLOCK keeps a FIFO without writer from blocking the open; such
// files are refused right after.
int openRegular(const std::string& path, std::string& failure) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        failure = std::strerror(errno);
        return -1;
    }
    struct stat st {};
    const bool statted = ::fstat(fd, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode)) {
        failure = !statted              ? std::strerror(errno)
                  : S_ISDIR(st.st_mode) ? std::strerror(EISDIR)
                                        : "Not a regular file";
        ::close(fd);
        errno = 0;
        return -1;
    }
    return fd;
}

std::unique_ptr<ByteSource> blockingSource(int fd) {
    int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    return std::make_unique<FileSource>(fd);
}

// Between two tries to open a history that a cut holds.
constexpr auto historyRetryPause = std::chrono::milliseconds(10);

}  // namespace

std::unique_ptr<ByteSource> FileOpener::open(const std::string& path) {
    const int fd = openRegular(path, failure_);
    return fd < 0 ? nullptr : blockingSource(fd);
}

std::unique_ptr<ByteSource> FileOpener::openHistory(const std::string& path) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + wait_;
    const auto heldFor = [&](const char* what) {
        failure_ = std::string("another program held ") + what + " for " +
                   format("%g", static_cast<double>(wait_.count()) / 1000) + " seconds";
        return nullptr;
    };
    for (;;) {
        const bool late = Clock::now() >= deadline;
        const int fd = openRegular(path, failure_);
        if (fd < 0 && errno == EWOULDBLOCK) {
            // A write lease: ravlog is shortening the history (microseconds).
            if (late) return heldFor("it");
            std::this_thread::sleep_for(historyRetryPause);
            continue;
        }
        if (fd < 0) return nullptr;
        if (::flock(fd, LOCK_SH | LOCK_NB) == 0 || errno != EWOULDBLOCK) {
            // Locked, or on a file system without flock: read as it is.
            return blockingSource(fd);
        }
        // Held exclusively: ravlog is rewriting the history. The file must
        // not stay open meanwhile, or ravlog could not lease it.
        ::close(fd);
        if (late) return heldFor("its lock");
        std::this_thread::sleep_for(historyRetryPause);
    }
}

void MemoryOpener::add(const std::string& path, std::vector<std::uint8_t> bytes) {
    files_[path] = std::move(bytes);
}

std::unique_ptr<ByteSource> MemoryOpener::open(const std::string& path) {
    auto it = files_.find(path);
    if (it == files_.end()) {
        failure_ = std::strerror(ENOENT);
        return nullptr;
    }
    return memorySource(it->second.data(), it->second.size());
}

std::unique_ptr<ByteSource> memorySource(const std::uint8_t* data, std::size_t size) {
    return std::make_unique<MemorySource>(data, size);
}

}  // namespace rv
