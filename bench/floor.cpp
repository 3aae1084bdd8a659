// floor: what merely reading a history costs, the yardstick of `make bench`.
//
//   floor decode FILE   reads FILE in 64 KiB blocks and decodes every
//                       28-byte record (types 2 and 3) into its fields
//   floor count FILE    the same, and adds each record to the counters of
//                       its address (sessions, time, bytes) in a hash table
//   floor rows FILE     the same as decode, and writes for every record a
//                       row as long as brimsel's to standard output in
//                       64 KiB blocks: a fixed frame with the record's
//                       start and duration stamped in as hexadecimal
//
// The programs do more than this (validity, periods, matching, reports);
// the benchmarks print their times as multiples of these loops, measured
// on the same file in the same run, so that the figures say the same on a
// fast machine and a slow one. Every decoded field feeds a checksum that
// is printed, so that no load can be optimised away.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/le.h"

namespace {

using namespace rv;

constexpr std::size_t recordSize = 28;
constexpr std::size_t blockSize = 1 << 16;

struct Fields {
    std::int16_t zone, net, node, point;
    std::uint32_t startTime, duration, bytesReceived, bytesSent;
    std::uint16_t spare, flags;
};

Fields decode(const std::uint8_t* p) {
    return {loadS16(p),      loadS16(p + 2),  loadS16(p + 4),  loadS16(p + 6),  loadU32(p + 8),
            loadU32(p + 12), loadU32(p + 16), loadU32(p + 20), loadU16(p + 24), loadU16(p + 26)};
}

// The counters of one address, in an open-addressing table with linear
// probing, kept at most half full.
struct Slot {
    std::uint64_t address = 0;
    bool used = false;
    std::uint64_t sessions = 0;
    std::uint64_t seconds = 0;
    std::uint64_t bytesReceived = 0;
    std::uint64_t bytesSent = 0;
};

class AddressCounters {
  public:
    AddressCounters() : slots_(1024) {}

    void add(const Fields& f) {
        const std::uint64_t address = static_cast<std::uint16_t>(f.zone) |
                                      std::uint64_t{static_cast<std::uint16_t>(f.net)} << 16 |
                                      std::uint64_t{static_cast<std::uint16_t>(f.node)} << 32 |
                                      std::uint64_t{static_cast<std::uint16_t>(f.point)} << 48;
        Slot& s = find(address);
        ++s.sessions;
        s.seconds += f.duration;
        s.bytesReceived += f.bytesReceived;
        s.bytesSent += f.bytesSent;
    }

    std::size_t size() const { return used_; }

    std::uint64_t checksum() const {
        std::uint64_t sum = 0;
        for (const Slot& s : slots_)
            sum += s.sessions + s.seconds + s.bytesReceived + s.bytesSent;
        return sum;
    }

  private:
    Slot& find(std::uint64_t address) {
        for (;;) {
            const std::size_t mask = slots_.size() - 1;
            // Fibonacci hashing: the top bits of the product spread the
            // few bits in which neighbouring addresses differ.
            std::size_t i =
                static_cast<std::size_t>((address * 0x9E3779B97F4A7C15ull) >> 40) & mask;
            while (slots_[i].used && slots_[i].address != address)
                i = (i + 1) & mask;
            if (slots_[i].used) return slots_[i];
            if (2 * (used_ + 1) <= slots_.size()) {
                ++used_;
                slots_[i].used = true;
                slots_[i].address = address;
                return slots_[i];
            }
            grow();
        }
    }

    void grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& s : old) {
            if (!s.used) continue;
            std::size_t i =
                static_cast<std::size_t>((s.address * 0x9E3779B97F4A7C15ull) >> 40) & mask;
            while (slots_[i].used)
                i = (i + 1) & mask;
            slots_[i] = s;
        }
    }

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

