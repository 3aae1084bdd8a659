#include "core/report_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>

#include "core/code_page_encoder.h"
#include "core/format.h"
#include "core/safe_open.h"

namespace rv {

// The stream's end at the system: every buffer the stream hands over is
// written whole (converted first when the report is in a code page), and
// the first failure's errno is kept.
struct ReportFile::Sink {
    int fd = -1;
    std::FILE* stream = nullptr;  // a caller's stream that a converted report goes to
    bool owned = false;           // standard output is not closed
    int error = 0;
    std::string whole;      // openWhole: the new file, put at the report's name when closed whole
    bool created = false;   // reserved: the file did not exist before
    bool truncate = false;  // reserved: emptied when started
    std::unique_ptr<CodePageEncoder> encoder;  // none: the bytes pass as written

    void fail(int reason) {
        if (error == 0) error = reason != 0 ? reason : EIO;
    }

    bool put(std::string_view data) {
        if (stream) {
            if (std::fwrite(data.data(), 1, data.size(), stream) == data.size()) return true;
            fail(errno);
            return false;
        }
        for (std::size_t done = 0; done < data.size();) {
            const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                fail(n < 0 ? errno : EIO);
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    static ssize_t write(void* cookie, const char* data, std::size_t size) {
        Sink& sink = *static_cast<Sink*>(cookie);
        std::string_view text(data, size);
        if (!sink.encoder) return sink.put(text) ? static_cast<ssize_t>(size) : -1;
        while (!text.empty()) {
            if (!sink.put(sink.encoder->next(text))) return -1;
        }
        return static_cast<ssize_t>(size);
    }

    static int close(void* cookie) {
        Sink& sink = *static_cast<Sink*>(cookie);
        bool written = !sink.encoder || sink.put(sink.encoder->finish());
        if (sink.stream && std::fflush(sink.stream) != 0) {
            sink.fail(errno);
            written = false;
        }
        if (sink.owned && ::close(sink.fd) != 0) {
            sink.fail(errno);
            written = false;
        }
        return written ? 0 : -1;
    }

    std::FILE* openStream() {
        cookie_io_functions_t functions{};
        functions.write = &Sink::write;
        functions.close = &Sink::close;
        return fopencookie(this, "w", functions);
    }
};

ReportFile::ReportFile() = default;

ReportFile::~ReportFile() {
    // A whole report that was not closed on purpose was not written whole.
    if (sink_ && !sink_->whole.empty()) abandon();
    shut();
}

namespace {

// The sink of a report in the charset: nothing, with errno set, when the
// C library cannot convert into it.
std::unique_ptr<ReportFile::Sink> makeSink(Charset charset) {
    auto sink = std::make_unique<ReportFile::Sink>();
    if (charset != Charset::utf8 && !(sink->encoder = CodePageEncoder::open(charset)))
        return nullptr;
    return sink;
}

}  // namespace

bool ReportFile::fail(int reason) {
    return fail(std::strerror(reason));
}

bool ReportFile::fail(std::string reason) {
    failure_ = std::move(reason);
    return false;
}

void ReportFile::attach(std::unique_ptr<Sink> sink) {
    sink_ = std::move(sink);
    file_ = sink_->openStream();
    if (file_) return;
    if (sink_->owned) ::close(sink_->fd);
    if (!sink_->whole.empty()) ::unlink(sink_->whole.c_str());
    sink_.reset();
    throw std::bad_alloc();
}

bool ReportFile::reserve(const std::string& path, bool append) {
    shut();
    failure_.clear();
    std::unique_ptr<Sink> sink = makeSink(charset_);
    if (!sink) return fail(errno);
    const int flags = O_WRONLY | O_CLOEXEC | (append ? O_APPEND : 0);
    // Created exclusively, the file is known to be new: the run's to
    // remove if it ends before the report is written.
    std::string refusal;
    int fd = openToWrite(path, flags | O_CREAT | O_EXCL, 0666, refusal);
    sink->created = fd >= 0;
    if (fd < 0 && refusal.empty() && errno == EEXIST)
        fd = openToWrite(path, flags | O_CREAT, 0666, refusal);
    if (fd < 0) return refusal.empty() ? fail(errno) : fail(refusal);
    sink->fd = fd;
    sink->owned = true;
    sink->truncate = !append;
    sink_ = std::move(sink);
    name_ = path;
    return true;
}

bool ReportFile::reserveWhole(const std::string& path) {
    struct stat st {};
    const bool existing = ::lstat(path.c_str(), &st) == 0;
    if (existing && (!S_ISREG(st.st_mode) || st.st_nlink > 1)) return reserve(path, false);
    shut();
    failure_.clear();
    // The new file goes into the directory path names: none on the way may
    // be another user's link.
    if (std::string refusal = linkRefusal(path); !refusal.empty()) return fail(refusal);
    std::unique_ptr<Sink> sink = makeSink(charset_);
    if (!sink) return fail(errno);
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        // A missing directory is the report's own name at fault; any other
        // failure (a directory the user may not write, a name too long) is
        // the new file's.
        const int reason = errno;
        if (reason == ENOENT || reason == ENOTDIR) return fail(reason);
        return fail(format("can't create its temporary file %s.XXXXXX: %s", path.c_str(),
                           std::strerror(reason)));
    }
    if (existing) {
        if (::fchown(fd, st.st_uid, st.st_gid) != 0 &&
            ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
            // Neither may be given: the report becomes the user's, in the
            // user's group, with the old mode.
        }
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        // mkostemp makes the file private; a new report gets the
        // permissions any new file of the user gets.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    sink->fd = fd;
    sink->owned = true;
    sink->whole = std::move(temporary);
    sink_ = std::move(sink);
    name_ = path;
    return true;
}

bool ReportFile::start() {
    if (file_ || !sink_) return file_ != nullptr;
    struct stat st {};
    // A device or a pipe has nothing to truncate.
    if (sink_->truncate && ::fstat(sink_->fd, &st) == 0 && S_ISREG(st.st_mode) &&
        ::ftruncate(sink_->fd, 0) != 0)
        return fail(errno);
    sink_->created = false;
    attach(std::move(sink_));
    return true;
}

// A reserved report that is not started: what was created for it goes.
void ReportFile::release() {
    if (!sink_) return;
    ::close(sink_->fd);
    if (!sink_->whole.empty())
        ::unlink(sink_->whole.c_str());
    else if (sink_->created)
        ::unlink(name_.c_str());
    sink_.reset();
}

void ReportFile::abandon() {
    if (!sink_ || sink_->whole.empty()) return;
    const std::string temporary = sink_->whole;
    sink_->whole.clear();
    shut();
    ::unlink(temporary.c_str());
}

bool ReportFile::useStream(std::FILE* stream, std::string name) {
    shut();
    name_ = std::move(name);
    if (stream != stdout && charset_ == Charset::utf8) {
        file_ = stream;
        return true;
    }
    std::unique_ptr<Sink> sink = makeSink(charset_);
    if (!sink) return fail(errno);
    if (stream != stdout) {
        sink->stream = stream;
    } else {
        // Standard output gets a stream of its own; what the C library's
        // stream holds (a banner) goes first, and its failure counts here.
        sink->fd = STDOUT_FILENO;
        errno = 0;
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            sink->fail(errno);
            std::clearerr(stdout);
        }
    }
    attach(std::move(sink));
    return true;
}

int ReportFile::shut() {
    if (!file_) {
        release();
        return 0;
    }
    std::FILE* file = file_;
    file_ = nullptr;
    if (!sink_) {  // a stream given by the caller: its error flag tells
        errno = 0;
        const bool failed = std::fflush(file) != 0 || std::ferror(file);
        return failed ? (errno != 0 ? errno : EIO) : 0;
    }
    if (std::fclose(file) != 0) sink_->fail(errno);
    if (!sink_->whole.empty()) {
        if (sink_->error == 0 && std::rename(sink_->whole.c_str(), name_.c_str()) != 0)
            sink_->fail(errno);
        if (sink_->error != 0) ::unlink(sink_->whole.c_str());
    }
    const int reason = sink_->error;
    sink_.reset();
    return reason;
}

bool ReportFile::close() {
    const int reason = shut();
    return reason == 0 || fail(reason);
}

bool closeReport(ReportFile& file, std::FILE* err) {
    const std::string name = file.name();
    if (file.close()) return true;
    std::fprintf(err, "Can't write %s: %s\n", name.c_str(), file.failure().c_str());
    return false;
}

}  // namespace rv
