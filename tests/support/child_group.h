// A peer program started by a test in a process group of its own. Peers
// such as a mailer fork helpers (one child per session), so the guard
// stops the whole group by its id and reaps every member, also when an
// assertion fails half-way through the test.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace rv::testing {

// While it lives, orphans of the groups this process started are handed to
// this process instead of init, so that stopping a group can reap them.
class SubreaperScope {
  public:
    SubreaperScope() { ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0); }
    ~SubreaperScope() { ::prctl(PR_SET_CHILD_SUBREAPER, 0, 0, 0, 0); }
    SubreaperScope(const SubreaperScope&) = delete;
    SubreaperScope& operator=(const SubreaperScope&) = delete;
};

class ChildGroup {
  public:
    ChildGroup() = default;
    ~ChildGroup() { stop(); }
    ChildGroup(const ChildGroup&) = delete;
    ChildGroup& operator=(const ChildGroup&) = delete;

    // Starts program in workDir with exactly env, standard input from
    // /dev/null and standard output and error appended to outputPath.
    bool start(const std::string& program, const std::vector<std::string>& args,
               const std::string& workDir, const std::vector<std::string>& env,
               const std::string& outputPath) {
        std::vector<std::string> argCopies;
        argCopies.push_back(program);
        argCopies.insert(argCopies.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : argCopies)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> envCopies = env;
        std::vector<char*> envp;
        for (std::string& e : envCopies)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid < 0) return false;
        if (pid == 0) {
            ::setpgid(0, 0);
            // Should the test itself die, its peer goes with it.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM, 0, 0, 0);
            if (::getppid() != parent) ::_exit(127);
            const int in = ::open("/dev/null", O_RDONLY);
            const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (in < 0 || out < 0 || ::chdir(workDir.c_str()) != 0) ::_exit(127);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::execve(program.c_str(), argv.data(), envp.data());
            ::_exit(127);
        }
        // Set from both sides, so that the group exists before either goes on.
        ::setpgid(pid, pid);
        pid_ = pid;
        leaderReaped_ = false;
        return true;
    }

    // Waits up to timeout for the program itself to end; true when it did,
    // with its exit status (-1 when it did not exit normally).
    bool waitExit(std::chrono::milliseconds timeout, int* exitStatus) {
        if (pid_ < 0) return false;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!leaderReaped_) {
            int wstatus = 0;
            const pid_t done = ::waitpid(pid_, &wstatus, WNOHANG);
            if (done == pid_) {
                leaderReaped_ = true;
                leaderStatus_ = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
                break;
            }
            if (done < 0 && errno != EINTR) return false;
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (exitStatus) *exitStatus = leaderStatus_;
        return true;
    }

    bool running() const { return pid_ > 0 && !leaderReaped_; }

    // Whether the program itself is stopped (by SIGSTOP), as /proc shows it.
    bool stopped() const {
        if (!running()) return false;
        std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
        const std::string text((std::istreambuf_iterator<char>(stat)), {});
        const std::size_t end = text.rfind(") ");  // the state follows the name
        return end != std::string::npos && end + 2 < text.size() && text[end + 2] == 'T';
    }

    // Waits up to timeout until the program is the only one left of its
    // group, as a server whose helpers have ended their sessions; true
    // when it is.
    bool awaitHelpersGone(std::chrono::milliseconds timeout) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (running() && helpers() > 0) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return running();
    }

    // Sends sig to the program itself, such as SIGKILL at a random moment.
    void signal(int sig) {
        if (running()) ::kill(pid_, sig);
    }

    // Asks the whole group to end, gives it a moment, then kills what is
    // left, and reaps the program and every member that was handed to us.
    void stop() {
        if (pid_ < 0) return;
        ::kill(-pid_, SIGTERM);
        if (!waitExit(std::chrono::milliseconds(3000), nullptr)) {
            ::kill(-pid_, SIGKILL);
            waitExit(std::chrono::milliseconds(3000), nullptr);
        }
        ::kill(-pid_, SIGKILL);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        for (;;) {
            while (::waitpid(-pid_, nullptr, WNOHANG) > 0) {
            }
            if (::kill(-pid_, 0) != 0 && errno == ESRCH) break;
            if (std::chrono::steady_clock::now() >= deadline) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
    }

  private:
    // The members of the group but the program, from their /proc/<pid>/stat,
    // whose fifth field is the group.
    std::size_t helpers() const {
        std::size_t count = 0;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
            const std::string name = entry.path().filename();
            if (name.find_first_not_of("0123456789") != std::string::npos ||
                name == std::to_string(pid_))
                continue;
            std::ifstream stat(entry.path() / "stat");
            const std::string text((std::istreambuf_iterator<char>(stat)), {});
            const std::size_t end = text.rfind(") ");
            char state = 0;
            long parent = 0, group = 0;
            if (end != std::string::npos &&
                std::sscanf(text.c_str() + end + 2, "%c %ld %ld", &state, &parent, &group) == 3 &&
                group == pid_ && state != 'Z')
                ++count;
        }
        return count;
    }

    pid_t pid_ = -1;
    bool leaderReaped_ = false;
    int leaderStatus_ = -1;
};

}  // namespace rv::testing
