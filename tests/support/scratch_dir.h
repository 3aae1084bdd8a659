// A fresh directory for one test, removed with everything in it at the end.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/history_writer.h"

namespace rv::testing {

class ScratchDir {
  public:
    ScratchDir() : ScratchDir(std::filesystem::temp_directory_path()) {}
    // In another place, such as a memory file system.
    explicit ScratchDir(const std::filesystem::path& base) {
        std::string pattern = (base / "rvtest-XXXXXX").string();
        // Without a directory of its own a test would write beside others.
        if (!::mkdtemp(pattern.data())) std::abort();
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    bool write(const std::string& name, const histgen::Bytes& bytes) const {
        return histgen::writeFile(file(name), bytes);
    }
    bool write(const std::string& name, const std::string& text) const {
        return histgen::writeFile(file(name), histgen::Bytes(text.begin(), text.end()));
    }

  private:
    std::string path_;
};

// For tests that prove the order of steps, not how a disk keeps its
// flushes: on a memory file system a flush costs nothing.
inline std::filesystem::path fastestBase() {
    std::error_code ec;
    const std::filesystem::path shm = "/dev/shm";
    if (std::filesystem::is_directory(shm, ec) && ::access(shm.c_str(), W_OK) == 0) return shm;
    return std::filesystem::temp_directory_path();
}

}  // namespace rv::testing
