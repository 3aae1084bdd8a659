#include "ravlog/cut/cut_recovery.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "core/safe_open.h"
#include "ravlog/cut/journal_file.h"

namespace rv::ravlog {

namespace {

// The history begins with the journal's content.
bool historyBeginsWithContent(int historyFd, const JournalFile& journal) {
    std::vector<std::uint8_t> ours(1 << 16), theirs(1 << 16);
    const std::uint64_t length = journal.header().contentLength;
    for (std::uint64_t done = 0; done < length;) {
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(length - done, ours.size()));
        if (!readExactly(journal.fd(), ours.data(), n, journalDataOffset + done) ||
            !readExactly(historyFd, theirs.data(), n, done) ||
            std::memcmp(ours.data(), theirs.data(), n) != 0)
            return false;
        done += n;
    }
    return true;
}

// The history still holds the mark written before its shortening.
bool markStillThere(int historyFd, const JournalHeader& header) {
    std::array<std::uint8_t, 16> found{};
    return readExactly(historyFd, found.data(), found.size(), header.contentLength) &&
           found == header.mark;
}

struct Closer {
    int fd;
    ~Closer() {
        if (fd >= 0) ::close(fd);
    }
};

// Replays a committed journal on the history; nullptr when the history is
// whole again, else why not.
const char* replay(JournalFile& journal, const std::string& historyPath, CutIo& io,
                   std::FILE* warnings) {
    const JournalHeader& h = journal.header();
    if (h.contentLength > h.oldLength || (h.recordSize != 28 && h.recordSize != 100) ||
        !journal.contentIsSound())
        return "the journal is damaged";
    // A link of the run's user or root is followed, as when the history was cut.
    std::string refusal;
    const int fd = openToWrite(historyPath, O_RDWR | O_CLOEXEC | O_NONBLOCK, 0, refusal);
    if (!refusal.empty()) return "it is reached through a link owned by another user";
    if (fd < 0) return std::strerror(errno);
    Closer closer{fd};
    if (!lockExclusive(fd)) return "another program holds the history's lock";
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_ino) != h.inode)
        return "it is not the file that was being cut";
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (h.phase == JournalPhase::truncating && !markStillThere(fd, h)) {
        // Shortened already: only the journal's removal was missing.
        if (size < h.contentLength || !historyBeginsWithContent(fd, journal))
            return "the history was changed after the cut";
        return journal.remove() ? nullptr : std::strerror(errno);
    }
    // Not shortened yet: everything from the old length on is the mailer's.
    if (size < h.oldLength) return "the history was changed after the cut";
    const char* unheld = nullptr;
    const bool finished = finishCut(journal, fd, io, &unheld);
    const int error = errno;
    if (unheld)
        std::fprintf(warnings, "Shortened %s without a lease: %s\n", historyPath.c_str(), unheld);
    if (!finished)
        return error == ESTALE ? "another program shortened the history" : std::strerror(error);
    return nullptr;
}

}  // namespace

void restoreInterruptedCut(const std::string& historyPath, std::FILE* warnings, CutProbe* probe) {
    const std::string journalPath = cutJournalPath(historyPath);
    CutIo io(probe);
    JournalFile journal(io);
    switch (journal.open(journalPath)) {
        case JournalFile::Found::none:
        case JournalFile::Found::busy:
        case JournalFile::Found::foreign:
            // No crash to mend, a running cut's own journal, or somebody
            // else's file: the cut of this history then says it can't.
            return;
        case JournalFile::Found::unfinished:
            // The crash came while the kept records were copied: the
            // history was never touched.
            if (journal.remove())
                std::fprintf(warnings, "Removed the unfinished journal %s: %s was not changed\n",
                             journalPath.c_str(), historyPath.c_str());
            return;
        case JournalFile::Found::valid:
            break;
    }
    if (const char* why = replay(journal, historyPath, io, warnings))
        std::fprintf(warnings, "Can't restore %s from %s: %s\n", historyPath.c_str(),
                     journalPath.c_str(), why);
    else
        std::fprintf(warnings, "Restored %s from %s\n", historyPath.c_str(), journalPath.c_str());
}

}  // namespace rv::ravlog
