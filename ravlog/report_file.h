// A report file that closes itself: whatever way a run ends, the files it
// opened are closed by the run's one exit.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace rv {

class ReportFile {
  public:
    // "wt" or "at"; false when the file cannot be opened.
    bool open(const std::string& path, bool append) {
        file_.reset(std::fopen(path.c_str(), append ? "a" : "w"));
        return file_ != nullptr;
    }
    void close() { file_.reset(); }
    std::FILE* get() const { return file_.get(); }
    explicit operator bool() const { return file_ != nullptr; }

  private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
};

}  // namespace rv
