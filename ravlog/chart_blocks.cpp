#include "ravlog/chart_blocks.h"

#include "core/busy_mask.h"
#include "ravlog/run_state.h"

namespace rv::ravlog {

namespace {

struct KindInfo {
    ChartKind kind;
    std::uint8_t maskBit;
    std::string_view name;
    std::string_view key;
};

constexpr KindInfo chartKinds[] = {
    {ChartKind::busy, BusyMask::busy, "Busy", "busy"},
    {ChartKind::incoming, BusyMask::incoming, "Incoming", "incoming"},
    {ChartKind::outgoing, BusyMask::outgoing, "Outgoing", "outgoing"},
    {ChartKind::protectedOnly, BusyMask::protectedOnly, "Protected", "protected"},
    {ChartKind::unprotected, BusyMask::unprotected, "UnProtected", "unprotected"},
};

const SlotValues& kindArray(const BusyHistogram& b, ChartKind kind) {
    switch (kind) {
        case ChartKind::busy:
            return b.all;
        case ChartKind::incoming:
            return b.incoming;
        case ChartKind::outgoing:
            return b.outgoing;
        case ChartKind::protectedOnly:
            return b.protectedAll;
        case ChartKind::unprotected:
            return b.unprotected;
    }
    return b.all;
}

bool allZero(const SlotValues& v) {
    for (std::uint64_t x : v)
        if (x != 0) return false;
    return true;
}

// A BinkD line draws each side per channel: incoming / n, outgoing / m.
SlotValues perChannel(const SlotValues& in, const SlotValues& out, std::uint16_t n,
                      std::uint16_t m) {
    SlotValues v{};
    for (int i = 0; i < chartSlots; ++i) {
        if (n != 0) v[i] += in[i] / n;
        if (m != 0) v[i] += out[i] / m;
    }
    return v;
}

SlotValues divided(const SlotValues& values, std::uint16_t by) {
    SlotValues v{};
    for (int i = 0; i < chartSlots; ++i)
        v[i] = values[i] / by;
    return v;
}

SlotValues chartValues(const BusyHistogram& b, ChartKind kind, const HistorySource& src,
                       bool binkd) {
    if (!binkd) return kindArray(b, kind);
    switch (kind) {
        case ChartKind::busy:
            return perChannel(b.incoming, b.outgoing, src.n, src.m);
        case ChartKind::incoming:
            return divided(b.incoming, src.n);
        case ChartKind::outgoing:
            return divided(b.outgoing, src.m);
        case ChartKind::protectedOnly:
            return perChannel(b.protectedIn, b.protectedOut, src.n, src.m);
        case ChartKind::unprotected:
            return perChannel(b.unprotectedIn, b.unprotectedOut, src.n, src.m);
    }
    return b.all;
}

void setShare(ChartBlock& block, const LineTotals& t, int windowHours, const HistorySource& src,
              bool binkd) {
    block.whole = t.timeOnline;
    switch (block.kind) {
        case ChartKind::busy:
            block.time = t.timeOnline;
            block.whole = static_cast<std::uint64_t>(windowHours) * 3600;
            if (binkd) block.whole *= static_cast<std::uint64_t>(src.n) + src.m;
            return;
        case ChartKind::incoming:
            block.time = t.timeIn;
            return;
        case ChartKind::outgoing:
            block.time = t.timeOut;
            return;
        case ChartKind::protectedOnly:
            block.time = t.protectedPart.timeOnline;
            return;
        case ChartKind::unprotected:
            block.time = without(t, t.protectedPart).timeOnline;
            return;
    }
}

}  // namespace

std::string_view chartKindName(ChartKind kind) {
    return chartKinds[static_cast<std::size_t>(kind)].name;
}

std::string_view chartKindKey(ChartKind kind) {
    return chartKinds[static_cast<std::size_t>(kind)].key;
}

std::vector<ChartBlock> chartBlocks(const Run& run) {
    std::vector<ChartBlock> blocks;
    const std::size_t lineCount = run.config.lines.size();
    for (const KindInfo& info : chartKinds) {
        const bool protKind =
            info.kind == ChartKind::protectedOnly || info.kind == ChartKind::unprotected;
        for (std::size_t i = 0; i < lineCount; ++i) {
            const Line& line = run.config.lines[i];
            const LineResult& result = run.lines[i];
            // A text log keeps the channel counts its History value gives.
            const bool binkd =
                result.type == HistoryType::binkd ||
                (result.type == HistoryType::textLog && line.source.hasBinkdParameters());
            if (protKind && result.type != HistoryType::long100 &&
                result.totals.protectedPart.sessions == 0)
                continue;
            if (!(line.busyHistMask & info.maskBit)) continue;
            if ((line.busyHistMask & BusyMask::skipEmpty) &&
                allZero(kindArray(result.busy, info.kind)))
                continue;
            if (binkd && info.kind == ChartKind::incoming && line.source.n == 0) continue;
            if (binkd && info.kind == ChartKind::outgoing && line.source.m == 0) continue;
            ChartBlock& block = blocks.emplace_back();
            block.line = i;
            block.kind = info.kind;
            // The title counts every line of the list, drawn or not.
            block.number = run.openedLines == 1 ? 0 : static_cast<int>(i) + 1;
            block.values = chartValues(result.busy, info.kind, line.source, binkd);
            setShare(block, result.totals, run.period.windowHours, line.source, binkd);
        }
    }
    return blocks;
}

}  // namespace rv::ravlog
