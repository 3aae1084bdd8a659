// One history format read from memory: its decoder forced on the whole
// payload, then the type detection under a plain, a BinkD and both pair
// names (the twin served from the rest of the input), every record put
// through ravlog's validity test, direction rules, address walk, line
// totals, busy chart and table row, and the whole of it dumped as brimsel
// does. Built once per type: HISTORY_TYPE names the forced decoder.
//
// Input: a control byte, a 16-bit little-endian length of the first file,
// then the first file and its twin.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "brimsel/brimsel_run.h"
#include "core/byte_source.h"
#include "core/config_reader.h"
#include "core/dates.h"
#include "core/direction.h"
#include "core/history_reader.h"
#include "core/session_validity.h"
#include "fuzz_support.h"
#include "ravlog/sessions_report.h"
#include "stats/accounting.h"
#include "stats/address_book.h"
#include "stats/chart_layout.h"

#ifndef HISTORY_TYPE
#error "HISTORY_TYPE (a number of historyFormats) names the format this target forces"
#endif
static_assert(HISTORY_FORMATS == rv::historyFormats.size(),
              "tests/fuzz/CMakeLists.txt builds a target for every history format");
static_assert(rv::historyTypeNumbered(HISTORY_TYPE).has_value());

namespace rv::fuzz {
namespace {

// Entries of every shape the walk knows: excluded, group, wildcard,
// plain, named, and the five The Brake! event kinds.
const char addressConfig[] =
    "[COMMON]\n"
    "Addr !2:5020/9999\n"
    "Addr 2:5020/# \"Moscow\"\n"
    "Addr 2:*\n"
    "Addr 1:3634/12 \"Friend\"\n"
    "Addr #:#/#.#\n"
    "Addr ANSWER\n"
    "Addr DIAL\n"
    "Addr TERMINAL\n"
    "Addr BBS\n"
    "Addr EXTERNAL\n"
    "[LINE]\n"
    "History x.his\n";

const std::vector<AddrSpec>& addressSpecs() {
    static const std::vector<AddrSpec> addrLines = [] {
        const RunClock clock = makeRunClock(prepareClock());
        Configuration config;
        ConfigContext context;
        context.clock = &clock;
        context.warnings = sink();
        auto text = memorySource(reinterpret_cast<const std::uint8_t*>(addressConfig),
                                 sizeof addressConfig - 1);
        if (readConfig(*text, config, context)) std::abort();
        return config.addresses;
    }();
    return addrLines;
}

const char* const windows[] = {"0-24", "22:30-6", "9:15:30-9:45", "23-0"};
const std::int16_t shifts[] = {0, 1, -12, 23};

struct Controls {
    std::int16_t timeShift;
    bool swapInOut;
    bool binkdAbortedOut;
    bool advancedCps;
    bool noDrawZero;
    bool ascii;
    const char* window;
};

Controls readControls(std::uint8_t c) {
    return Controls{shifts[c & 3],   (c & 0x04) != 0, (c & 0x08) != 0, (c & 0x10) != 0,
                    (c & 0x20) != 0, (c & 0x40) != 0, windows[c >> 6]};
}

// ravlog's treatment of one line's records, cut down to the pieces a
// record can reach: nothing here outlives the input.
class LinePipeline {
  public:
    explicit LinePipeline(const Controls& controls)
        : controls_(controls),
          period_(makePeriod(controls.window, window_)),
          layout_(chooseChartLayout(static_cast<unsigned>(period_.windowHours))),
          book_(addressSpecs(), &layout_),
          converter_(makeRunClock(prepareClock()).isDst) {}

    void readAll(HistoryReader& reader, const HistorySource& source) {
        const LineDirectionRules rules{controls_.swapInOut, reader.type(), source.n, source.m,
                                       controls_.binkdAbortedOut};
        ravlog::writeTableHeader(sink(), reader.type());
        SessionRecord r;
        std::uint64_t records = 0;
        while (reader.readSession(r)) {
            checkRaw(r, reader);
            ++records;
            take(r, reader, source, rules);
        }
        // Every record takes at least one byte of the file: a reader that
        // yields more is stuck.
        if (records > reader.consumed()) std::abort();
        LineTotals totals = totals_;
        if (controls_.advancedCps) applyAdvancedCps(totals);
        ravlog::writeTableFooter(sink(), totals);
    }

    void finish() { book_.finishEntries(false); }

