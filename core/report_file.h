// A report's destination, a file or standard output, that knows whether
// everything written to it arrived. The reports are written with the C
// library's buffered streams as before; the stream hands its bytes to the
// system here, so that the reason of the first failed write (a full disk,
// a file size limit) is kept for the "Can't write" message, however many
// calls come after it. Whatever way a run ends, an open file is closed.
// A text report in a DOS code page is converted here, on its way out, so
// that the writers produce UTF-8 alone.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "core/charset.h"

namespace rv {

class ReportFile {
  public:
    ReportFile();
    ~ReportFile();
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // The charset of the files opened from now on (UTF-8 until set).
    void convertTo(Charset charset) { charset_ = charset; }

    // Creates or truncates the file, or appends to it; false when it cannot
    // be opened (failure() says why). Neither follows a symbolic link of
    // another user (core/safe_open.h).
    [[nodiscard]] bool open(const std::string& path, bool append) {
        return reserve(path, append) && start();
    }
    // A report that is always written whole: a new file beside path takes
    // path's place when it is closed with every byte written, so that a
    // reader of path never meets it half written; abandoned, it is removed
    // and path stays as it was. The new file keeps the replaced one's mode,
    // and its owner and group where the user may give them. Where path is
    // no plain file of its own (a device, a symbolic or hard link) it is
    // written in place, as open does. False when it cannot be opened.
    [[nodiscard]] bool openWhole(const std::string& path) { return reserveWhole(path) && start(); }

    // open and openWhole in two steps, so that every report of a run is
    // known to be writable before any of them is changed. reserve opens
    // the file without changing it: an existing file keeps its bytes until
    // start, a missing one is created empty. reserveWhole makes the new
    // file beside path. A reserved report that is never started is let go
    // as if nothing had happened: a file created for it is removed.
    [[nodiscard]] bool reserve(const std::string& path, bool append);
    [[nodiscard]] bool reserveWhole(const std::string& path);
    // The reserved file becomes the report, truncated unless appended to.
    // False when it cannot be truncated.
    [[nodiscard]] bool start();
    bool reserved() const { return sink_ && !file_; }
    // After open, openWhole, reserve, reserveWhole, start or useStream
    // failed: why, as "Can't open <name>: <reason>" words it. A new file of
    // openWhole that could not be created beside path is named, its last
    // six characters standing for the ones chosen. After close failed: why,
    // as "Can't write <name>: <reason>" words it.
    const std::string& failure() const { return failure_; }

    // Writes to a stream that stays open. The process's standard output
    // is written under the same checks as a file; any other stream (a
    // test's) is judged by its error flag. False when the charset has no
    // converter.
    [[nodiscard]] bool useStream(std::FILE* stream, std::string name);

    std::FILE* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }
    const std::string& name() const { return name_; }

    // Flushes and closes: true when every byte reached the file, else
    // false, failure() telling why the first write, flush or close failed.
    [[nodiscard]] bool close();
    // Closes a report opened by openWhole without putting it in place.
    void abandon();

    struct Sink;  // the stream's end at the system, in report_file.cpp

  private:
    // close's work: 0, or the errno of the first failure. Also drops a
    // file that is left unfinished (the file given up for another).
    int shut();
    // Keep why opening or closing failed; false.
    bool fail(int reason);
    bool fail(std::string reason);
    void attach(std::unique_ptr<Sink> sink);
    void release();

    Charset charset_ = Charset::utf8;
    std::unique_ptr<Sink> sink_;
    std::FILE* file_ = nullptr;
    std::string name_;
    std::string failure_;
};

// Closes the report; a failure is told on err as "Can't write <name>:
// <reason>". True when everything was written.
[[nodiscard]] bool closeReport(ReportFile& file, std::FILE* err);

}  // namespace rv
