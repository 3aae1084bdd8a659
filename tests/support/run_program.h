// Runs a built program as a user would, without a shell: in a given
// directory, with a given environment, standard input from /dev/null,
// and its standard output, standard error and exit status captured.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace rv::testing {

// A file the build made, by its place in the build tree.
inline std::string builtFile(const std::string& path) {
    return std::string(RV_BUILD_DIR) + "/" + path;
}

// A program of the suite as the build made it (ravlog, pondrel, brimsel).
inline std::string builtProgram(const std::string& name) {
    return builtFile(name + "/" + name);
}

// ravlog with a probe on the steps of cutting (tests/cut_fault).
inline std::string cutFaultProgram() {
    return builtFile("tests/ravlog_cut_fault");
}

struct ProgramResult {
    std::string out;
    std::string err;
    int status = -1;  // exit status, or -1 when the program did not exit normally
};

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// How the child runs: its environment (NAME=value entries; PATH and HOME
// are not passed on unless given), where its standard output goes (a
// captured file unless a path such as /dev/full is given), a limit on the
// size of the files it writes, the seconds after which it is killed
// (status -1), so that a hang fails the test instead of stalling the suite,
// and whether a child of root runs as nobody, for permissions to bind it.
struct ChildSetup {
    std::vector<std::string> env = {"TZ=UTC"};
    std::string standardOutput;
    rlim_t fileSizeLimit = RLIM_INFINITY;
    unsigned timeoutSeconds = 60;
    bool unprivileged = false;
};

inline ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& workDir, const ChildSetup& setup) {
    const std::string outPath =
        setup.standardOutput.empty() ? workDir + "/.stdout" : setup.standardOutput;
    const std::string errPath = workDir + "/.stderr";
    std::vector<char*> argv;
    std::string arg0 = program;
    argv.push_back(arg0.data());
    std::vector<std::string> argCopies = args;
    for (std::string& a : argCopies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envCopies = setup.env;
    std::vector<char*> envp;
    for (std::string& e : envCopies)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    ProgramResult result;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::chdir(workDir.c_str()) != 0) ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        const rlimit limit{setup.fileSizeLimit, setup.fileSizeLimit};
        if (setup.fileSizeLimit != RLIM_INFINITY && ::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(127);
        if (setup.unprivileged && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(127);
        ::alarm(setup.timeoutSeconds);  // survives the exec
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    if (pid < 0) return result;
    int wstatus = 0;
    while (::waitpid(pid, &wstatus, 0) < 0) {
        if (errno != EINTR) return result;
    }
    if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
    if (setup.standardOutput.empty()) {
        result.out = slurp(outPath);
        ::unlink(outPath.c_str());
    }
    result.err = slurp(errPath);
    ::unlink(errPath.c_str());
    return result;
}

inline ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& workDir,
                                const std::vector<std::string>& env = {"TZ=UTC"},
                                unsigned timeoutSeconds = 60) {
    return runProgram(program, args, workDir, ChildSetup{env, {}, RLIM_INFINITY, timeoutSeconds});
}

}  // namespace rv::testing
