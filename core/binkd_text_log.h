// binkd's own text log as a history: one session record per "done" line,
// assembled from the lines its process wrote before (binkd_log_line.h),
// across the copies logrotate keeps beside the log (rotated_files.h).
//
// A record holds the remote's address as "done" names it (the binary
// log's address; "done (?, ..." gives the zero address, passed over like a
// zone-0 record), the start of "... session with" and the duration to
// "done" in local wall-clock seconds (the binary log's clock: TimeShift 0),
// the bytes and files of "done" (bytes beyond 32 bits held at the largest
// value, files beyond 255 at 255; the file counts in the spare bytes as
// the binary log keeps them: files received, files sent), and the suite's
// own flags: outgoing for "to", incoming for "from", normal for OK,
// protected after "pwd protected session". Nothing of it needs SwapInOut
// or the BinkD settling.
//
// Use: the format is told by isBinkdTextLog (also for a log that cannot
// be opened: right after a rotation its copies still hold sessions); then
// open() and readSession() until it returns false, as with HistoryReader.
// A record has no raw bytes: the text log is never cut.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/binkd_log_line.h"
#include "core/byte_source.h"
#include "core/file_directory.h"
#include "core/line_scanner.h"
#include "core/log_year.h"
#include "core/rotated_files.h"
#include "core/session_record.h"

namespace rv {

// Whether head, the first bytes of a file (as many as it has, at least
// the first line's head), starts as binkd's text log: one empty line at
// most (binkd's first line after a start), then a line of binkd's form.
bool startsAsBinkdTextLog(std::span<const std::uint8_t> head);

// Whether the history at path is binkd's text log: its head starts as one,
// or the file is empty or missing (just rotated) and the newest of its
// rotated copies starts as one.
bool isBinkdTextLog(const std::string& path, std::span<const std::uint8_t> head,
                    SourceOpener& opener, FileDirectory& directory);

class BinkdTextLogReader {
  public:
    // Open sessions kept at once; a start beyond them drops the oldest.
    static constexpr std::size_t maxOpenSessions = 256;

    // now, the run's time, stands for a file's modification time where
    // the directory cannot tell it.
    BinkdTextLogReader(SourceOpener& opener, FileDirectory& directory, std::time_t now);

    // Opens the log at path and its rotated copies and finds the year of
    // their lines (a first reading of them all). False when not one of the
    // files can be opened; openFailure() tells why for the log itself.
    bool open(const std::string& path);
    const std::string& openFailure() const { return opener_.failure(); }

    // The next session whose "done" line has been written; false at the
    // end. Only the bytes the first reading found whole are read.
    bool readSession(SessionRecord& r);

  private:
    struct File {
        LogFile name;
        std::uint64_t completeBytes = 0;  // through its last newline, as first read
    };
    struct OpenSession {
        std::uint32_t pid = 0;
        bool outgoing = false;
        bool passwordProtected = false;
        std::int64_t start = 0;  // wall-clock seconds
        std::uint64_t order = 0;
    };

    bool nextLine(std::string_view& line);
    OpenSession* findSession(std::uint32_t pid);
    OpenSession& newSession(std::uint32_t pid);
    void closeSession(OpenSession& s);
    // Fills r from the end of the session s; false when it cannot be a
    // record (a time beyond the records' clock).
    static bool makeRecord(const OpenSession& s, const BinkdSessionEnd& end, std::int64_t endTime,
                           SessionRecord& r);

    SourceOpener& opener_;
    FileDirectory& directory_;
    std::time_t now_;
    std::vector<File> files_;
    std::size_t current_ = 0;  // the file being read
    std::unique_ptr<ByteSource> source_;
    LineScanner lines_;
    LogYearTracker years_;
    // The open sessions are the first open_ places, so that a line's
    // process is looked up among those alone.
    std::array<OpenSession, maxOpenSessions> sessions_{};
    std::size_t open_ = 0;
    std::uint64_t started_ = 0;
};

}  // namespace rv
