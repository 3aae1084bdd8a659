// Where history and configuration bytes come from: a file, or memory (tests
// and fuzzing). Programs read through an opener so that a whole run can be
// driven from buffers.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace rv {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Reads up to n bytes into dst: the count read, 0 at the end, -1 on error.
    virtual long read(std::uint8_t* dst, std::size_t n) = 0;
};

// Reads into dst until n bytes are there or the source ends (an error
// ends it too): the count read. For the first bytes a format is told by.
std::size_t readUpTo(ByteSource& source, std::uint8_t* dst, std::size_t n);

class SourceOpener {
  public:
    virtual ~SourceOpener() = default;
    // The opened source, or nullptr when the path cannot be opened for
    // reading; failure() then tells why, as the system words it.
    [[nodiscard]] virtual std::unique_ptr<ByteSource> open(const std::string& path) = 0;
    // The same for a history, which a cut may be rewriting.
    [[nodiscard]] virtual std::unique_ptr<ByteSource> openHistory(const std::string& path) {
        return open(path);
    }
    const std::string& failure() const { return failure_; }

  protected:
    std::string failure_;
};

// Opens regular files only: a directory, FIFO or device cannot hang or
// confuse a run, it simply cannot be opened.
class FileOpener final : public SourceOpener {
  public:
    // How long opening a history waits at most for a cut that holds it.
    static constexpr std::chrono::milliseconds historyWait{30000};

    explicit FileOpener(std::chrono::milliseconds wait = historyWait) : wait_(wait) {}

    std::unique_ptr<ByteSource> open(const std::string& path) override;
    // A history is read under a shared flock, so that ravlog, which holds
    // it exclusively while it rewrites the history, is never read half-way
    // through. While ravlog holds the lock, or a write lease in the moment
    // it shortens the history (an open then fails at once: EWOULDBLOCK),
    // the open is tried again every few milliseconds, closed in between
    // (ravlog's lease needs the file open nowhere else), for up to wait.
    // Then it fails: "another program held its lock for 30 seconds", or
    // "another program held it for 30 seconds" for a lease.
    std::unique_ptr<ByteSource> openHistory(const std::string& path) override;

  private:
    std::chrono::milliseconds wait_;
};

// Serves named buffers; a name it does not hold cannot be opened.
class MemoryOpener final : public SourceOpener {
  public:
    void add(const std::string& path, std::vector<std::uint8_t> bytes);
    std::unique_ptr<ByteSource> open(const std::string& path) override;

  private:
    std::map<std::string, std::vector<std::uint8_t>> files_;
};

std::unique_ptr<ByteSource> memorySource(const std::uint8_t* data, std::size_t size);

}  // namespace rv
