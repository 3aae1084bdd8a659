// A generated node of 90 days to 2024-06-30 (histgen's, seed 24) with a
// configuration of its eight lines, and ravlog and pondrel run over it in
// the test's process: the whole-run tests of the day archive and of
// pondrel's days.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "archive/day_archive.h"
#include "captured_stream.h"
#include "core/byte_source.h"
#include "pondrel/pondrel_run.h"
#include "ravlog/ravlog_run.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "tools/node_history.h"

namespace rv::testing {

constexpr std::int64_t daySeconds = 86400;
inline const std::int64_t nodeEndDay = daysFromCivil(2024, 6, 30);

// The node in DIR/SUB; returns its configuration, which has EXTRA among
// the common keywords.
inline std::string writeNode(const ScratchDir& dir, const std::string& sub,
                             const std::string& extra) {
    const std::string home = dir.file(sub);
    std::filesystem::create_directory(home);
    histgen::NodeOptions options;
    options.days = 90;
    options.seed = 24;
    options.endDay = nodeEndDay;
    for (const histgen::GeneratedFile& f : histgen::generateNode(options))
        EXPECT_TRUE(dir.write(sub + "/" + f.name, f.bytes));
    std::string ctl = "[COMMON]\n" + extra + "Output " + home + "/r.out\nPondrel " + home +
                      "/r.lnk\nSessionStat " + home +
                      "/r.ses\nGroup Yes\nBrakeSesStat AB\nAddr !2:5020/9999\n"
                      "Addr 2:5020/# \"Moscow\"\nAddr 2:*\nAddr ANSWER\n";
    for (const char* history : {"binkd.his,2,1", "plain28.his", "long100.his", "brake.his",
                                "pair116.ohs", "status64.his", "wide316.his", "dated104.ohs"})
        ctl += "[LINE]\nHistory " + home + "/" + history + "\n";
    EXPECT_TRUE(dir.write(sub + "/ravlog.ctl", ctl));
    return home + "/ravlog.ctl";
}

// ravlog run at noon of RUNDAY.
inline ProgramResult ravlogOn(const std::string& ctl, std::int64_t runDay) {
    CapturedStream out, err;
    int status = 0;
    std::string ending;  // the message a failed run ends with, as on standard error
    {
        ravlog::Run run(static_cast<std::time_t>(runDay * daySeconds + 43200), out.get(),
                        err.get());
        FileOpener opener;
        if (Stop stop = runRavlog(run, {"-c" + ctl}, opener)) {
            status = stop->status;
            if (status != 0) ending = stop->message;
        }
    }
    return {out.text(), err.text() + ending, status};
}

// A run in a child process, so that what PREPARE sets there (a limit,
// another user) stays there, and so that runs can go at once or be
// killed. Its standard output and error come back by a pipe.
struct ChildRun {
    pid_t pid = -1;
    int fd = -1;
};

inline ChildRun startInChild(const std::function<ProgramResult()>& run,
                             const std::function<void()>& prepare = {}) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        ::signal(SIGXFSZ, SIG_IGN);  // as ravlog's main does
        if (prepare) prepare();
        const ProgramResult r = run();
        const std::string told = r.out + '\0' + r.err;
        const bool whole =
            ::write(fds[1], told.data(), told.size()) == static_cast<ssize_t>(told.size());
        ::_exit(whole ? r.status : 127);
    }
    ::close(fds[1]);
    return {pid, fds[0]};
}

// Waits for the run, after KILLAFTER microseconds (when not 0) sending it
// SIGKILL (status -1 when it was still running).
inline ProgramResult finishChild(const ChildRun& child, useconds_t killAfter = 0) {
    if (child.pid > 0 && killAfter > 0) {
        ::usleep(killAfter);
        ::kill(child.pid, SIGKILL);
    }
    std::string told;
    char buffer[4096];
    for (ssize_t n; child.fd >= 0 && (n = ::read(child.fd, buffer, sizeof buffer)) != 0;)
        if (n > 0)
            told.append(buffer, static_cast<std::size_t>(n));
        else if (errno != EINTR)
            break;
    if (child.fd >= 0) ::close(child.fd);
    ProgramResult result;
    const std::size_t end = told.find('\0');
    result.out = told.substr(0, end);
    if (end != std::string::npos) result.err = told.substr(end + 1);
    int wstatus = 0;
    if (child.pid > 0 && ::waitpid(child.pid, &wstatus, 0) == child.pid && WIFEXITED(wstatus))
        result.status = WEXITSTATUS(wstatus);
    return result;
}

inline ProgramResult ravlogInChild(const std::string& ctl, std::int64_t runDay,
                                   const std::function<void()>& prepare = {},
                                   useconds_t killAfter = 0) {
    return finishChild(startInChild([&] { return ravlogOn(ctl, runDay); }, prepare), killAfter);
}

// pondrel's report as written, or "status N: " and the message it ends
// with when the run fails.
inline std::string pondrelReport(const std::string& ctl, std::vector<std::string> args) {
    CapturedStream out, err;
    {
        pondrel::Run run(static_cast<std::time_t>((nodeEndDay + 10) * daySeconds), err.get());
        FileOpener opener;
        args.push_back("-c" + ctl);
        const std::vector<std::string_view> views(args.begin(), args.end());
        if (Stop stop = pondrel::runPondrel(run, views, opener, out.get()); stop && stop->status)
            return "status " + std::to_string(stop->status) + ": " + stop->message;
    }
    return out.text();
}

// The report without the line that tells when it was made, and without
// what a JSON report says of the archive (the days each line took from
// it), which a report of the histories alone lacks: reports with and
// without an archive compare.
inline std::string pondrelOn(const std::string& ctl, std::vector<std::string> args) {
    std::string written = pondrelReport(ctl, std::move(args));
    if (written.rfind("status ", 0) == 0) return written;
    const std::size_t archive = written.find(",\"archive\":{");
    if (archive != std::string::npos)
        written.erase(archive, written.rfind(",\"days\":[") - archive);
    std::istringstream report(written);
    std::string text;
    for (std::string line; std::getline(report, line);)
        if (line.find("reat") == std::string::npos) text += line + "\n";
    return text;
}

}  // namespace rv::testing
