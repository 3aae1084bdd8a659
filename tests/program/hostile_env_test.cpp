// The programs in a hostile file system: report files that cannot be
// created, histories that are directories, FIFOs or unreadable, a
// configuration with NUL bytes or one line of 100 MB, and a large sparse
// history of zero records. Every case must end with its own message and
// status, without a hang and with memory that does not grow with the input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/dates.h"
#include "core/session_record.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "tools/history_writer.h"

namespace rv {
namespace {

using histgen::Bytes;
using histgen::HistoryWriter;
using testing::ProgramResult;
using testing::runProgram;
using testing::ScratchDir;

const std::string ravlogPath = testing::builtProgram("ravlog");
const std::string pondrelPath = testing::builtProgram("pondrel");
const std::string brimselPath = testing::builtProgram("brimsel");

const std::string noAddressData =
    "No information for selected addresses found. Links/Groups history and statistic were not "
    "created.\n";
const std::string ravlogUnknownKeyword = "invalid parameter or its value";
const std::string dos2unix =
    "invalid keyword or parameter, or config file not in unix-like format (use dos2unix to "
    "convert it)";

bool isRoot() {
    return ::geteuid() == 0;
}

// A history of the given type with one session of 2:5020/100 at 10:15 UTC
// on 5 March 2024: the report day of every ravlog run below.
Bytes oneSession(HistoryType type = HistoryType::plain28) {
    HistoryWriter w(type);
    SessionRecord r;
    r.address = FidoAddress{2, 5020, 100, 0};
    r.startTime = static_cast<std::uint32_t>(daysFromCivil(2024, 3, 5) * 86400 + 10 * 3600 + 900);
    r.duration = 60;
    r.bytesReceived = 1000;
    r.bytesSent = 2000;
    r.flags = SessionFlags::outgoing | SessionFlags::normal;
    w.session(r);
    return w.bytes();
}

const std::string goodConfig = "[COMMON]\nAddr 2:5020/100\n[LINE]\nHistory good.his\n";

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// ------------------------------------------------------------ measured runs

// A run whose standard output is counted, not kept (a dump of millions of
// rows), with its peak memory and wall time.
struct MeasuredRun {
    int status = -1;  // -1: killed (timeout) or not run
    std::string err;
    std::uint64_t outBytes = 0;
    std::uint64_t outLines = 0;
    long maxRssKb = 0;
    double seconds = 0;
};

MeasuredRun runMeasured(const std::string& program, const std::vector<std::string>& args,
                        const std::string& workDir, unsigned timeoutSeconds = 300) {
    MeasuredRun result;
    const std::string errPath = workDir + "/.stderr";
    std::vector<std::string> argStore{program};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string tz = "TZ=UTC";
    char* envp[] = {tz.data(), nullptr};

    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return result;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || err < 0 || ::chdir(workDir.c_str()) != 0) ::_exit(127);
        ::dup2(in, 0);
        ::dup2(pipeFds[1], 1);
        ::dup2(err, 2);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::alarm(timeoutSeconds);
        ::execve(program.c_str(), argv.data(), envp);
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        return result;
    }
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = ::read(pipeFds[0], buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        result.outBytes += static_cast<std::uint64_t>(got);
        for (ssize_t i = 0; i < got; ++i)
            result.outLines += buffer[static_cast<std::size_t>(i)] == '\n';
    }
    ::close(pipeFds[0]);
    int wstatus = 0;
    struct rusage usage {};
    while (::wait4(pid, &wstatus, 0, &usage) < 0) {
        if (errno != EINTR) return result;
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.maxRssKb = usage.ru_maxrss;
    if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
    result.err = testing::slurp(errPath);
    ::unlink(errPath.c_str());
    return result;
}

// Memory that grew with the input: more than this above a run on a tiny
// input of the same kind. The inputs below are 32 to 100 MB.
constexpr long rssGrowthLimitKb = 16 * 1024;

// ------------------------------------------------------ report files

TEST(HostileEnvReports, RavlogStopsWhenAReportCannotBeCreated) {
    ScratchDir dir;
    ASSERT_TRUE(dir.write("good.his", oneSession()));
    ASSERT_TRUE(dir.write("ravlog.ctl", goodConfig));
    ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
    struct Case {
        std::string option;
        std::string name;
        std::string reason = "No such file or directory";
    };
    // /proc takes no new files, not even from root.
    const Case cases[] = {
        {"-e", "missing/ses.txt"},       {"-e", "sub", "Is a directory"},
        {"-e", "/proc/ravlog.ses"},      {"-l", "missing/lnk.txt"},
        {"-l", "sub", "Is a directory"}, {"-o", "missing/out.txt"},
        {"-o", "sub", "Is a directory"},
    };
    for (const Case& c : cases) {
        std::remove(dir.file("ravlog.ses").c_str());
        ProgramResult r = runProgram(ravlogPath, {"-d5.3.2024", c.option + c.name}, dir.path());
        EXPECT_EQ(r.status, 255) << c.option << c.name;
        EXPECT_EQ(r.err, "Can't open " + c.name + ": " + c.reason + "\n") << c.option << c.name;
        // Every output is opened before any is written: none was.
        EXPECT_FALSE(exists(dir.file("ravlog.ses"))) << c.option << c.name;
    }
    // The same configuration with writable paths runs through.
    ProgramResult ok = runProgram(ravlogPath, {"-d5.3.2024"}, dir.path());
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.err, "");
    EXPECT_TRUE(exists(dir.file("ravlog.out")));
}

