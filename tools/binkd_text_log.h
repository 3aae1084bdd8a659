// binkd's text log as binkd 1.1a writes it at loglevel 4, made from the
// sessions of a generated node: every session becomes the lines its binkd
// process writes (the call or the answer, the handshake, the files, `done
// (...)`), and the lines of sessions that overlap in time interleave by
// time, each under the process id of its own session. docs/binkd.md shows
// what one session looks like.
#pragma once

#include <cstdint>
#include <memory>
#include <queue>
#include <string>
#include <string_view>
#include <vector>

#include "core/session_record.h"
#include "tools/prng.h"

namespace rv::histgen {

// Where the lines go, in time order: a whole line, its newline included,
// and the wall-clock second it was written at.
class LogLineSink {
  public:
    virtual ~LogLineSink() = default;
    virtual void line(std::int64_t wallTime, std::string_view text) = 0;
};

class BinkdTextLog {
  public:
    // seed drives what the sessions leave open (file names, process ids,
    // the way a failed session fails, the callers that never say who they
    // are), so that the same sessions and seed give the same log.
    BinkdTextLog(LogLineSink& sink, std::uint64_t seed);
    ~BinkdTextLog();

    // The daemon's start: its banner and the managers' lines. startTime is
    // the node's wall clock, as every time here.
    void start(std::uint32_t startTime);
    // One session of the node, in start order. It reads the address, the
    // start, the duration, the bytes each way and the flags: incoming or
    // outgoing, normal (else the session failed) and protected (a password
    // session).
    void session(const SessionRecord& r);
    // Writes what is still pending.
    void finish();

  private:
    struct Pending;  // the lines of a session not yet written
    struct Call;     // what a session's lines are made of
    struct Later {
        bool operator()(const Pending* a, const Pending* b) const;
    };

    struct Line {
        std::uint32_t time;
        std::uint32_t pid;
        char mark;
        std::uint32_t textBegin;  // its message in the session's text
        std::uint32_t textEnd;
    };

    void writeUntil(std::uint32_t time);
    void writeLine(std::uint32_t time, char mark, std::uint32_t pid, std::string_view message);
    std::uint32_t takePid();
    Pending* fresh();
    void queue(Pending* p);
    void greet(Pending& p, const Call& c);
    void exchange(Pending& p, const Call& c);
    void strayCaller(std::uint32_t time);
    void refusedCall(std::uint32_t time, const FidoAddress& address);

    LogLineSink& sink_;
    Prng prng_;
    std::uint32_t servmgr_ = 0;
    std::uint32_t clientmgr_ = 0;
    std::uint32_t lastPid_ = 0;
    std::uint64_t sequence_ = 0;
    std::vector<bool> pidInUse_;
    std::vector<std::unique_ptr<Pending>> pool_;
    std::priority_queue<Pending*, std::vector<Pending*>, Later> pending_;
    std::vector<Pending*> spare_;  // of the pool, the buffers of finished sessions
    std::uint32_t stampTime_ = 0;
    char stamp_[16] = {};  // "dd Mon hh:mm:ss" of stampTime_
    std::string out_;
};

}  // namespace rv::histgen
