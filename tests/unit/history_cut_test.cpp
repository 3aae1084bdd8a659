// The history cutter on real files: which records stay, that they stay
// byte for byte, and that no failure at any point of the rewrite loses a
// record that should stay or writes one twice. Records are offered as
// ravlog offers them (raw bytes from the reader); the cutter's clock is
// the record's own start, so expected files are built by hand from the
// same records with the history writer.
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "captured_stream.h"
#include "core/byte_source.h"
#include "core/history_reader.h"
#include "ravlog/cut/cut_recovery.h"
#include "ravlog/cut/history_cut.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "time_zone_scope.h"
#include "tools/history_writer.h"

namespace rv {
namespace {

using namespace ravlog;

using histgen::Bytes;
using histgen::HistoryWriter;
using histgen::utcSeconds;
using testing::CapturedStream;
using testing::ScratchDir;
using testing::slurp;
using testing::TimeZoneScope;
using T = HistoryType;

const std::time_t midnight = utcSeconds(2024, 3, 10);
const std::time_t now = midnight + 10 * 3600;

SessionRecord session(std::int16_t node, std::int64_t start) {
    SessionRecord r;
    r.address = {2, 5020, node, 0};
    r.startTime = static_cast<std::uint32_t>(start);
    r.duration = 300 + static_cast<std::uint32_t>(node);
    r.bytesReceived = 1000u * static_cast<std::uint32_t>(node);
    r.bytesSent = 7;
    // Bytes that nothing reads must survive too.
    r.spare = static_cast<std::uint16_t>(0xA500 + node);
    r.flags = SessionFlags::incoming | SessionFlags::normal | 0x4000;
    r.cost = 0xC0570000u + static_cast<std::uint32_t>(node);
    for (std::size_t i = 0; i < r.extension.size(); ++i)
        r.extension[i] = static_cast<std::uint8_t>(node * 3 + i);
    return r;
}

Bytes historyOf(HistoryType type, const std::vector<SessionRecord>& records) {
    HistoryWriter w(type == T::binkd ? T::plain28 : type);
    for (const SessionRecord& r : records)
        w.session(r);
    return w.bytes();
}

Bytes recordBytes(HistoryType type, const SessionRecord& r) {
    Bytes b = historyOf(type, {r});
    if (type == T::long100) b.erase(b.begin(), b.begin() + 2);
    return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes fileBytes(const std::string& path) {
    std::string s = slurp(path);
    return Bytes(s.begin(), s.end());
}

bool append(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) return false;
    bool ok = histgen::writeBytes(f, bytes);
    return std::fclose(f) == 0 && ok;
}

std::vector<std::string> namesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Reads the history as ravlog does and offers every record; a start time
// that does not fit a signed 32-bit time counts as unreadable. Returns the
// bytes read.
std::uint64_t readAndOffer(HistoryCutter& cutter, const std::string& value, std::int16_t days,
                           HistoryType* typeSeen = nullptr, bool supportNewFormat = true) {
    FileOpener opener;
    MemoryDirectory directory;
    HistoryReader reader(opener, directory, 0);
    HistorySource source;
    parseHistoryValue(value, source);
    // The configuration's limit on names is not the cutter's business.
    if (value.find(',') == std::string::npos) source.path = value;
    if (!reader.openHistory(source, supportNewFormat)) return 0;
    if (typeSeen) *typeSeen = reader.type();
    cutter.begin(source.path, reader.type(), days, midnight);
    SessionRecord r;
    while (reader.readSession(r)) {
        SessionTime time;
        time.shifted = time.localStart = static_cast<std::int32_t>(r.startTime);
        time.brokenDown = time.shifted >= 0;
        cutter.offer(reader.rawRecord(), r, time);
    }
    return reader.consumed();
}

// Watches the cut's steps: a test acts at one as a mailer or a full disk
// would (false makes the step fail).
struct StepProbe final : CutProbe {
    std::function<bool(CutStep)> onStep;
    bool allow(CutStep step) override { return !onStep || onStep(step); }
};

// One history file with a cutter, its report line and its warnings.
struct CutCase {
    ScratchDir dir;
    CapturedStream warnings;
    CapturedStream report;
    StepProbe probe;
    HistoryCutter cutter{report.get(), warnings.get(), &probe};
    std::string path = dir.file("hist.his");
    std::string journal = path + ".journal";

