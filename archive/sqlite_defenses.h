// SQLite set up for a database that someone else may have made: the
// schema is not trusted (no function or virtual table of it runs with
// side effects, views and triggers are off), no extension is loaded,
// lengths are bounded, damaged pages are looked for, and no statement may
// do more than a bounded amount of work.
#pragma once

#include <cstdint>
#include <string>

struct sqlite3;

namespace rv {

// The work of the statement running: SQLite's virtual machine steps, in
// ticks of stepsPerTick. A statement that reaches the bound is
// interrupted (SQLITE_INTERRUPT). Kept beside the connection it guards.
class StatementWork {
  public:
    static constexpr int stepsPerTick = 1000;
    // 20 million steps, a few tenths of a second: over two thousand times
    // the largest statement over an honest year (docs/archive.md).
    static constexpr std::uint64_t tickBound = 20'000;

    explicit StatementWork(std::uint64_t bound = tickBound) : bound_(bound) {}

    // A statement starts; false once it has worked past the bound.
    void start() { ticks_ = 0; }
    bool tick() {
        most_ = ++ticks_ > most_ ? ticks_ : most_;
        return ticks_ < bound_;
    }
    // The most ticks a statement took, for measuring.
    std::uint64_t mostTicks() const { return most_; }

  private:
    std::uint64_t bound_;
    std::uint64_t ticks_ = 0;
    std::uint64_t most_ = 0;
};

// Sets the defenses on a connection just opened, before anything of the
// file is read; work must outlive the connection. Empty when every
// defense holds, else which one SQLite refused.
[[nodiscard]] std::string defendConnection(sqlite3* db, StatementWork& work);

}  // namespace rv
