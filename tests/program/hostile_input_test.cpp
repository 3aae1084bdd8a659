// Input that no mailer wrote: random bytes and every truncation of real
// records in every format, files that are not regular files, and
// configurations with NULs, endless lines and bytes that are no text.
// Nothing may crash, hang or read outside its buffers (the sanitizer
// build runs these too); every run must end with a clean result.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "brimsel/brimsel_run.h"
#include "core/byte_source.h"
#include "core/config_grammar.h"
#include "core/history_reader.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "tools/history_writer.h"
#include "tools/prng.h"

namespace rv {
namespace {

using histgen::Bytes;
using histgen::HistoryWriter;
using histgen::Prng;
using testing::ProgramResult;
using testing::ScratchDir;
using T = HistoryType;

const std::string brimselPath = testing::builtProgram("brimsel");

Bytes randomBytes(Prng& prng, std::size_t size) {
    Bytes b(size);
    for (auto& x : b)
        x = static_cast<std::uint8_t>(prng.next());
    return b;
}

struct Drained {
    bool opened = false;
    std::size_t records = 0;
    std::uint64_t consumed = 0;
};

// Reads a line to its end (twin included) and counts what it yields. A
// reader that yields more records than the file has bytes is stuck.
Drained drain(SourceOpener& opener, const std::string& value, bool detect, std::size_t limit) {
    Drained d;
    HistorySource source;
    parseHistoryValue(value, source);
    MemoryDirectory directory;
    HistoryReader reader(opener, directory, 0);
    if (!reader.openHistory(source, detect)) return d;
    d.opened = true;
    SessionRecord r;
    auto all = [&] {
        while (reader.readSession(r)) {
            if (++d.records > limit) return;
        }
        d.consumed += reader.consumed();
    };
    all();
    if (reader.openTwin(source) == HistoryReader::Twin::opened) all();
    return d;
}

// Every name under which a file is read differently: plain, BinkD, pair.
const char* const allNames[] = {"f.his", "f.his,1,1", "f.ihs", "f.ohs"};

TEST(HostileInputHistories, RandomBytesInEveryShape) {
    Prng prng(20240305);
    for (int round = 0; round < 400; ++round) {
        const std::size_t size = round < 40 ? static_cast<std::size_t>(round) : prng.below(3000);
        Bytes bytes = randomBytes(prng, size);
        // Give the detection something to bite on: each round starts like
        // one of the signatures.
        if (size >= 9) {
            switch (round % 6) {
                case 0:
                    bytes[0] = 0xF1, bytes[1] = 0;
                    break;
                case 1:
                    bytes[4] = 0xFE, bytes[3] = 0x70;
                    break;
                case 2:
                    bytes[0] = 0x04, bytes[1] = 0xFF, bytes[2] = 0x1A, bytes[3] = 0xD5;
                    break;
                case 3:
                    bytes[2] = 1, bytes[8] = 0x60;
                    break;
                case 4:
                    bytes[0] = 0xD0, bytes[1] = 0x07, bytes[2] = 5, bytes[3] = 0, bytes[5] = 0;
                    break;
                default:
                    break;
            }
        }
        for (const char* name : allNames) {
            for (bool detect : {true, false}) {
                MemoryOpener memory;
                memory.add("f.his", bytes);
                memory.add("f.ihs", bytes);
                memory.add("f.ohs", bytes);
                Drained d = drain(memory, name, detect, 2 * size + 2);
                ASSERT_TRUE(d.opened);
                // At most one record per 8 bytes per file (the smallest
                // record), plus a truncated one.
                ASSERT_LE(d.records, 2 * (size / 8 + 1)) << name << " round " << round;
                ASSERT_LE(d.consumed, 2 * size);
            }
        }
    }
}

TEST(HostileInputHistories, EveryTruncationOfEveryFormat) {
    const std::uint32_t t0 = histgen::utcSeconds(2024, 3, 5, 10, 15, 0);
    for (const HistoryFormat& format : historyFormats) {
        const HistoryType type = format.type;
        // binkd's text log is lines, not records: its reader's own tests
        // read it under hostile bytes and as a growing file.
        if (format.layout == RecordLayout::lines) continue;
        HistoryWriter w(type, t0);
        if (type == T::dated104) w.datedDummy(t0);
        for (std::uint32_t i = 0; i < 4; ++i) {
            SessionRecord r;
            r.address = {2, 5020, static_cast<std::int16_t>(i), 0};
            r.startTime = t0 + i * 100;
            r.duration = 10 + i;
            r.flags = SessionFlags::incoming;
            w.session(r);
            if (type == T::brake) {
                w.brakeSkipped(254, t0);
                w.brakeEvent(static_cast<std::uint8_t>(i), t0, i);
                w.brakeSkipped(7, t0);
                w.brakeSkipped(99, t0);
            }
            if (type == T::wide316) w.wideSkipped(3, t0);
        }
        const Bytes whole = w.bytes();
        const char* name = type == T::pair116 || type == T::dated104 ? "f.ihs"
                           : type == T::binkd                        ? "f.his,1,1"
                                                                     : "f.his";
        const std::size_t total = type == T::brake ? 8 : 4;
        std::size_t previous = 0;
        for (std::size_t len = 0; len <= whole.size(); ++len) {
            MemoryOpener memory;
            const std::string file = std::string(name).substr(0, 5);
            memory.add(file,
                       Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(len)));
            Drained d = drain(memory, name, true, whole.size());
            ASSERT_TRUE(d.opened);
            ASSERT_EQ(d.consumed, len);
            // Never more than the whole file's records and one truncated one
            // (a cut skipped record may read as a session).
            ASSERT_LE(d.records, total + 1) << "type " << int(type) << " length " << len;
            previous = d.records;
        }
        EXPECT_EQ(previous, total) << "type " << int(type);
    }
}

TEST(HostileInputHistories, BrakeStreamOfRandomCodes) {
    Prng prng(7);
    for (int round = 0; round < 100; ++round) {
        HistoryWriter w(T::brake, 700000000);
        for (int i = 0; i < 200; ++i) {
            Bytes header(8);
            for (auto& b : header)
                b = static_cast<std::uint8_t>(prng.next());
            w.raw(header);
            w.raw(randomBytes(prng, prng.below(70)));
        }
        MemoryOpener memory;
        memory.add("b.his", w.bytes());
        Drained d = drain(memory, "b.his", true, w.bytes().size());
        EXPECT_EQ(d.consumed, w.bytes().size());
        EXPECT_LE(d.records, w.bytes().size() / 12 + 1);
    }
}

TEST(HostileInputHistories, DumpOfRandomFilesEndsCleanly) {
    Prng prng(99);
    std::FILE* sink = std::fopen("/dev/null", "w");
    ASSERT_NE(sink, nullptr);
    for (int round = 0; round < 100; ++round) {
        MemoryOpener memory;
        brimsel::DumpSettings settings;
        settings.ascii = round % 2 == 1;
        for (const char* name : allNames) {
            Line line;
            parseHistoryValue(name, line.source);
            line.timeShift = static_cast<std::int16_t>(static_cast<int>(prng.below(200)) - 100);
            settings.config.lines.push_back(line);
        }
        memory.add("f.his", randomBytes(prng, prng.below(5000)));
        memory.add("f.ihs", randomBytes(prng, prng.below(5000)));
        // A stop is the status alone, its messages on err.
        const Stop stop = brimsel::dumpLines(settings, memory, sink, sink);
        EXPECT_TRUE(!stop || (stop->status == exitFailure && stop->message.empty()));
    }
    std::fclose(sink);
}

// ------------------------------------------------------- odd kinds of file

TEST(HostileInputFiles, OnlyRegularFilesOpen) {
    ScratchDir dir;
    FileOpener opener;
    EXPECT_EQ(opener.open(dir.path()), nullptr);
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0644), 0);
    EXPECT_EQ(opener.open(dir.file("fifo")), nullptr);  // returns at once: no writer needed
    EXPECT_EQ(opener.open(dir.file("absent")), nullptr);
    EXPECT_EQ(opener.open("/dev/null"), nullptr);
    ASSERT_TRUE(dir.write("empty", Bytes{}));
    auto empty = opener.open(dir.file("empty"));
    ASSERT_NE(empty, nullptr);
    std::uint8_t b[4];
    EXPECT_EQ(empty->read(b, sizeof b), 0);
}

