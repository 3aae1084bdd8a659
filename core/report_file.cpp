#include "core/report_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace rv {

// The stream's end at the system: every buffer the stream hands over is
// written whole, and the first failure's errno is kept.
struct ReportFile::Sink {
    int fd = -1;
    bool owned = false;  // standard output is not closed
    int error = 0;
    std::string whole;  // openWhole: the new file, put at the report's name when closed whole

    void fail(int reason) {
        if (error == 0) error = reason != 0 ? reason : EIO;
    }

    static ssize_t write(void* cookie, const char* data, std::size_t size) {
        Sink& sink = *static_cast<Sink*>(cookie);
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::write(sink.fd, data + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                sink.fail(n < 0 ? errno : EIO);
                return -1;
            }
            done += static_cast<std::size_t>(n);
        }
        return static_cast<ssize_t>(size);
    }

    static int close(void* cookie) {
        Sink& sink = *static_cast<Sink*>(cookie);
        if (!sink.owned || ::close(sink.fd) == 0) return 0;
        sink.fail(errno);
        return -1;
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
    close();
}

bool ReportFile::open(const std::string& path, bool append) {
    close();
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) return false;
    sink_ = std::make_unique<Sink>();
    sink_->fd = fd;
    sink_->owned = true;
    file_ = sink_->openStream();
    if (!file_) {
        ::close(fd);
        sink_.reset();
        throw std::bad_alloc();
    }
    name_ = path;
    return true;
}

bool ReportFile::openWhole(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_nlink > 1))
        return open(path, false);
    close();
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    // mkostemp makes the file private; a report gets the permissions any
    // new file of the user gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    sink_ = std::make_unique<Sink>();
    sink_->fd = fd;
    sink_->owned = true;
    sink_->whole = std::move(temporary);
    file_ = sink_->openStream();
    if (!file_) {
        ::close(fd);
        ::unlink(sink_->whole.c_str());
        sink_.reset();
        throw std::bad_alloc();
    }
    name_ = path;
    return true;
}

void ReportFile::abandon() {
    if (!sink_ || sink_->whole.empty()) return;
    const std::string temporary = sink_->whole;
    sink_->whole.clear();
    close();
    ::unlink(temporary.c_str());
}

void ReportFile::useStream(std::FILE* stream, std::string name) {
    close();
    name_ = std::move(name);
    if (stream != stdout) {
        file_ = stream;
        return;
    }
    // Standard output gets a stream of its own; what the C library's
    // stream holds (a banner) goes first, and its failure counts here.
    sink_ = std::make_unique<Sink>();
    sink_->fd = STDOUT_FILENO;
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        sink_->fail(errno);
        std::clearerr(stdout);
    }
    file_ = sink_->openStream();
    if (!file_) {
        sink_.reset();
        throw std::bad_alloc();
    }
}

int ReportFile::close() {
    if (!file_) return 0;
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

bool closeReport(ReportFile& file, std::FILE* err) {
    const std::string name = file.name();
    const int reason = file.close();
    if (reason == 0) return true;
    std::fprintf(err, "Can't write %s: %s\n", name.c_str(), std::strerror(reason));
    return false;
}

}  // namespace rv
