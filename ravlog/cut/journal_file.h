// A cut's journal while ravlog writes or replays it, and the part of the
// cut that both do: bringing the history to the journal's content.
//
// The order of writes is what makes a crash at any instant recoverable:
//  1. the journal is created (exclusively, locked) with a "writing" header,
//     and the kept records are copied into it while the history is read;
//  2. under the history's lock, what the mailer appended since the reading
//     is added; the data is flushed, then the "committed" header (the
//     history's identity, how much of the history the data stands for, the
//     data's length and checksum), then the directory;
//  3. the data is written over the start of the history. Only the history's
//     dropped space is overwritten: everything from the old length on is the
//     mailer's and stays where it is;
//  4. records appended meanwhile are first added to the journal (flushed,
//     new header), then moved behind the content, as often as needed;
//  5. a mark goes into the dropped space, the history is flushed and the
//     header says "truncating" with the mark: a history still holding the
//     mark after a crash was not shortened yet;
//  6. while the history is held (a write lease: every other open waits),
//     its length is looked at a last time and it is shortened; then it is
//     flushed and the journal is removed.
// Before step 2 is on disk the history is untouched and the journal can
// be thrown away; after it, replaying steps 3 to 6 is always right.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/cut_journal.h"
#include "ravlog/cut/cut_io.h"

namespace rv::ravlog {

class JournalFile {
  public:
    explicit JournalFile(CutIo& io) : io_(io) {}
    ~JournalFile() { close(); }
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Starts the journal of a new cut (step 1): false when a file of the
    // name exists or the journal cannot be made. It holds the history's
    // records, so it gets the history's permissions.
    bool create(const std::string& path, const JournalHeader& start, unsigned mode);

    // Opens the journal found beside a history for its replay.
    enum class Found : std::uint8_t {
        none,     // no journal, or it cannot be opened
        busy,     // a running cut holds it
        foreign,  // somebody else's file of that name
        unfinished,
        valid,
    };
    Found open(const std::string& path);
    // The data read back against the header's length and checksum.
    bool contentIsSound();

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    const JournalHeader& header() const { return header_; }

    // Appends to the data, beyond what the header holds so far.
    bool append(const std::uint8_t* data, std::size_t size);
    bool appendFrom(int historyFd, std::uint64_t from, std::uint64_t to);
    // Flushes the data, then the committed header for the data written so
    // far, standing for oldLength bytes of the history.
    bool commit(std::uint64_t oldLength);
    // The header that says the history is about to be shortened.
    bool markTruncating(const std::array<std::uint8_t, 16>& mark);

    // The cut is over (or never began): the journal goes.
    bool remove();
    void close();

  private:
    bool writeHeader();

    CutIo& io_;
    int fd_ = -1;
    std::string path_;
    JournalHeader header_;
    std::uint64_t written_ = 0;  // data bytes written, committed or not
    JournalChecksum sum_;
    bool nameDurable_ = false;
};

// Steps 3 to 6 on the history (open for writing and locked, and open
// nowhere else in this process). False, with errno set, when a step
// failed: the journal then stays for the next run. unheld is set to why
// the history could not be held while it was shortened (CutIo::hold), or
// to nullptr.
bool finishCut(JournalFile& journal, int historyFd, CutIo& io, const char** unheld);

// The bytes that mark a history not yet shortened, from the header.
std::array<std::uint8_t, 16> shorteningMark(const JournalHeader& header);

}  // namespace rv::ravlog