TEST(HostileInputFiles, UnreadableFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    ScratchDir dir;
    ASSERT_TRUE(dir.write("secret.his", Bytes(28, 1)));
    ASSERT_EQ(::chmod(dir.file("secret.his").c_str(), 0), 0);
    FileOpener opener;
    EXPECT_EQ(opener.open(dir.file("secret.his")), nullptr);
}

TEST(HostileInputFiles, BrimselSkipsWhatIsNoHistoryFile) {
    ScratchDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo.his").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(dir.file("fifo.ctl").c_str(), 0644), 0);
    ASSERT_EQ(::mkdir(dir.file("dir.his").c_str(), 0755), 0);
    ASSERT_TRUE(dir.write("empty.his", Bytes{}));
    ASSERT_TRUE(
        dir.write("ravlog.ctl", std::string("[LINE]\nHistory fifo.his\n[LINE]\nHistory dir.his\n"
                                            "[LINE]\nHistory empty.his\n")));
    ProgramResult r = testing::runProgram(brimselPath, {}, dir.path(), {"TZ=UTC"}, 20);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "Can't open fifo.his: Not a regular file\nCan't open dir.his: Is a directory\n");
    EXPECT_NE(r.out.find("File: empty.his\n"), std::string::npos);
    ProgramResult fifoConfig = testing::runProgram(brimselPath, {"-cfifo.ctl"}, dir.path(), {}, 20);
    EXPECT_EQ(fifoConfig.status, 255);
    EXPECT_EQ(fifoConfig.err, "Can't open fifo.ctl: Not a regular file\n");
}

