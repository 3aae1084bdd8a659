#include "core/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

std::unique_ptr<ByteSource> FileOpener::open(const std::string& path) {
    // O_NONBLOCK keeps a FIFO without writer from blocking the open; such
    // files are refused right after.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        failure_ = std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    const bool statted = ::fstat(fd, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode)) {
        failure_ = !statted              ? std::strerror(errno)
                   : S_ISDIR(st.st_mode) ? std::strerror(EISDIR)
                                         : "Not a regular file";
        ::close(fd);
        return nullptr;
    }
    int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    return std::make_unique<FileSource>(fd);
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