TEST(HostileEnvReports, PondrelStopsWhenItsReportCannotBeCreated) {
    ScratchDir dir;
    ASSERT_TRUE(dir.write("good.his", oneSession()));
    ASSERT_TRUE(dir.write("ravlog.ctl", goodConfig));
    ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
    const std::string missing = ": No such file or directory\n";
    const std::string messages[] = {"Can't open missing/report.txt" + missing,
                                    "Can't open sub: Is a directory\n",
                                    "Can't open /proc/pondrel.txt" + missing};
    for (const std::string& message : messages) {
        const std::string name = message.substr(11, message.find(':', 11) - 11);
        ProgramResult r =
            runProgram(pondrelPath, {"-b1.3.2024", "-e10.3.2024", "-o" + name}, dir.path());
        EXPECT_EQ(r.status, 255) << name;
        EXPECT_EQ(r.out, "") << name;
        // The banner goes to standard error before the message.
        ASSERT_GE(r.err.size(), message.size()) << name;
        EXPECT_EQ(r.err.substr(r.err.size() - message.size()), message);
    }
}

TEST(HostileEnvReports, ReadOnlyDirectory) {
    if (isRoot()) GTEST_SKIP() << "root writes into read-only directories";
    ScratchDir dir;
    ASSERT_TRUE(dir.write("good.his", oneSession()));
    ASSERT_TRUE(dir.write("ravlog.ctl", goodConfig));
    ASSERT_EQ(::mkdir(dir.file("ro").c_str(), 0555), 0);
    ProgramResult r = runProgram(ravlogPath, {"-d5.3.2024", "-ero/ses.txt"}, dir.path());
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "Can't open ro/ses.txt: Permission denied\n");
    ProgramResult p =
        runProgram(pondrelPath, {"-b1.3.2024", "-e10.3.2024", "-oro/x.txt"}, dir.path());
    EXPECT_EQ(p.status, 255);
    EXPECT_NE(p.err.find("Can't open ro/x.txt: Permission denied\n"), std::string::npos);
}

// ---------------------------------------------- histories that are no files

