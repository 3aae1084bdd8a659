// The journal of a history cut, as it lies on disk beside the history
// (<history>.journal). ravlog writes it while it cuts and replays it when a
// cut was interrupted; brimsel and pondrel only look whether one is
// pending.
//
// Layout: two header slots (at 0 and 512) and the data from 1024 on. The
// data is the start of the cut history: the kept records, then what the
// mailer appended, exactly as the history is to hold them. A header is
// rewritten in the slot that its sequence number picks, so that a header
// torn by a crash leaves the other, older one readable; the valid slot
// with the higher sequence is the journal's state. All numbers are
// little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace rv {

std::string cutJournalPath(const std::string& historyPath);

enum class JournalPhase : std::uint32_t {
    writing = 1,     // the kept records are still being copied: the history is untouched
    committed = 2,   // complete and flushed: the history may be rewritten from it
    truncating = 3,  // the history is written and about to be shortened
};

struct JournalHeader {
    JournalPhase phase = JournalPhase::writing;
    std::uint64_t sequence = 0;
    std::uint64_t device = 0;  // the history's identity
    std::uint64_t inode = 0;
    std::uint32_t recordSize = 0;
    std::int64_t limit = 0;           // the first second kept
    std::uint64_t oldLength = 0;      // how much of the history the data stands for
    std::uint64_t contentLength = 0;  // bytes of data: the length of the cut history so far
    std::uint64_t contentChecksum = 0;
    // Written into the history's dropped space before it is shortened:
    // still there means the history was not shortened yet.
    std::array<std::uint8_t, 16> mark{};
    std::uint64_t dropped = 0;
};

inline constexpr std::size_t journalSlotSize = 112;
inline constexpr std::size_t journalSlotStride = 512;
inline constexpr std::size_t journalDataOffset = 1024;

void encodeJournalSlot(const JournalHeader& header, std::uint8_t* slot);
// nullopt unless the slot holds a header of this version with a good checksum.
std::optional<JournalHeader> decodeJournalSlot(const std::uint8_t* slot);

// What a file at the journal's name is, from its first bytes.
struct JournalLook {
    enum class Kind : std::uint8_t {
        empty,    // created, nothing written yet
        foreign,  // not a journal: never touched
        torn,     // a journal whose only header was never completed
        valid,
    } kind = Kind::empty;
    JournalHeader header;  // the newest valid header, for valid
};
JournalLook lookAtJournal(const std::uint8_t* start, std::size_t size);

// The checksum of the journal's data (64-bit FNV-1a), fed in pieces.
class JournalChecksum {
  public:
    explicit JournalChecksum(std::uint64_t state = initial) : state_(state) {}
    void add(const std::uint8_t* data, std::size_t size) {
        std::uint64_t h = state_;
        for (std::size_t i = 0; i < size; ++i)
            h = (h ^ data[i]) * 0x100000001B3ull;
        state_ = h;
    }
    std::uint64_t value() const { return state_; }
    static constexpr std::uint64_t initial = 0xCBF29CE484222325ull;

  private:
    std::uint64_t state_;
};

// For the programs that only read histories, once the history is open
// (FileOpener::openHistory waits while a cut holds it, so that a committed
// journal found then is one that a crash or a failed rewrite left): says
// on warnings that an interrupted cut is pending and that the next ravlog
// run restores it.
void warnPendingCut(const std::string& historyPath, std::FILE* warnings);

}  // namespace rv
