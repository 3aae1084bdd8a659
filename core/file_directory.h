// What a reader of rotated logs asks of the directory a log stands in:
// the names beside it and when a file was last written. Kept apart from
// SourceOpener, which only opens; tests serve both from memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rv {

class FileDirectory {
  public:
    virtual ~FileDirectory() = default;
    // The names of the entries of dir ("" is the current directory) that
    // begin with prefix, in no order; no more than limit of them.
    virtual std::vector<std::string> namesStartingWith(const std::string& dir,
                                                       std::string_view prefix,
                                                       std::size_t limit) = 0;
    // Seconds since 1970 of the file's last modification; nullopt when
    // there is no such file.
    virtual std::optional<std::int64_t> modificationTime(const std::string& path) = 0;
};

class SystemDirectory final : public FileDirectory {
  public:
    std::vector<std::string> namesStartingWith(const std::string& dir, std::string_view prefix,
                                               std::size_t limit) override;
    std::optional<std::int64_t> modificationTime(const std::string& path) override;
};

// Paths with their modification times, the companion of MemoryOpener.
class MemoryDirectory final : public FileDirectory {
  public:
    void add(const std::string& path, std::int64_t modified) { files_[path] = modified; }
    std::vector<std::string> namesStartingWith(const std::string& dir, std::string_view prefix,
                                               std::size_t limit) override;
    std::optional<std::int64_t> modificationTime(const std::string& path) override;

  private:
    std::map<std::string, std::int64_t> files_;
};

}  // namespace rv
