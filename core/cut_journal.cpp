#include "core/cut_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/le.h"

namespace rv {

namespace {

constexpr std::uint8_t magic[8] = {'R', 'V', 'C', 'U', 'T', 'J', 'N', 'L'};
constexpr std::uint32_t version = 1;
constexpr std::size_t checksumOffset = journalSlotSize - 8;

std::uint64_t slotChecksum(const std::uint8_t* slot) {
    JournalChecksum sum;
    sum.add(slot, checksumOffset);
    return sum.value();
}

bool knownPhase(std::uint32_t phase) {
    return phase >= 1 && phase <= 3;
}

}  // namespace

std::string cutJournalPath(const std::string& historyPath) {
    return historyPath + ".journal";
}

void encodeJournalSlot(const JournalHeader& h, std::uint8_t* slot) {
    std::memset(slot, 0, journalSlotSize);
    std::memcpy(slot, magic, sizeof magic);
    storeU32(slot + 8, version);
    storeU32(slot + 12, static_cast<std::uint32_t>(h.phase));
    storeU64(slot + 16, h.sequence);
    storeU64(slot + 24, h.device);
    storeU64(slot + 32, h.inode);
    storeU32(slot + 40, h.recordSize);
    storeU64(slot + 48, static_cast<std::uint64_t>(h.limit));
    storeU64(slot + 56, h.oldLength);
    storeU64(slot + 64, h.contentLength);
    storeU64(slot + 72, h.contentChecksum);
    std::memcpy(slot + 80, h.mark.data(), h.mark.size());
    storeU64(slot + 96, h.dropped);
    storeU64(slot + checksumOffset, slotChecksum(slot));
}

std::optional<JournalHeader> decodeJournalSlot(const std::uint8_t* slot) {
    if (std::memcmp(slot, magic, sizeof magic) != 0 || loadU32(slot + 8) != version ||
        !knownPhase(loadU32(slot + 12)) || loadU64(slot + checksumOffset) != slotChecksum(slot))
        return std::nullopt;
    JournalHeader h;
    h.phase = static_cast<JournalPhase>(loadU32(slot + 12));
    h.sequence = loadU64(slot + 16);
    h.device = loadU64(slot + 24);
    h.inode = loadU64(slot + 32);
    h.recordSize = loadU32(slot + 40);
    h.limit = static_cast<std::int64_t>(loadU64(slot + 48));
    h.oldLength = loadU64(slot + 56);
    h.contentLength = loadU64(slot + 64);
    h.contentChecksum = loadU64(slot + 72);
    std::memcpy(h.mark.data(), slot + 80, h.mark.size());
    h.dropped = loadU64(slot + 96);
    return h;
}

JournalLook lookAtJournal(const std::uint8_t* start, std::size_t size) {
    JournalLook look;
    if (size == 0) return look;
    std::optional<JournalHeader> best;
    for (std::size_t offset : {std::size_t{0}, journalSlotStride}) {
        if (size < offset + journalSlotSize) continue;
        std::optional<JournalHeader> h = decodeJournalSlot(start + offset);
        if (h && (!best || h->sequence > best->sequence)) best = h;
    }
    if (best) {
        look.kind = JournalLook::Kind::valid;
        look.header = *best;
        return look;
    }
    // The first header is written right after the file is created: a file
    // that begins with (a part of) the magic and has no valid header was
    // cut short there. Anything else is somebody else's file.
    const std::size_t compared = size < sizeof magic ? size : sizeof magic;
    const bool ours = std::memcmp(start, magic, compared) == 0 ||
                      std::all_of(start, start + size, [](std::uint8_t b) { return b == 0; });
    look.kind = ours ? JournalLook::Kind::torn : JournalLook::Kind::foreign;
    return look;
}

void warnPendingCut(const std::string& historyPath, std::FILE* warnings) {
    const std::string journal = cutJournalPath(historyPath);
    const int fd = ::open(journal.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return;
    std::uint8_t start[journalDataOffset];
    std::size_t size = 0;
    while (size < sizeof start) {
        const ssize_t n = ::read(fd, start + size, sizeof start - size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    const JournalLook look = lookAtJournal(start, size);
    if (look.kind == JournalLook::Kind::valid && look.header.phase != JournalPhase::writing)
        std::fprintf(warnings,
                     "An interrupted cut of %s is pending: the next ravlog run restores it from "
                     "%s\n",
                     historyPath.c_str(), journal.c_str());
}

}  // namespace rv
