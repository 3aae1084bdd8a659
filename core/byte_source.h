// Where history and configuration bytes come from: a file, or memory (tests
// and fuzzing). Programs read through an opener so that a whole run can be
// driven from buffers.
#pragma once

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

class SourceOpener {
  public:
    virtual ~SourceOpener() = default;
    // The opened source, or nullptr when the path cannot be opened for
    // reading; failure() then tells why, as the system words it.
    virtual std::unique_ptr<ByteSource> open(const std::string& path) = 0;
    const std::string& failure() const { return failure_; }

  protected:
    std::string failure_;
};

// Opens regular files only: a directory, FIFO or device cannot hang or
// confuse a run, it simply cannot be opened.
class FileOpener final : public SourceOpener {
  public:
    std::unique_ptr<ByteSource> open(const std::string& path) override;
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