    std::uint64_t read(std::int16_t days, const std::string& params = "") {
        return readAndOffer(cutter, path + params, days);
    }
    std::string cantCut(const std::string& why) const {
        return "Can't cut " + path + ": " + why + "\n";
    }
};

// Two days before the run, the day before, the run day.
const std::vector<SessionRecord> threeDays = {
    session(1, midnight - 2 * 86400 + 3600), session(2, midnight - 86400 + 60),
    session(3, midnight - 1), session(4, midnight), session(5, midnight + 7200)};

TEST(HistoryCut, LimitCountsWholeDaysBackFromRunMidnight) {
    // N = 1 keeps the run day from its first second; N = 2 adds the day before.
    const std::vector<SessionRecord> edge = {session(1, midnight - 86400 - 1),
                                             session(2, midnight - 86400), session(3, midnight - 1),
                                             session(4, midnight)};
    TimeZoneScope zone("UTC");
    struct Limit {
        std::int16_t days;
        const char* shown;
    };
    for (const auto& [days, shown] :
         {Limit{1, "2024-03-10 00:00:00"}, Limit{2, "2024-03-09 00:00:00"},
          Limit{7, "2024-03-04 00:00:00"}}) {
        SCOPED_TRACE(days);
        CutCase c;
        ASSERT_TRUE(c.dir.write("hist.his", historyOf(T::plain28, edge)));
        c.cutter.end(c.read(days));
        std::vector<SessionRecord> kept;
        for (const SessionRecord& r : edge)
            if (static_cast<std::time_t>(r.startTime) >= midnight - (days - 1) * 86400)
                kept.push_back(r);
        EXPECT_EQ(fileBytes(c.path), historyOf(T::plain28, kept));
        EXPECT_EQ(c.cutter.droppedCount(), edge.size() - kept.size());
        // The one line that a cut writes; none when nothing was dropped.
        const std::string line = "Cut " + c.path + ": " +
                                 std::to_string(edge.size() - kept.size()) + " records dropped, " +
                                 std::to_string(kept.size()) + " kept, limit " + shown + "\n";
        EXPECT_EQ(c.report.text(), kept.size() < edge.size() ? line : "");
        EXPECT_EQ(c.warnings.text(), "");
        EXPECT_EQ(namesIn(c.dir.path()), std::vector<std::string>{"hist.his"});
    }
}

TEST(HistoryCut, KeptRecordsAreCopiedByteForByteInEveryRewrittenType) {
    for (HistoryType type : {T::long100, T::plain28, T::binkd}) {
        SCOPED_TRACE(number(type));
        CutCase c;
        ASSERT_TRUE(c.dir.write("hist.his", historyOf(type, threeDays)));
        HistoryType seen = T::none;
        const std::uint64_t bytesRead =
            readAndOffer(c.cutter, c.path + (type == T::binkd ? ",1,1" : ""), 1, &seen);
        ASSERT_EQ(seen, type);
        c.cutter.end(bytesRead);
        // The type 1 header stays in front; spare, flags, cost and the
        // extension bytes are those written.
        Bytes expected = historyOf(type, {threeDays[3], threeDays[4]});
        EXPECT_EQ(fileBytes(c.path), expected);
        EXPECT_EQ(c.warnings.text(), "");
    }
}

// A program's words with the scratch directory's name taken out.
std::string withoutDir(std::string text, const ScratchDir& dir) {
    const std::string prefix = dir.path() + "/";
    for (std::size_t at; (at = text.find(prefix)) != std::string::npos;)
        text.erase(at, prefix.size());
    return text;
}

// Every format, and the readings that take a file for another, with every
// low byte of the first start time (once the top byte of the only value
// the 316-byte format was told by): the type each is read as, and what a
// cut to 7 days, which would drop the older half, does with it. "cut": the
// kept records are the file; "left alone": a format that is never cut;
// "refused": "Can't cut" with the cause, the file unchanged. Each row
// sums the 256 outcomes up as runs of low bytes.
TEST(HistoryCut, EveryFormatAndEveryFirstStartIsReadAsItselfAndCutOnlyThen) {
    constexpr HistoryType text = T::none;
    struct Reading {
        const char* what;
        HistoryType written;  // text: a text file
        std::string value;    // of the History keyword; the file is h.his or h.ohs
        bool supportNewFormat;
        std::string outcomes;
        std::int16_t net = 5020;    // of every session
        bool skippedFirst = false;  // 316-byte: a record the readers skip comes first
    };
    const std::vector<Reading> readings = {
        {"100-byte records", T::long100, "h.his", true, "0-255: type 1, cut"},
        {"28-byte records", T::plain28, "h.his", true, "0-255: type 2, cut"},
        {"a BinkD line", T::plain28, "h.his,1,1", true, "0-255: type 3, cut"},
        {"The Brake!", T::brake, "h.his", true, "0-255: type 4, left alone"},
        {"116-byte pair", T::pair116, "h.ohs", true, "0-255: type 5, left alone"},
        {"64-byte records", T::status64, "h.his", true, "0-255: type 6, left alone"},
        {"316-byte records", T::wide316, "h.his", true, "0-255: type 7, left alone"},
        {"316-byte records, a skipped one first", T::wide316, "h.his", true,
         "0-255: type 7, left alone", 5020, true},
        {"104-byte pair", T::dated104, "h.ohs", true, "0-255: type 8, left alone"},
        // The first net's low byte is 0, as a 316-byte record's byte 2 is:
        // read as 316-byte records as it always was (and so never cut).
        {"28-byte records from 2:5120", T::plain28, "h.his", true,
         "0-39: type 2, cut; 40-255: type 7, left alone", 5120},
        {"316-byte records on a BinkD line", T::wide316, "h.his,1,1", true,
         "0-255: type 3, refused: not of that format"},
        {"316-byte records, SupportNewFormat No", T::wide316, "h.his", false,
         "0-255: type 2, refused: not of that format"},
        {"100-byte records, SupportNewFormat No", T::long100, "h.his", false,
         "0-255: type 2, refused: starts with F1 00"},
        {"a text file", text, "h.his", true, "0-255: type 2, refused: not of that format"},
    };
    std::string lines;
    for (int i = 0; i < 40; ++i)
        lines += "[LINE]\nHistory /var/spool/fido/binkd.his,2,1 ; line " + std::to_string(i) + "\n";
    const std::string wrongFormat = " cannot be sessions: it is not a history of that format\n";
    const std::string long100Refused =
        "it starts with F1 00 (100-byte records) and is read as 28-byte records, as "
        "SupportNewFormat No says\n";
    for (const Reading& r : readings) {
        SCOPED_TRACE(r.what);
        std::string outcomes, last;
        std::uint32_t runStart = 0;
        for (std::uint32_t low = 0; low < 256; ++low) {
            // 14 sessions, one every 1.5 days up to the run day: 7 older
            // than a week.
            std::vector<SessionRecord> records, kept;
            const auto first = static_cast<std::uint32_t>(midnight - 20 * 86400);
            for (std::uint32_t i = 0; i < 14; ++i) {
                SessionRecord one = session(static_cast<std::int16_t>(i + 1),
                                            ((first & ~0xFFu) | low) + i * 129600);
                one.address.net = r.net;
                records.push_back(one);
                if (one.startTime >= midnight - 6 * 86400) kept.push_back(one);
            }
            HistoryWriter w(r.written == text ? T::plain28 : r.written);
            if (r.written == T::dated104) w.datedDummy(records[0].startTime);
            if (r.skippedFirst) w.wideSkipped(5, records[0].startTime);
            for (const SessionRecord& one : records)
                w.session(one);
            const Bytes original =
                r.written == text ? Bytes(lines.begin(), lines.end()) : w.bytes();

            ScratchDir dir{testing::fastestBase()};
            CapturedStream warnings, report;
            HistoryCutter cutter(report.get(), warnings.get());
            const std::string name = r.value.substr(0, 5), path = dir.file(name);
            ASSERT_TRUE(dir.write(name, original));
            HistoryType seen = T::none;
            cutter.end(readAndOffer(cutter, dir.file(r.value), 7, &seen, r.supportNewFormat));

            const std::string said = warnings.text(), cantCut = "Can't cut " + path + ": ";
            const std::string records28 = "read as 28-byte records, ";
            const std::string of = " of its " + std::to_string(original.size() / 28) + " records";
            const bool untouched =
                fileBytes(path) == original && namesIn(dir.path()) == std::vector{name};
            std::string outcome = "type " + std::to_string(number(seen)) + ", ";
            if (said.empty() && !report.text().empty() &&
                namesIn(dir.path()) == std::vector{name} &&
                fileBytes(path) == historyOf(seen == T::binkd ? T::plain28 : seen, kept))
                outcome += "cut";
            else if (said.empty() && report.text().empty() && untouched)
                outcome += "left alone";
            else if (report.text().empty() && untouched && said == cantCut + long100Refused)
                outcome += "refused: starts with F1 00";
            else if (report.text().empty() && untouched &&
                     said.rfind(cantCut + records28, 0) == 0 &&
                     said.find(of + wrongFormat) != std::string::npos)
                outcome += "refused: not of that format";
            else
                outcome += "unexpected: \"" + withoutDir(said + report.text(), dir) + "\"";
            if (low > 0 && outcome != last) {
                outcomes +=
                    std::to_string(runStart) + "-" + std::to_string(low - 1) + ": " + last + "; ";
                runStart = low;
            }
            last = outcome;
        }
        outcomes += std::to_string(runStart) + "-255: " + last;
        EXPECT_EQ(outcomes, r.outcomes);
    }
}

TEST(HistoryCut, NothingOlderThanTheLimitLeavesTheHistoryAsItWas) {
    CutCase c;
    const Bytes original = historyOf(T::long100, {threeDays[3], threeDays[4]});
    ASSERT_TRUE(c.dir.write("hist.his", original));
    struct stat before {};
    ASSERT_EQ(::stat(c.path.c_str(), &before), 0);
    c.cutter.end(c.read(1));
    struct stat after {};
    ASSERT_EQ(::stat(c.path.c_str(), &after), 0);
    EXPECT_EQ(fileBytes(c.path), original);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(namesIn(c.dir.path()), std::vector<std::string>{"hist.his"});
    EXPECT_EQ(c.warnings.text(), "");
    EXPECT_EQ(c.report.text(), "");
}

TEST(HistoryCut, OnlyARecordWhoseTimeReadsOldIsDropped) {
    CutCase c;
    SessionRecord unreadable = session(9, 0);
    unreadable.startTime = 0xFFFFFF00u;  // negative as a 32-bit time
    SessionRecord zoneZero = session(8, midnight + 60);
    zoneZero.address.zone = 0;
    SessionRecord oldZoneZero = session(7, midnight - 3 * 86400);
    oldZoneZero.address.zone = 0;
    ASSERT_TRUE(c.dir.write("hist.his", historyOf(T::plain28, {threeDays[0], unreadable, zoneZero,
                                                               oldZoneZero, threeDays[4]})));
    c.cutter.end(c.read(1));
    EXPECT_EQ(fileBytes(c.path), historyOf(T::plain28, {unreadable, zoneZero, threeDays[4]}));
}

TEST(HistoryCut, TruncatedLastRecordStaysEvenWhenItsTimeIsOld) {
    for (std::size_t cut : {1u, 11u, 12u, 20u, 27u}) {
        SCOPED_TRACE(cut);
        CutCase c;
        const Bytes partial = recordBytes(T::plain28, threeDays[0]);
        const Bytes head(partial.begin(), partial.begin() + static_cast<std::ptrdiff_t>(cut));
        ASSERT_TRUE(c.dir.write("hist.his", historyOf(T::plain28, threeDays) + head));
        c.cutter.end(c.read(1));
        EXPECT_EQ(fileBytes(c.path), historyOf(T::plain28, {threeDays[3], threeDays[4]}) + head);
    }
}

TEST(HistoryCut, RecordBeingWrittenDuringTheCutIsCompletedInPlace) {
    // The mailer had written part of a record when the history was read and
    // writes the rest before the rewrite: the record comes out whole.
    CutCase c;
    const SessionRecord late = session(6, midnight + 9 * 3600);
    const Bytes whole = recordBytes(T::long100, late);
    const Bytes head(whole.begin(), whole.begin() + 40);
    const Bytes rest(whole.begin() + 40, whole.end());
    ASSERT_TRUE(c.dir.write("hist.his", historyOf(T::long100, threeDays) + head));
    const std::uint64_t bytesRead = c.read(1);
    ASSERT_TRUE(append(c.path, rest));
    c.cutter.end(bytesRead);
    std::vector<SessionRecord> kept = {threeDays[3], threeDays[4], late};
    EXPECT_EQ(fileBytes(c.path), historyOf(T::long100, kept));
}

TEST(HistoryCut, RecordsAppendedAfterTheReadingAreCarriedOverOnce) {
    const SessionRecord a = session(20, midnight + 9 * 3600), b = session(21, midnight + 9 * 3660);
    const SessionRecord d = session(22, midnight + 9 * 3700), e = session(23, midnight + 9 * 3800);
    // Appended between the reading and the rewrite, and while the kept
    // records were being written back.
    CutCase c;
    ASSERT_TRUE(c.dir.write("hist.his", historyOf(T::plain28, threeDays)));
    const std::uint64_t bytesRead = c.read(2);
    ASSERT_TRUE(append(c.path, historyOf(T::plain28, {a, b})));
    int calls = 0;
    c.probe.onStep = [&](CutStep step) {
        if (step == CutStep::historyWrite && ++calls == 1)
            append(c.path, historyOf(T::plain28, {d, e}));
        return true;
    };
    c.cutter.end(bytesRead);
    EXPECT_GE(calls, 1);
    EXPECT_EQ(fileBytes(c.path), historyOf(T::plain28, {threeDays[1], threeDays[2], threeDays[3],
                                                        threeDays[4], a, b, d, e}));
    EXPECT_EQ(namesIn(c.dir.path()), std::vector<std::string>{"hist.his"});
    EXPECT_EQ(c.warnings.text(), "");
}

TEST(HistoryCut, RewriteKeepsInodeOwnerAndPermissions) {
    CutCase c;
    ASSERT_TRUE(c.dir.write("hist.his", historyOf(T::plain28, threeDays)));
    ASSERT_EQ(::chmod(c.path.c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(c.path.c_str(), 4321, 8765), 0);
    }
    // A second name of the same file sees the cut: the file was rewritten,
    // not replaced.
    const std::string alias = c.dir.file("alias");
    ASSERT_EQ(::link(c.path.c_str(), alias.c_str()), 0);
    struct stat before {};
    ASSERT_EQ(::stat(c.path.c_str(), &before), 0);
    const std::uint64_t bytesRead = c.read(1);
    // The journal holds the same records: no one may read more of it.
    struct stat journal {};
    ASSERT_EQ(::stat(c.journal.c_str(), &journal), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(journal.st_mode & 0777, 0640u & ~mask);
    c.cutter.end(bytesRead);
    struct stat after {};
    ASSERT_EQ(::stat(c.path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    if (root) {
        EXPECT_EQ(after.st_uid, 4321u);
    }
    EXPECT_EQ(fileBytes(alias), historyOf(T::plain28, {threeDays[3], threeDays[4]}));
}

TEST(HistoryCut, SymbolicLinkIsCutInTheFileItNames) {
    CutCase c;
    ASSERT_TRUE(c.dir.write("real.his", historyOf(T::plain28, threeDays)));
    ASSERT_EQ(::symlink("real.his", c.path.c_str()), 0);
    c.cutter.end(c.read(1));
    EXPECT_EQ(c.warnings.text(), "");
    EXPECT_EQ(fileBytes(c.dir.file("real.his")),
              historyOf(T::plain28, {threeDays[3], threeDays[4]}));
    struct stat st {};
    ASSERT_EQ(::lstat(c.path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(namesIn(c.dir.path()), (std::vector<std::string>{"hist.his", "real.his"}));
}

// Something happens to the history between its reading and its rewrite:
// the cut is given up and nothing is written anywhere.
TEST(HistoryCut, HistoryChangedBehindTheReaderIsLeftAlone) {
    const Bytes original = historyOf(T::plain28, threeDays);
    const Bytes other = historyOf(T::plain28, {session(40, midnight - 5 * 86400)});
    struct Change {
        const char* what;
        std::function<void(CutCase&)> make;
        std::vector<std::string> names;
        std::string why;
    };
    const std::vector<Change> changes = {
        {"replaced by a directory",
         [&](CutCase& c) {
             ASSERT_EQ(::rename(c.path.c_str(), c.dir.file("moved").c_str()), 0);
             ASSERT_EQ(::mkdir(c.path.c_str(), 0755), 0);
         },
         {"hist.his", "moved"},
         "can't open it for writing: Is a directory"},
        {"replaced by another file",
         [&](CutCase& c) {
             ASSERT_TRUE(c.dir.write("new", other));
             ASSERT_EQ(::rename(c.dir.file("new").c_str(), c.path.c_str()), 0);
         },
         {"hist.his"},
         "another file took its name while it was read"},
        {"removed",
         [&](CutCase& c) { ASSERT_EQ(::unlink(c.path.c_str()), 0); },
         {},
         "can't open it for writing: No such file or directory"},
        {"shortened",
         [&](CutCase& c) { ASSERT_EQ(::truncate(c.path.c_str(), 28 * 4), 0); },
         {"hist.his"},
         "another program changed it while it was read"},
        {"rewritten to the same length",
         [&](CutCase& c) {
             ASSERT_TRUE(c.dir.write(
                 "hist.his", historyOf(T::plain28, {threeDays[4], threeDays[3], threeDays[2],
                                                    threeDays[1], threeDays[0]})));
         },
         {"hist.his"},
         "another program changed it while it was read"},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        CutCase c;
        ASSERT_TRUE(c.dir.write("hist.his", original));
        const std::uint64_t bytesRead = c.read(1);
        change.make(c);
        const Bytes afterChange =
            ::access(c.path.c_str(), F_OK) == 0 && std::filesystem::is_regular_file(c.path)
                ? fileBytes(c.path)
                : Bytes{};
        c.cutter.end(bytesRead);
        EXPECT_EQ(c.warnings.text(), c.cantCut(change.why));
        EXPECT_EQ(namesIn(c.dir.path()), change.names);
        if (std::filesystem::is_regular_file(c.path)) {
            EXPECT_EQ(fileBytes(c.path), afterChange);
        }
        if (std::filesystem::exists(c.dir.file("moved"))) {
            EXPECT_EQ(fileBytes(c.dir.file("moved")), original);
            EXPECT_TRUE(std::filesystem::is_empty(c.path));
        }
    }
}

TEST(HistoryCut, SecondCutOfTheSameReadingDoesNotUndoTheFirst) {
    // Two cuts read the same history; the first rewrites it and the mailer
    // then logs as much as was dropped, so that the file is as long as
    // when the second one read it. The second must not write its stale
    // view over the new records.
    ScratchDir dir;
    const std::string path = dir.file("hist.his");
    ASSERT_TRUE(dir.write("hist.his", historyOf(T::plain28, threeDays)));
    CapturedStream reportA, warningsA, reportB, warningsB;
    HistoryCutter a(reportA.get(), warningsA.get()), b(reportB.get(), warningsB.get());
    const std::uint64_t readA = readAndOffer(a, path, 1);
    // The second finds the first one's journal in its way.
    const std::uint64_t readB = readAndOffer(b, path, 1);
    a.end(readA);
    const SessionRecord x = session(30, midnight + 8 * 3600), y = session(31, midnight + 8 * 3700),
                        z = session(32, midnight + 8 * 3800);
    ASSERT_TRUE(append(path, historyOf(T::plain28, {x, y, z})));
    b.end(readB);
    EXPECT_EQ(warningsA.text(), "");
    EXPECT_EQ(warningsB.text(), "Can't cut " + path + ": can't create its journal " + path +
                                    ".journal: File exists\n");
    EXPECT_EQ(fileBytes(path), historyOf(T::plain28, {threeDays[3], threeDays[4], x, y, z}));
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"hist.his"});
}

TEST(HistoryCut, FileOfTheTemporaryNameIsNeverTouched) {
    CutCase c;
    const Bytes original = historyOf(T::plain28, threeDays);
    ASSERT_TRUE(c.dir.write("hist.his", original));
    ASSERT_TRUE(c.dir.write("hist.his.journal", std::string("someone else's")));
    c.cutter.end(c.read(1));
    EXPECT_EQ(c.warnings.text(),
              c.cantCut("can't create its journal " + c.journal + ": File exists"));
    EXPECT_EQ(fileBytes(c.path), original);
    EXPECT_EQ(slurp(c.journal), "someone else's");
}

TEST(HistoryCut, LeftoverOfAnEarlierRunDoesNotStandInTheWay) {
    // The name carries the run's time: a copy left by a run that died
    // yesterday never blocks today's cut, and is left for the operator.
    CutCase c;
    const std::string leftover = c.path + "." + std::to_string(now - 86400);
    const Bytes leftoverBytes = historyOf(T::plain28, {threeDays[0]});
    ASSERT_TRUE(c.dir.write(std::filesystem::path(leftover).filename().string(), leftoverBytes));
    ASSERT_TRUE(c.dir.write("hist.his", historyOf(T::plain28, threeDays)));
    c.cutter.end(c.read(1));
    EXPECT_EQ(c.warnings.text(), "");
    EXPECT_EQ(fileBytes(c.path), historyOf(T::plain28, {threeDays[3], threeDays[4]}));
    EXPECT_EQ(fileBytes(leftover), leftoverBytes);
}

TEST(HistoryCut, NameTooLongForTheTemporaryFileIsNotCut) {
    // 250 characters are a valid file name; with the time behind them the
    // temporary name is not.
    CutCase c;
    const std::string name(250, 'h');
    const Bytes original = historyOf(T::plain28, threeDays);
    ASSERT_TRUE(c.dir.write(name, original));
    const std::string path = c.dir.file(name);
    c.cutter.end(readAndOffer(c.cutter, path, 1));
    EXPECT_EQ(c.warnings.text(), "Can't cut " + path + ": can't create its journal " + path +
                                     ".journal: File name too long\n");
    EXPECT_EQ(fileBytes(path), original);
    EXPECT_EQ(namesIn(c.dir.path()), std::vector<std::string>{name});
}

// Runs body in a child process (so that limits and identities set there
// stay there) with its warnings sent back through a pipe.
struct ChildResult {
    int status = -1;
    std::string warnings;
};
ChildResult inChild(const std::function<void(std::FILE*)>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::FILE* w = ::fdopen(fds[1], "w");
        ::signal(SIGXFSZ, SIG_IGN);
        body(w);
        std::fclose(w);
        ::_exit(0);
    }
    ::close(fds[1]);
    ChildResult result;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        result.warnings.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
    return result;
}

void limitFileSize(rlim_t bytes) {
    struct rlimit limit {
        bytes, bytes
    };
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
}

// count records spread evenly from 20 days before the run day to its end.
std::vector<SessionRecord> manyDays(int count) {
    std::vector<SessionRecord> records;
    const std::int64_t step = 21 * 86400 / count;
    for (int i = 0; i < count; ++i)
        records.push_back(
            session(static_cast<std::int16_t>(i % 30000), midnight - 20 * 86400 + i * step));
    return records;
}

std::vector<SessionRecord> keptOf(const std::vector<SessionRecord>& records, int days) {
    std::vector<SessionRecord> kept;
    for (const SessionRecord& r : records)
        if (static_cast<std::time_t>(r.startTime) >= midnight - (days - 1) * 86400)
            kept.push_back(r);
    return kept;
}

TEST(HistoryCutFaults, CopyThatCannotGrowLeavesTheHistoryAlone) {
    // 4000 type 1 records, about 1500 of them kept: the copy needs some
    // 150 KB, the limit allows 64 KB.
    CutCase c;
    const std::vector<SessionRecord> records = manyDays(4000);
    const Bytes original = historyOf(T::long100, records);
    ASSERT_TRUE(c.dir.write("hist.his", original));
    ChildResult child = inChild([&](std::FILE* w) {
        HistoryCutter cutter(w, w);
        const std::uint64_t bytesRead = readAndOffer(cutter, c.path, 10);
        limitFileSize(1 << 16);
        cutter.end(bytesRead);
    });
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.warnings,
              c.cantCut("can't write its journal " + c.journal + ": File too large"));
    EXPECT_EQ(fileBytes(c.path), original);
    EXPECT_EQ(namesIn(c.dir.path()), std::vector<std::string>{"hist.his"});
}

std::string pendingLine(const std::string& path) {
    return "An interrupted cut of " + path + " is pending: the next ravlog run restores it from " +
           path + ".journal\n";
}

TEST(HistoryCutFaults, FailureAfterTheOverwriteBeganIsRestoredByTheNextRun) {
    // The first write into the history stops after 2 KB. The history is
    // then damaged; the journal holds every record to keep and those
    // appended before the rewrite, and the next run puts them back.
    CutCase c;
    const std::vector<SessionRecord> records = manyDays(600);
    ASSERT_TRUE(c.dir.write("hist.his", historyOf(T::long100, records)));
    const SessionRecord late = session(77, midnight + 9 * 3600);
    ChildResult child = inChild([&](std::FILE* w) {
        StepProbe probe;
        probe.onStep = [](CutStep step) {
            if (step == CutStep::historyWrite) limitFileSize(2048);
            return true;
        };
        HistoryCutter cutter(w, w, &probe);
        const std::uint64_t bytesRead = readAndOffer(cutter, c.path, 5);
        if (!append(c.path, recordBytes(T::long100, late))) ::_exit(2);
        cutter.end(bytesRead);
    });
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.warnings,
              c.cantCut("can't finish rewriting it: File too large") + pendingLine(c.path));
    // The history was overwritten, not shortened.
    EXPECT_EQ(std::filesystem::file_size(c.path), 2 + 601 * 100u);
    restoreInterruptedCut(c.path, c.warnings.get(), nullptr);
    EXPECT_EQ(c.warnings.text(), "Restored " + c.path + " from " + c.journal + "\n");
    std::vector<SessionRecord> kept = keptOf(records, 5);
    kept.push_back(late);
    ASSERT_GT(kept.size(), 100u);
    EXPECT_EQ(fileBytes(c.path), historyOf(T::long100, kept));
    EXPECT_EQ(namesIn(c.dir.path()), std::vector<std::string>{"hist.his"});
}

TEST(HistoryCutFaults, AppendsDuringAFailedRewriteStayInTheHistory) {
    // A record the mailer logs while the kept ones are written back, and
    // then its move into the journal fails: the history's end still has
    // the new record, and the next run moves it behind the kept ones.
    CutCase c;
    const std::vector<SessionRecord> records = manyDays(600);
    ASSERT_TRUE(c.dir.write("hist.his", historyOf(T::plain28, records)));
    const SessionRecord late = session(78, midnight + 9 * 3600);
    ChildResult child = inChild([&](std::FILE* w) {
        StepProbe probe;
        bool rewriting = false;
        probe.onStep = [&](CutStep step) {
            if (step == CutStep::historyWrite && !rewriting) {
                rewriting = true;
                if (!append(c.path, recordBytes(T::plain28, late))) ::_exit(2);
            } else if (rewriting) {
                limitFileSize(100);
            }
            return true;
        };
        HistoryCutter cutter(w, w, &probe);
        cutter.end(readAndOffer(cutter, c.path, 5));
    });
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.warnings,
              c.cantCut("can't finish rewriting it: File too large") + pendingLine(c.path));
    const Bytes kept = historyOf(T::plain28, keptOf(records, 5));
    const Bytes history = fileBytes(c.path);
    ASSERT_EQ(history.size(), 601 * 28u);
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), history.begin()));
    EXPECT_EQ(Bytes(history.end() - 28, history.end()), recordBytes(T::plain28, late));
    restoreInterruptedCut(c.path, c.warnings.get(), nullptr);
    EXPECT_EQ(fileBytes(c.path), kept + recordBytes(T::plain28, late));
    EXPECT_EQ(namesIn(c.dir.path()), std::vector<std::string>{"hist.his"});
}

