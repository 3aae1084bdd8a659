// The file operations of history cutting and of its replay. Every
// operation that changes a file is one step; a probe may watch the steps
// and make one of them fail, as a full disk would. Only the test program
// that proves the journal (tests/cut_fault) sets a probe; without one a
// step costs a pointer test.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/cut_journal.h"

namespace rv::ravlog {

enum class CutStep : std::uint8_t {
    journalCreate,    // the journal's exclusive creation
    journalWrite,     // a block of data, or a header, into the journal
    journalSync,      // the journal flushed to disk
    directorySync,    // the directory flushed, so that the journal's name is durable
    historyWrite,     // a block, or the shortening mark, into the history
    historySync,      // the history flushed to disk
    historyLease,     // the history held against other opens for its shortening
    historyTruncate,  // the history shortened to its new length
    journalRemove,    // the journal removed
};

const char* cutStepName(CutStep step);

// The blocks the kept records are journaled in and the copies are made
// in, one step each.
constexpr std::size_t cutBlockSize = std::size_t{1} << 16;

class CutProbe {
  public:
    virtual ~CutProbe() = default;
    // Called before every step; false makes the step fail with ENOSPC.
    virtual bool allow(CutStep step) = 0;
    // The block of a step. A probe may take smaller ones, so that a small
    // history makes as many steps as a large one; nothing on disk depends
    // on it.
    virtual std::size_t blockSize() const { return cutBlockSize; }
};

class CutIo {
  public:
    explicit CutIo(CutProbe* probe)
        : probe_(probe),
          blockSize_(probe ? std::max<std::size_t>(probe->blockSize(), 1) : cutBlockSize) {}

    std::size_t blockSize() const { return blockSize_; }

    // Each returns false, with errno set, when the step failed.
    bool writeAt(CutStep step, int fd, const void* data, std::size_t size, std::uint64_t offset);
    // Copies [from, to) of src to dst at dstOffset in blocks, one step per
    // block; sum, when given, is fed with the bytes copied.
    bool copy(CutStep step, int src, std::uint64_t from, std::uint64_t to, int dst,
              std::uint64_t dstOffset, JournalChecksum* sum = nullptr);
    bool sync(CutStep step, int fd);
    bool truncate(int fd, std::uint64_t size);
    // Holds the history open on fd (for writing) with a write lease: until
    // release, every other open of the file waits, so that a mailer that
    // appends without locking cannot write between the last look at the
    // length and the shortening. The lease is granted only while nobody
    // else has the file open: a mailer's open-write-close is waited out
    // for a moment. nullptr when held, else why not, for the operator.
    const char* hold(int fd);
    void release(int fd);
    // Creates path exclusively (never over an existing file); -1 on failure.
    int createExclusive(const std::string& path, unsigned mode);
    bool remove(const std::string& path);
    // Flushes the directory holding path. A directory that cannot be
    // opened for reading is not held against the cut.
    bool syncDirectoryOf(const std::string& path);

  private:
    bool allow(CutStep step);

    CutProbe* probe_;
    std::size_t blockSize_;
    std::vector<char> block_;
};

// Reads [offset, offset + size) of fd; false on a short or failed read.
bool readExactly(int fd, void* data, std::size_t size, std::uint64_t offset);

// An exclusive advisory lock, waiting a few seconds for a cooperating tool at most.
bool lockExclusive(int fd);

}  // namespace rv::ravlog