TEST(HostileEnvHistories, WhatCannotBeReadIsReportedAndTheRunGoesOn) {
    ScratchDir dir;
    ASSERT_TRUE(dir.write("good.his", oneSession()));
    ASSERT_EQ(::mkdir(dir.file("dir.his").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(dir.file("fifo.his").c_str(), 0644), 0);  // no writer: an open would block
    // A pair whose twin is a directory: the first file is read, the twin reported.
    ASSERT_TRUE(dir.write("p.ohs", oneSession(HistoryType::pair116)));
    ASSERT_EQ(::mkdir(dir.file("p.ihs").c_str(), 0755), 0);
    std::string lines = "[LINE]\nHistory dir.his\n[LINE]\nHistory fifo.his\n";
    std::string expected =
        "Can't open dir.his: Is a directory\nCan't open fifo.his: Not a regular file\n";
    if (!isRoot()) {  // root reads files without read permission
        ASSERT_TRUE(dir.write("secret.his", oneSession()));
        ASSERT_EQ(::chmod(dir.file("secret.his").c_str(), 0), 0);
        lines += "[LINE]\nHistory secret.his\n";
        expected += "Can't open secret.his: Permission denied\n";
    }
    lines += "[LINE]\nHistory p.ohs\n[LINE]\nHistory good.his\n";
    expected += "Can't open p.ihs: Is a directory\n";
    ASSERT_TRUE(dir.write("ravlog.ctl", "[COMMON]\nAddr 2:5020/100\n" + lines));

    ProgramResult r = runProgram(ravlogPath, {"-d5.3.2024"}, dir.path(), {"TZ=UTC"}, 30);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, expected);
    // Two lines opened: the pair and good.his, numbered 1 and 2 of the five.
    const std::string sessions = testing::slurp(dir.file("ravlog.ses"));
    EXPECT_NE(sessions.find("Line 2"), std::string::npos);
    EXPECT_EQ(sessions.find("Line 3"), std::string::npos);

    ProgramResult p =
        runProgram(pondrelPath, {"-b1.3.2024", "-e10.3.2024"}, dir.path(), {"TZ=UTC"}, 30);
    EXPECT_EQ(p.status, 0);
    EXPECT_NE(p.err.find(expected), std::string::npos);
    EXPECT_NE(p.out.find("2:5020/100"), std::string::npos);

    ProgramResult b = runProgram(brimselPath, {}, dir.path(), {"TZ=UTC"}, 30);
    EXPECT_EQ(b.status, 0);
    EXPECT_EQ(b.err, expected);
}

// --------------------------------------------------------- configurations

// A NUL byte is refused on its line by every program: read up to it, the
// History value would be good.his without the BinkD parameters 0,0.
TEST(HostileEnvConfigs, NulBytesAreRefusedOnTheirLine) {
    using namespace std::string_literals;
    ScratchDir dir;
    ASSERT_TRUE(dir.write("good.his", oneSession()));
    ASSERT_TRUE(dir.write("a.ctl", "[COMMON]\nAddr 2:5020/100\n[LINE]\nHistory good.his\0,0,0\n"s));
    ASSERT_TRUE(dir.write("b.ctl", "[LINE]\nHist\0ory good.his\n"s));
    for (const std::string* program : {&ravlogPath, &pondrelPath, &brimselPath}) {
        for (const auto& [config, line] : {std::pair{"-ca.ctl", 4}, std::pair{"-cb.ctl", 2}}) {
            const ProgramResult r = runProgram(*program, {config}, dir.path());
            EXPECT_EQ(r.status, 255) << *program;
            EXPECT_NE(r.err.find("Config error, line " + std::to_string(line) +
                                 ": NUL byte in the line\n"),
                      std::string::npos)
                << *program << ": " << r.err;
        }
    }
}

