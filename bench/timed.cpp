// timed: runs one command and prints what it cost, for `make bench`:
//
//   timed COMMAND [ARGUMENT...]
//   -> "<cpu µs> <wall µs> <peak resident KiB> <exit status>"
//
// cpu is the user and system time of the command alone (wait4's resource
// use of that child), in microseconds: the shell's `time` rounds to
// milliseconds, too coarse for runs of a few. wall runs from the fork to
// the reaping. The command reads /dev/null and writes to /dev/null; it
// runs in the current directory with the current environment.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("Usage: timed COMMAND [ARGUMENT...]\n", stderr);
        return 2;
    }
    const auto begin = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "timed: fork: %s\n", std::strerror(errno));
        return 1;
    }
    if (child == 0) {
        const int null = open("/dev/null", O_RDWR);
        if (null < 0 || dup2(null, 0) < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0) _exit(126);
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage use{};
    while (wait4(child, &status, 0, &use) < 0) {
        if (errno != EINTR) {
            std::fprintf(stderr, "timed: wait: %s\n", std::strerror(errno));
            return 1;
        }
    }
    const auto wall = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - begin)
                          .count();
    const long long cpu = (use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1000000LL +
                          use.ru_utime.tv_usec + use.ru_stime.tv_usec;
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("%lld %lld %ld %d\n", cpu, static_cast<long long>(wall), use.ru_maxrss, exitStatus);
    return 0;
}