// Permissions only bind a process that is not root: a root test drops to
// nobody in the child.
bool becomeUnprivileged() {
    if (::geteuid() != 0) return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

TEST(HistoryCutFaults, UnwritableDirectoryOrHistoryIsNotCut) {
    for (bool directoryWritable : {false, true}) {
        SCOPED_TRACE(directoryWritable);
        CutCase c;
        const Bytes original = historyOf(T::plain28, threeDays);
        ASSERT_TRUE(c.dir.write("hist.his", original));
        // Readable by everyone; the directory or the history not writable
        // by the cutting user.
        ASSERT_EQ(::chmod(c.path.c_str(), 0444), 0);
        ASSERT_EQ(::chmod(c.dir.path().c_str(), directoryWritable ? 0777 : 0555), 0);
        ChildResult child = inChild([&](std::FILE* w) {
            if (!becomeUnprivileged()) ::_exit(4);
            HistoryCutter cutter(w, w);
            cutter.end(readAndOffer(cutter, c.path, 1));
        });
        ::chmod(c.dir.path().c_str(), 0700);
        EXPECT_EQ(child.status, 0);
        EXPECT_EQ(child.warnings,
                  c.cantCut(directoryWritable
                                ? "can't open it for writing: Permission denied"
                                : "can't create its journal " + c.journal + ": Permission denied"));
        EXPECT_EQ(fileBytes(c.path), original);
        EXPECT_EQ(namesIn(c.dir.path()), std::vector<std::string>{"hist.his"});
    }
}

}  // namespace
}  // namespace rv