// ----------------------------------------------------- odd configurations

Stop readBrimselConfig(const std::string& text, brimsel::DumpSettings& settings) {
    auto source = memorySource(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return brimsel::readConfig(*source, settings, 0);
}

const std::string dos2unix =
    "invalid keyword or parameter, or config file not in unix-like format (use dos2unix to "
    "convert it)";

TEST(HostileInputConfigs, CleanErrorsForTextThatIsNoConfiguration) {
    using namespace std::string_literals;
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {std::string(1 << 20, 'x'), "Config error, line 1: " + dos2unix + "\n"},
        // The comment goes on in pieces of 511 bytes, all of it comment.
        {";" + std::string(1 << 20, 'x'), "No history file defined.\n"},
        {";" + std::string(1 << 20, 'x') + "\nbogus", "Config error, line 2: " + dos2unix + "\n"},
        {std::string(1 << 20, ' ') + "\nbogus", "Config error, line 2: " + dos2unix + "\n"},
        {"\xC3\x28\xFF\xFE\n", "Config error, line 1: " + dos2unix + "\n"},
        // A History value whose name starts with a byte above 127 has no file name.
        {"[LINE]\nHistory \xFF\xFE.his\n", "Config error, line 2: " + dos2unix + "\n"},
        {"[LINE]\nHistory \xC3\xA9t\xC3\xA9.his\n", "Config error, line 2: " + dos2unix + "\n"},
        {"\0\0\0\0"s, "Config error, line 1: NUL byte in the line\n"},
        {"[LINE]\0\nHistory\0 a.his\n"s, "Config error, line 1: NUL byte in the line\n"},
        {std::string(600, '\0') + "[LINE]\n", "Config error, line 1: NUL byte in the line\n"},
    };
    for (const Case& c : cases) {
        brimsel::DumpSettings settings;
        Stop stop = readBrimselConfig(c.text, settings);
        ASSERT_TRUE(stop) << c.text.substr(0, 40);
        EXPECT_EQ(stop->status, exitFailure);
        EXPECT_EQ(stop->message, c.message) << c.text.substr(0, 40);
    }
}

TEST(HostileInputConfigs, RandomConfigurationsEndCleanly) {
    Prng prng(5);
    const char* pieces[] = {"[LINE]\n",  "[COMMON]\n", "History a.his",
                            ",1",        ",0,0",       "TimeShift ",
                            "AUTO",      "-7",         "SupportNewFormat no",
                            "\n",        "\r\n",       ";",
                            " ",         "\t",         "\0",
                            "\xFF",      "Output x",   "Name",
                            "TIMESHIFTX"};
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int count = static_cast<int>(prng.below(40));
        for (int i = 0; i < count; ++i) {
            const char* p = pieces[prng.below(sizeof pieces / sizeof *pieces)];
            if (*p == '\0')
                text.push_back('\0');
            else
                text += p;
        }
        brimsel::DumpSettings settings;
        Stop stop = readBrimselConfig(text, settings);
        if (stop) {
            EXPECT_EQ(stop->status, exitFailure);
            EXPECT_FALSE(stop->message.empty());
            EXPECT_EQ(stop->message.back(), '\n');
        } else {
            // A clean reading leaves every line with a file and a shift.
            ASSERT_FALSE(settings.config.lines.empty());
            for (const auto& line : settings.config.lines) {
                EXPECT_FALSE(line.source.path.empty());
                EXPECT_NE(line.timeShift, timeShiftUnset);
            }
        }
    }
}

TEST(HostileInputConfigs, BrimselReportsAHugeLineAndGoesNoFurther) {
    ScratchDir dir;
    ASSERT_TRUE(dir.write("ravlog.ctl", "[LINE]\nHistory " + std::string(1 << 20, 'h') + "\n"));
    ProgramResult r = testing::runProgram(brimselPath, {}, dir.path(), {"TZ=UTC"}, 20);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "Config error, line 2: " + dos2unix + "\n");
}

}  // namespace
}  // namespace rv