// The rows of the rows mode: each is a copy of one UTF-8 dump row with
// two of the record's fields stamped into its date cell, so that writing
// them costs what moving the dump's bytes costs, and no formatting.
class RowSink {
  public:
    void add(const Fields& f) {
        if (held_ + frame.size() > sizeof block_) flush();
        char* p = block_ + held_;
        std::memcpy(p, frame.data(), frame.size());
        stampHex(p + startAt, f.startTime);
        stampHex(p + durationAt, f.duration);
        held_ += frame.size();
    }

    bool flush() {
        for (std::size_t done = 0; done < held_;) {
            const ssize_t n = write(1, block_ + done, held_ - done);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        held_ = 0;
        return true;
    }

  private:
    static void stampHex(char* p, std::uint32_t v) {
        for (int i = 7; i >= 0; --i, v >>= 4)
            p[i] = "0123456789abcdef"[v & 15];
    }

    static constexpr std::string_view frame =
        "│ 2:5020/545.0    │ Mon Jan 01 00:00:00 2024 │   173 │     78 │     11 │ 1110 │\n";
    static constexpr std::size_t startAt = 24;  // the date cell's 24 bytes
    static constexpr std::size_t durationAt = 32;
    char block_[blockSize];
    std::size_t held_ = 0;
};

struct Totals {
    std::uint64_t records = 0;
    std::uint64_t durations = 0;  // the one field summed
    std::uint64_t checksum = 0;   // every other field, so that each is loaded
};

// Reads the whole file; false on a read error. A record cut by the end of
// a block is moved to the front and completed by the next read.
enum class Mode { decode, count, rows };

template <Mode mode>
bool readAll(int fd, Totals& totals, AddressCounters& counters, RowSink& rows) {
    static std::uint8_t block[blockSize];
    std::size_t held = 0;
    for (;;) {
        const ssize_t got = read(fd, block + held, blockSize - held);
        if (got < 0) return false;
        if (got == 0) return rows.flush();
        const std::size_t end = held + static_cast<std::size_t>(got);
        std::size_t pos = 0;
        for (; pos + recordSize <= end; pos += recordSize) {
            const Fields f = decode(block + pos);
            ++totals.records;
            totals.durations += f.duration;
            totals.checksum += static_cast<std::uint64_t>(f.zone + f.net + f.node + f.point) +
                               f.startTime + f.bytesReceived + f.bytesSent + f.spare + f.flags;
            if constexpr (mode == Mode::count) counters.add(f);
            if constexpr (mode == Mode::rows) rows.add(f);
        }
        held = end - pos;
        std::memmove(block, block + pos, held);
    }
}

int usage() {
    std::fputs("Usage: floor decode|count|rows FILE\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return usage();
    const std::string_view mode = argv[1];
    const bool counting = mode == "count";
    const bool rowing = mode == "rows";
    if (!counting && !rowing && mode != "decode") return usage();
    const int fd = open(argv[2], O_RDONLY);
    if (fd < 0) {
        std::fprintf(stderr, "floor: cannot open %s: %s\n", argv[2], std::strerror(errno));
        return 1;
    }
    Totals totals;
    AddressCounters counters;
    static RowSink rows;
    const bool ok = counting ? readAll<Mode::count>(fd, totals, counters, rows)
                    : rowing ? readAll<Mode::rows>(fd, totals, counters, rows)
                             : readAll<Mode::decode>(fd, totals, counters, rows);
    if (!ok) {
        std::fprintf(stderr, "floor: cannot read %s or write the rows: %s\n", argv[2],
                     std::strerror(errno));
        return 1;
    }
    close(fd);
    // The rows mode's summary goes after its rows, to standard error.
    std::FILE* summary = rowing ? stderr : stdout;
    std::fprintf(summary, "%" PRIu64 " records, durations %" PRIu64 ", checksum %" PRIu64,
                 totals.records, totals.durations, totals.checksum);
    if (counting)
        std::fprintf(summary, ", %zu addresses, counters %" PRIu64, counters.size(),
                     counters.checksum());
    std::fprintf(summary, "\n");
    return 0;
}
