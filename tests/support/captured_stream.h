// A temporary stream that a unit writes its warnings to, read back as text.
#pragma once

#include <cstdio>
#include <string>

#include "core/out_buffer.h"

namespace rv::testing {

class CapturedStream {
  public:
    CapturedStream() : file_(std::tmpfile()) {}
    ~CapturedStream() {
        if (file_) std::fclose(file_);
    }
    CapturedStream(const CapturedStream&) = delete;
    CapturedStream& operator=(const CapturedStream&) = delete;

    std::FILE* get() const { return file_; }

    // Everything written so far.
    std::string text() const {
        std::fflush(file_);
        std::string out;
        std::rewind(file_);
        char buffer[256];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
            out.append(buffer, n);
        std::fseek(file_, 0, SEEK_END);
        return out;
    }

  private:
    std::FILE* file_;
};

// What write puts into an OutBuffer, as the report writers fill theirs.
template <class Write>
std::string bufferedText(Write&& write) {
    CapturedStream out;
    {
        OutBuffer buffer(out.get());
        write(buffer);
    }
    return out.text();
}

}  // namespace rv::testing
