#include "core/gzip_source.h"

#include <zlib.h>

#include <array>
#include <climits>
#include <cstdint>

namespace rv {

namespace {

class GzipSource final : public ByteSource {
  public:
    explicit GzipSource(std::unique_ptr<ByteSource> compressed) : in_(std::move(compressed)) {
        // 16 + MAX_WBITS: a gzip header and trailer around the deflate data.
        ready_ = inflateInit2(&z_, 16 + MAX_WBITS) == Z_OK;
    }
    ~GzipSource() override {
        if (ready_) inflateEnd(&z_);
    }
    GzipSource(const GzipSource&) = delete;
    GzipSource& operator=(const GzipSource&) = delete;

    long read(std::uint8_t* dst, std::size_t n) override {
        if (!ready_) return -1;
        if (n > UINT_MAX) n = UINT_MAX;
        z_.next_out = dst;
        z_.avail_out = static_cast<uInt>(n);
        while (z_.avail_out == n && !finished_) {
            if (z_.avail_in == 0 && !inputEnded_) {
                const long got = in_->read(block_.data(), block_.size());
                if (got < 0) return -1;
                if (got == 0) inputEnded_ = true;
                z_.next_in = block_.data();
                z_.avail_in = static_cast<uInt>(got);
            }
            const int rc = inflate(&z_, Z_NO_FLUSH);
            if (rc == Z_STREAM_END) {
                // Another member may follow; nothing left means the end.
                if (z_.avail_in == 0 && inputEnded_)
                    finished_ = true;
                else if (inflateReset(&z_) != Z_OK)
                    return -1;
            } else if (rc == Z_BUF_ERROR) {
                if (inputEnded_ && z_.avail_in == 0) finished_ = true;  // cut short
            } else if (rc != Z_OK) {
                return produced(n) > 0 ? produced(n) : -1;
            }
        }
        return produced(n);
    }

  private:
    long produced(std::size_t n) const { return static_cast<long>(n - z_.avail_out); }

    std::unique_ptr<ByteSource> in_;
    z_stream z_{};
    bool ready_ = false;
    bool inputEnded_ = false;
    bool finished_ = false;
    std::array<std::uint8_t, 1 << 16> block_{};
};

}  // namespace

std::unique_ptr<ByteSource> gzipSource(std::unique_ptr<ByteSource> compressed) {
    return std::make_unique<GzipSource>(std::move(compressed));
}

}  // namespace rv
