// ravlog with a probe on the steps of history cutting, for the tests that
// prove the cut's journal by killing it. Built with the tests only; the
// installed ravlog has no probe and reads no environment.
//
// RAVLOG_CUT_PROBE holds words separated by blanks:
//   log=FILE       every step is appended to FILE as "<number> <name>\n"
//                  before it is taken (steps are numbered from 0)
//   kill=N         step N is not taken: the process kills itself (SIGKILL)
//   fail=N         step N fails as on a full disk (ENOSPC)
//   history=FILE feed=FILE record=SIZE append=N,M,...
//                  before step N (and M, ...) the next SIZE bytes of the
//                  feed are appended to the history, as a mailer that
//                  does not lock would append a session
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ravlog/ravlog_run.h"

namespace {

class EnvironmentProbe final : public rv::CutProbe {
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

    bool allow(rv::CutStep step) override {
        const long n = next_++;
        if (log_ >= 0) {
            const std::string line = std::to_string(n) + " " + rv::cutStepName(step) + "\n";
            if (::write(log_, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
                std::abort();
        }
        if (appends_.count(n)) appendSession();
        if (n == kill_) ::kill(::getpid(), SIGKILL);
        return n != fail_;
    }

  private:
    void appendSession() {
        std::vector<char> bytes(record_);
        const int feed = ::open(feed_.c_str(), O_RDONLY);
        const int history = ::open(history_.c_str(), O_WRONLY | O_APPEND);
        const bool ok = feed >= 0 && history >= 0 &&
                        ::pread(feed, bytes.data(), record_, static_cast<off_t>(fed_ * record_)) ==
                            static_cast<ssize_t>(record_) &&
                        ::write(history, bytes.data(), record_) == static_cast<ssize_t>(record_);
        ::close(feed);
        ::close(history);
        if (!ok) std::abort();  // a test whose mailer cannot append proves nothing
        ++fed_;
    }

    int log_ = -1;
    long next_ = 0;
    long kill_ = -1;
    long fail_ = -1;
    std::string history_;
    std::string feed_;
    std::size_t record_ = 0;
    std::size_t fed_ = 0;
    std::set<long> appends_;
};

}  // namespace

int main(int argc, char** argv) {
    EnvironmentProbe probe(std::getenv("RAVLOG_CUT_PROBE"));
    return rv::ravlogMain(argc, argv, &probe);
}