TEST(HostileEnvConfigs, HundredMegabyteLineIsReadInPiecesWithBoundedMemory) {
    ScratchDir dir;
    // 100 MiB of blanks: 205,200 pieces of 511 bytes, then a piece of 400
    // blanks and the newline, all of line 1; then one unknown keyword on
    // line 2.
    constexpr std::size_t size = 100u << 20;
    {
        std::FILE* f = std::fopen(dir.file("huge.ctl").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const std::string blanks(1 << 20, ' ');
        for (std::size_t i = 0; i < size / blanks.size(); ++i)
            ASSERT_EQ(std::fwrite(blanks.data(), 1, blanks.size(), f), blanks.size());
        std::fputs("\nbogus\n", f);
        ASSERT_EQ(std::fclose(f), 0);
    }
    ASSERT_TRUE(dir.write("tiny.ctl", std::string("bogus\n")));
    struct Program {
        const std::string& path;
        std::string error;
    };
    const Program programs[] = {
        {ravlogPath, ravlogUnknownKeyword}, {pondrelPath, dos2unix}, {brimselPath, dos2unix}};
    for (const Program& p : programs) {
        const MeasuredRun tiny = runMeasured(p.path, {"-ctiny.ctl"}, dir.path());
        const MeasuredRun huge = runMeasured(p.path, {"-chuge.ctl"}, dir.path(), 120);
        EXPECT_EQ(tiny.status, 255);
        EXPECT_EQ(huge.status, 255) << p.path;
        EXPECT_NE(huge.err.find("Config error, line 2: " + p.error + "\n"), std::string::npos)
            << huge.err;
        EXPECT_LT(huge.maxRssKb, tiny.maxRssKb + rssGrowthLimitKb) << p.path;
        std::printf("%s: 100 MiB line read in %.2f s, max RSS %ld KiB (tiny input: %ld KiB)\n",
                    p.path.c_str(), huge.seconds, huge.maxRssKb, tiny.maxRssKb);
    }
}

// ------------------------------------------------------------ sparse files

// Size of the sparse history: 32 MiB in the suite; RV_SPARSE_MB=2048 gives
// the 2 GiB case as a one-off measurement.
std::uint64_t sparseSize() {
    if (const char* mb = std::getenv("RV_SPARSE_MB")) return std::strtoull(mb, nullptr, 10) << 20;
    return 32u << 20;
}

bool makeSparse(const std::string& path, std::uint64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    const bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    return ::close(fd) == 0 && ok;
}

TEST(HostileEnvSparse, BrimselDumpsEveryZeroRecordOfALargeSparseHistory) {
    ScratchDir dir;
    ASSERT_TRUE(dir.write("ravlog.ctl", std::string("[LINE]\nHistory big.his\n")));
    // One and two zero records give the table's frame and one row's length.
    ASSERT_TRUE(makeSparse(dir.file("big.his"), 28));
    const MeasuredRun one = runMeasured(brimselPath, {}, dir.path());
    ASSERT_TRUE(makeSparse(dir.file("big.his"), 56));
    const MeasuredRun two = runMeasured(brimselPath, {}, dir.path());
    ASSERT_EQ(one.status, 0);
    ASSERT_EQ(two.status, 0);
    ASSERT_EQ(two.outLines, one.outLines + 1);
    const std::uint64_t rowBytes = two.outBytes - one.outBytes;

    const std::uint64_t size = sparseSize();
    ASSERT_TRUE(makeSparse(dir.file("big.his"), size));
    const MeasuredRun big = runMeasured(brimselPath, {}, dir.path(), 3600);
    EXPECT_EQ(big.status, 0);
    EXPECT_EQ(big.err, "");
    // A truncated last record is still a row.
    const std::uint64_t records = (size + 27) / 28;
    EXPECT_EQ(big.outLines, one.outLines + records - 1);
    EXPECT_EQ(big.outBytes, one.outBytes + (records - 1) * rowBytes);
    EXPECT_LT(big.maxRssKb, one.maxRssKb + rssGrowthLimitKb);
    std::printf("brimsel: %llu MiB sparse history, %llu rows in %.2f s, max RSS %ld KiB\n",
                static_cast<unsigned long long>(size >> 20),
                static_cast<unsigned long long>(records), big.seconds, big.maxRssKb);
}

TEST(HostileEnvSparse, RavlogDropsTheZeroRecordsOfALargeSparseHistorySilently) {
    ScratchDir dir;
    ASSERT_TRUE(
        dir.write("ravlog.ctl", std::string("[COMMON]\nAddr 2:*\n[LINE]\nHistory big.his\n")));
    ASSERT_TRUE(makeSparse(dir.file("big.his"), 28));
    const MeasuredRun tiny = runMeasured(ravlogPath, {"-d5.3.2024"}, dir.path());
    const std::uint64_t size = sparseSize();
    ASSERT_TRUE(makeSparse(dir.file("big.his"), size));
    const MeasuredRun big = runMeasured(ravlogPath, {"-d5.3.2024"}, dir.path(), 3600);
    // Zone 0 everywhere: no record is reported or counted, so no address
    // has data; the sessions statistic stays written.
    EXPECT_EQ(tiny.status, 255);
    EXPECT_EQ(big.status, 255);
    EXPECT_EQ(big.err, noAddressData);
    EXPECT_TRUE(exists(dir.file("ravlog.ses")));
    EXPECT_FALSE(exists(dir.file("ravlog.lnk")));
    EXPECT_LT(big.maxRssKb, tiny.maxRssKb + rssGrowthLimitKb);
    std::printf("ravlog: %llu MiB sparse history read in %.2f s, max RSS %ld KiB\n",
                static_cast<unsigned long long>(size >> 20), big.seconds, big.maxRssKb);
}

}  // namespace
}  // namespace rv
