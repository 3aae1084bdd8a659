// ravlog with a probe on the steps of history cutting, for the tests that
// prove the cut's journal by killing it. Built with the tests only; the
// installed ravlog has no probe and reads no environment.
//
// RAVLOG_CUT_PROBE holds words separated by blanks:
//   log=FILE       every step is appended to FILE as "<number> <name>\n"
//                  before it is taken (steps are numbered from 0)
//   kill=N         step N is not taken: the process kills itself (SIGKILL)
//   fail=N         step N fails as on a full disk (ENOSPC)
//   stop=N         before step N the process stops itself (SIGSTOP) until
//                  it is continued: a test looks at what others see then
//   unleased       every lease on the history is refused, as where the
//                  system grants none
//   block=N        the cut journals and copies in blocks of N bytes
//                  instead of 64 KiB, so that a small history makes the
//                  steps of a large one
//   history=FILE feed=FILE record=SIZE append=N,M,...
//                  before step N (and M, ...) the next SIZE bytes of the
//                  feed are appended to the history, as a mailer that
//                  does not lock would append a session: by a process of
//                  its own, which the step waits for unless its open
//                  waits for ravlog's lease on the history
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ravlog/ravlog_run.h"

namespace {

class EnvironmentProbe final : public rv::ravlog::CutProbe {
  public:
    explicit EnvironmentProbe(const char* settings) {
        std::istringstream words(settings ? settings : "");
        std::string word;
        while (words >> word) {
            const std::size_t eq = word.find('=');
            const std::string key = word.substr(0, eq);
            const std::string value = eq == std::string::npos ? "" : word.substr(eq + 1);
            if (key == "log") log_ = ::open(value.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (key == "kill") kill_ = std::stol(value);
            if (key == "fail") fail_ = std::stol(value);
            if (key == "stop") stop_ = std::stol(value);
            if (key == "unleased") unleased_ = true;
            if (key == "block") block_ = std::stoul(value);
            if (key == "history") history_ = value;
            if (key == "feed") feed_ = value;
            if (key == "record") record_ = std::stoul(value);
            if (key == "append") {
                std::istringstream steps(value);
                std::string step;
                while (std::getline(steps, step, ','))
                    appends_.insert(std::stol(step));
            }
        }
    }

    bool allow(rv::ravlog::CutStep step) override {
        const long n = next_++;
        if (log_ >= 0) {
            const std::string line = std::to_string(n) + " " + rv::ravlog::cutStepName(step) + "\n";
            if (::write(log_, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
                std::abort();
        }
        if (appends_.count(n)) appendSession();
        if (n == kill_) ::kill(::getpid(), SIGKILL);
        if (n == stop_) ::raise(SIGSTOP);
        return n != fail_ && !(unleased_ && step == rv::ravlog::CutStep::historyLease);
    }

    std::size_t blockSize() const override { return block_ ? block_ : rv::ravlog::cutBlockSize; }

    // Appends that waited for the lease are over once ravlog has let go.
    void reapWaiting() const {
        for (const pid_t pid : waiting_)
            if (exitStatus(pid, 0) != 0) std::abort();
    }

  private:
    void appendSession() {
        const pid_t pid = ::fork();
        if (pid < 0) std::abort();
        if (pid == 0) {
            // Without ravlog's descriptors: a copy of the leased one would
            // keep the lease (and the lock) alive should ravlog be killed.
            ::close_range(3, ~0U, 0);
            ::_exit(writeSession() ? 0 : 1);
        }
        ++fed_;
        for (int tries = 0;; ++tries) {
            const int status = exitStatus(pid, WNOHANG);
            if (status == 0) return;
            // A test whose mailer cannot append (for 10 s) proves nothing.
            if (status > 0 || tries == 50000) std::abort();
            if (waitsForLease(pid)) return waiting_.push_back(pid);
            ::usleep(200);
        }
    }

    // The child's exit status, or -1 while it runs.
    static int exitStatus(pid_t pid, int options) {
        int status = 0;
        if (::waitpid(pid, &status, options) != pid) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }

    bool writeSession() const {
        std::vector<char> bytes(record_);
        const int feed = ::open(feed_.c_str(), O_RDONLY);
        const int history = ::open(history_.c_str(), O_WRONLY | O_APPEND);
        const bool ok = feed >= 0 && history >= 0 &&
                        ::pread(feed, bytes.data(), record_, static_cast<off_t>(fed_ * record_)) ==
                            static_cast<ssize_t>(record_) &&
                        ::write(history, bytes.data(), record_) == static_cast<ssize_t>(record_);
        ::close(feed);
        ::close(history);
        return ok;
    }

    // The kernel lists an open that waits for a lease to be let go as
    // "-> LEASE  BREAKER ... <pid> ..." in /proc/locks.
    static bool waitsForLease(pid_t pid) {
        std::ifstream locks("/proc/locks");
        const std::string id = " " + std::to_string(pid) + " ";
        for (std::string line; std::getline(locks, line);)
            if (line.find("BREAKER") != std::string::npos && line.find(id) != std::string::npos)
                return true;
        return false;
    }

    int log_ = -1;
    long next_ = 0;
    long kill_ = -1;
    long fail_ = -1;
    long stop_ = -1;
    bool unleased_ = false;
    std::size_t block_ = 0;
    std::string history_;
    std::string feed_;
    std::size_t record_ = 0;
    std::size_t fed_ = 0;
    std::set<long> appends_;
    std::vector<pid_t> waiting_;
};

}  // namespace

int main(int argc, char** argv) {
    EnvironmentProbe probe(std::getenv("RAVLOG_CUT_PROBE"));
    const int status = rv::ravlog::ravlogMain(argc, argv, &probe);
    probe.reapWaiting();
    return status;
}
