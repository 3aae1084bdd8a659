#include "core/binkd_text_log.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string_view>

#include "core/dates.h"

namespace rv {

namespace {

constexpr std::int64_t maxRecordValue = std::numeric_limits<std::uint32_t>::max();

std::uint32_t heldTo32(std::uint64_t v) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, maxRecordValue));
}
std::uint16_t heldTo8(std::uint64_t v) {
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(v, 255));
}

// Enough bytes of a copy to see its first line's head.
constexpr std::size_t headBytes = 64;

}  // namespace

bool startsAsBinkdTextLog(std::span<const std::uint8_t> head) {
    std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
    if (text.substr(0, 1) == "\n")
        text.remove_prefix(1);
    else if (text.substr(0, 2) == "\r\n")
        text.remove_prefix(2);
    return startsWithBinkdLineHead(text);
}

bool isBinkdTextLog(const std::string& path, std::span<const std::uint8_t> head,
                    SourceOpener& opener, FileDirectory& directory) {
    if (!head.empty()) return startsAsBinkdTextLog(head);
    const std::vector<LogFile> files = logFilesOldestFirst(path, directory);
    if (files.size() < 2) return false;
    std::unique_ptr<ByteSource> newest = openLogFile(files[files.size() - 2], opener);
    if (!newest) return false;
    std::array<std::uint8_t, headBytes> bytes{};
    return startsAsBinkdTextLog({bytes.data(), readUpTo(*newest, bytes.data(), bytes.size())});
}

BinkdTextLogReader::BinkdTextLogReader(SourceOpener& opener, FileDirectory& directory,
                                       std::time_t now)
    : opener_(opener), directory_(directory), now_(now) {}

bool BinkdTextLogReader::open(const std::string& path) {
    files_.clear();
    source_.reset();
    current_ = 0;
    sessions_ = {};
    open_ = 0;
    std::string failure;
    bool opened = false;
    // The first reading counts the year's turns up to the last line and
    // notes which file holds it.
    LogYearTracker turns;
    std::int64_t lastYear = 0;
    YearlessTime last;
    std::optional<std::size_t> lastFile;
    for (const LogFile& name : logFilesOldestFirst(path, directory_)) {
        File& file = files_.emplace_back(File{name, 0});
        std::unique_ptr<ByteSource> source = openLogFile(name, opener_);
        if (!source) continue;
        opened = true;
        lines_.start(*source);
        std::string_view text;
        bool any = false;
        while (lines_.next(text)) {
            const std::optional<BinkdLogLine> line = parseBinkdLogLine(text);
            if (!line) continue;
            last = YearlessTime{line->month, line->day, line->secondOfDay};
            lastYear = turns.yearOf(last);
            any = true;
        }
        file.completeBytes = lines_.completeBytes();
        if (any) lastFile = files_.size() - 1;
    }
    if (!opened) return false;
    std::int64_t firstYear = 0;
    if (lastFile) {
        const std::time_t modified = static_cast<std::time_t>(
            directory_.modificationTime(files_[*lastFile].name.path).value_or(now_));
        firstYear = yearOfLastLine(last, localFieldsAsUtc(modified)) - lastYear;
    }
    years_ = LogYearTracker(firstYear);
    return true;
}

bool BinkdTextLogReader::nextLine(std::string_view& line) {
    for (;;) {
        if (source_ && lines_.next(line)) return true;
        source_.reset();
        if (current_ == files_.size()) return false;
        const File& file = files_[current_++];
        if (file.completeBytes == 0) continue;
        source_ = openLogFile(file.name, opener_);
        if (source_) lines_.start(*source_, file.completeBytes);
    }
}

BinkdTextLogReader::OpenSession* BinkdTextLogReader::findSession(std::uint32_t pid) {
    for (std::size_t i = 0; i < open_; ++i)
        if (sessions_[i].pid == pid) return &sessions_[i];
    return nullptr;
}

BinkdTextLogReader::OpenSession& BinkdTextLogReader::newSession(std::uint32_t pid) {
    OpenSession* slot = findSession(pid);  // a start without its done: begun afresh
    if (!slot && open_ < sessions_.size()) slot = &sessions_[open_++];
    if (!slot) {
        // All places taken: the session begun longest ago, whose binkd has
        // likely died without its done.
        slot = &*std::min_element(
            sessions_.begin(), sessions_.end(),
            [](const OpenSession& a, const OpenSession& b) { return a.order < b.order; });
    }
    *slot = OpenSession{pid, false, false, 0, ++started_};
    return *slot;
}

void BinkdTextLogReader::closeSession(OpenSession& s) {
    s = sessions_[--open_];
}

bool BinkdTextLogReader::makeRecord(const OpenSession& s, const BinkdSessionEnd& end,
                                    std::int64_t endTime, SessionRecord& r) {
    if (s.start < 0 || s.start > maxRecordValue) return false;
    r = SessionRecord{};
    r.address = end.address;
    r.startTime = static_cast<std::uint32_t>(s.start);
    // The hour a clock goes back can put the end before the start.
    r.duration =
        static_cast<std::uint32_t>(std::clamp<std::int64_t>(endTime - s.start, 0, maxRecordValue));
    r.bytesReceived = heldTo32(end.bytesReceived);
    r.bytesSent = heldTo32(end.bytesSent);
    // The binary log's bytes 24 and 25: files received, files sent.
    r.spare = static_cast<std::uint16_t>(heldTo8(end.filesReceived) | heldTo8(end.filesSent) << 8);
    const bool outgoing = end.side == BinkdSessionEnd::Side::unknown
                              ? s.outgoing
                              : end.side == BinkdSessionEnd::Side::to;
    r.flags = outgoing ? SessionFlags::outgoing : SessionFlags::incoming;
    if (end.ok) r.flags |= SessionFlags::normal;
    if (s.passwordProtected) r.flags |= SessionFlags::protectedSession;
    return true;
}

bool BinkdTextLogReader::readSession(SessionRecord& r) {
    std::string_view text;
    while (nextLine(text)) {
        const std::optional<BinkdLogLine> line = parseBinkdLogLine(text);
        if (!line) continue;
        // Every line moves the year on; only a session's lines need their time.
        const YearlessTime t{line->month, line->day, line->secondOfDay};
        const std::int64_t year = years_.yearOf(t);
        const BinkdMessage m = classifyBinkdMessage(line->message);
        switch (m.kind) {
            case BinkdMessage::Kind::sessionStart: {
                OpenSession& s = newSession(line->pid);
                s.outgoing = m.outgoing;
                s.start = wallSeconds(year, t);
                break;
            }
            case BinkdMessage::Kind::passwordProtected:
                if (OpenSession* s = findSession(line->pid)) s->passwordProtected = true;
                break;
            case BinkdMessage::Kind::sessionEnd:
                if (OpenSession* s = findSession(line->pid)) {
                    const OpenSession ended = *s;
                    closeSession(*s);
                    if (makeRecord(ended, m.end, wallSeconds(year, t), r)) return true;
                }
                break;
            case BinkdMessage::Kind::other:
                break;
        }
    }
    return false;
}

}  // namespace rv