  private:
    // History cutting writes back what the common layout encodes: it must
    // be the record's bytes as read (zero past a truncated end).
    static void checkRaw(const SessionRecord& r, const HistoryReader& reader) {
        const std::size_t size = commonRecordSize(reader.type());
        if (size == 0) return;
        const auto raw = reader.rawRecord();
        if (raw.empty() || raw.size() > size) std::abort();
        std::uint8_t encoded[100] = {};
        encodeCommonLayout(r, size, encoded);
        for (std::size_t i = 0; i < size; ++i)
            if (encoded[i] != (i < raw.size() ? raw[i] : 0)) std::abort();
    }

    static ReportPeriod makePeriod(const char* text, TimeWindow& window) {
        if (!parseTimeWindow(text, window)) std::abort();
        return computePeriod(seedDay(), window);
    }

    void take(SessionRecord& r, const HistoryReader& reader, const HistorySource& source,
              const LineDirectionRules& rules) {
        const bool zeroDuration = r.duration == 0;
        if (zeroDuration) r.duration = 1;
        SessionTime time;
        const Validity validity = checkSession(r, controls_.timeShift, converter_, time);
        if (validity == Validity::invalid) reportInvalidRecord(sink(), source.path, r, time);
        if (validity != Validity::valid) return;
        if (time.localStart > period_.windowEnd ||
            time.localStart + r.duration <= period_.windowStart)
            return;
        r.flags =
            applyDirectionRules(static_cast<std::uint16_t>(r.flags | reader.direction()), rules);
        const AxisSpan axis = axisPosition(time.localStart, r.duration, period_.windowStart,
                                           window_.startMinute, window_.startSecond);
        MatchContext context;
        context.zeroDuration = zeroDuration;
        context.advancedCps = controls_.advancedCps;
        context.noDrawZero = controls_.noDrawZero;
        context.axisStart = axis.start;
        context.axisEnd = axis.end;
        const MatchResult match = accountSession(book_, totals_, r, context, reader.type());
        if (match.counted) addToBusyHistogram(busy_, axis, r.flags, layout_);
        ravlog::writeSessionRow(sink(), ravlog::sessionRow(r, time.shown(), reader.type()));
    }

    Controls controls_;
    TimeWindow window_;
    ReportPeriod period_;
    const ChartLayout& layout_;
    AddressBook book_;
    LineTotals totals_;
    BusyHistogram busy_;
    LocalTimeConverter converter_;
};

// The names a history is opened under, with the twin each pair name asks for.
struct Naming {
    const char* value;
    const char* path;
    const char* twin;
};
const Naming namings[] = {
    {"f.his", "f.his", nullptr},
    {"b.his,1,1", "b.his", nullptr},
    {"f.ihs", "f.ihs", "f.ohs"},
    {"g.OHS", "g.OHS", "g.IHS"},
};

void readLine(MemoryOpener& opener, LinePipeline& pipeline, HistorySource source, bool detect) {
    MemoryDirectory directory;
    HistoryReader reader(opener, directory, 0);
    if (!reader.openHistory(source, detect)) return;
    pipeline.readAll(reader, source);
    if (reader.openTwin(source) == HistoryReader::Twin::opened) pipeline.readAll(reader, source);
    reader.close();
}

}  // namespace
}  // namespace rv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rv;
    using namespace rv::fuzz;
    prepareClock();
    InputCursor in(data, size);
    const Controls controls = readControls(in.byte());
    PairPayload payload = splitPair(in);

    MemoryOpener opener;
    opener.add("forced.his", payload.whole);
    for (const Naming& n : namings) {
        opener.add(n.path, payload.first);
        if (n.twin) opener.add(n.twin, payload.twin);
    }

    LinePipeline pipeline(controls);
    // The decoder alone, whatever the first bytes say.
    HistorySource forced;
    parseHistoryValue("forced.his", forced);
    forced.type = *historyTypeNumbered(HISTORY_TYPE);
    readLine(opener, pipeline, forced, false);
    // Detection, pairs and twins; then SupportNewFormat No on a pair name.
    for (const Naming& n : namings) {
        HistorySource source;
        parseHistoryValue(n.value, source);
        readLine(opener, pipeline, source, true);
    }
    HistorySource plain;
    parseHistoryValue("f.ihs", plain);
    readLine(opener, pipeline, plain, false);
    pipeline.finish();

    // brimsel's dump of the same lines, as its program writes it.
    brimsel::DumpSettings dump;
    dump.ascii = controls.ascii;
    for (const Naming& n : namings) {
        Line line;
        parseHistoryValue(n.value, line.source);
        line.timeShift = controls.timeShift;
        dump.config.lines.push_back(line);
    }
    // Only the reading is checked: a dump with no history read stops, as it should.
    static_cast<void>(brimsel::dumpLines(dump, opener, sink(), sink()));
    return 0;
}
