#include "ravlog/collect.h"

#include "core/direction.h"
#include "core/program_text.h"
#include "core/session_validity.h"
#include "ravlog/cut/cut_recovery.h"
#include "ravlog/report_model.h"
#include "ravlog/sessions_report.h"
#include "stats/accounting.h"

namespace rv::ravlog {

namespace {

struct LinePass {
    Run& run;
    const Line& line;
    LineResult& result;
    LineDirectionRules rules;
    std::FILE* sessions;
    LineDays* days;  // the line's days for the archive, or null
};

void takeSession(LinePass& pass, SessionRecord& r, bool zeroDuration, const SessionTime& time,
                 std::uint16_t fileDirection) {
    Run& run = pass.run;
    const Settings& s = run.config.settings;
    const TimeWindow& w = s.timeWindow;
    // The direction rules apply to every selected session, so that an
    // unmatched session is listed with its true direction too.
    r.flags = applyDirectionRules(static_cast<std::uint16_t>(r.flags | fileDirection), pass.rules);
    const AxisSpan axis = axisPosition(time.localStart, r.duration, run.period.windowStart,
                                       w.startMinute, w.startSecond);
    MatchContext context;
    context.zeroDuration = zeroDuration;
    context.advancedCps = pass.line.advancedCps != 0;
    context.noDrawZero = s.noDrawZero;
    context.axisStart = axis.start;
    context.axisEnd = axis.end;
    const MatchResult match =
        accountSession(*run.book, pass.result.totals, r, context, pass.result.type);
    const bool noBytes = r.bytesReceived == 0 && r.bytesSent == 0;
    if (match.counted && !(s.noDrawZero && noBytes))
        addToBusyHistogram(pass.result.busy, axis, r.flags, *run.layout);
    if (match.end == WalkEnd::plainEntry && r.has(SessionFlags::protectedSession))
        run.hasProtectedSessions = true;
    const bool listed = r.has(SessionFlags::kindMask) ? (r.flags & s.brakeSesStatMask) != 0
                                                      : match.end != WalkEnd::excludedEntry;
    if (listed) {
        const SessionRow row = sessionRow(r, time.shown(), pass.result.type);
        writeSessionRow(pass.sessions, row);
        if (run.json) run.json->sessionRow(row);
    }
}

// Only types 1 to 3 are cut, and they have no twin: the cut is done after
// the first file, with the reading closed, for the history can be held
// against mailers only while nobody else has it open.
void endCut(HistoryCutter& cutter, HistoryReader& reader) {
    const std::uint64_t bytesRead = reader.consumed();
    reader.close();
    cutter.end(bytesRead);
}

// Counting: the line's days are counted for the archive (pass.days). A
// loop of its own, so that a run without archive pays nothing for it.
template <bool counting>
void readFile(LinePass& pass, HistoryReader& reader, HistoryCutter* cutter,
              LocalTimeConverter& converter) {
    Run& run = pass.run;
    const std::int64_t windowStart = run.period.windowStart;
    const std::int64_t windowEnd = run.period.windowEnd;
    const std::int16_t timeShift = pass.line.timeShift;
    const RawWindow rawWindow(windowStart, windowEnd, timeShift);
    LineDays* const days = pass.days;
    const std::uint16_t direction = reader.direction();  // the file's, for all its records
    LineDays::Tally tally;
    if constexpr (counting) tally = days->tally();
    SessionRecord r;
    SessionTime time;
    while (reader.readSession(r)) {
        // Most records lie on other days: they cost only this test, unless
        // the cutter needs every record's local time. Those it passes by
        // with a zone are counted, and the archive counts them by day.
        if (!cutter && rawWindow.passesBy(r)) {
            if (counting && r.address.zone != 0) {
                const std::int64_t t = shiftedStart(r, timeShift);
                if (!tally.count(t)) tally = days->take(r, t, direction, tally);
            }
            continue;
        }
        if constexpr (counting)
            if (const std::optional<std::int64_t> t = countedTime(r, timeShift))
                if (!tally.count(*t)) tally = days->take(r, *t, direction, tally);
        const bool zeroDuration = r.duration == 0;
        if (zeroDuration) r.duration = 1;
        const Validity validity = checkSession(r, pass.line.timeShift, converter, time);
        if (validity == Validity::valid) {
            // windowEnd is the window's last second: a session starting then belongs to it.
            if (time.localStart <= windowEnd && time.localStart + r.duration > windowStart)
                takeSession(pass, r, zeroDuration, time, direction);
        } else if (validity == Validity::invalid) {
            reportInvalidRecord(run.err, pass.line.source.path, r, time);
        }
        if (cutter) cutter->offer(reader.rawRecord(), r, time);
    }
    if constexpr (counting) days->tally() = tally;
}

}  // namespace

void collectLine(Run& run, std::size_t i, HistoryReader& reader, HistoryCutter& cutter,
                 LocalTimeConverter& converter, ArchiveRecording* archive) {
    Line& line = run.config.lines[i];
    LineResult& result = run.lines[i];
    result.history = line.source.path;  // before a pair's twin takes its place
    result.type = line.source.type;     // a line that cannot be opened keeps its parsed type
    restoreInterruptedCut(line.source.path, run.err, run.cutProbe);
    if (archive) archive->lineStarts(line);
    if (!reader.openHistory(line.source, run.config.settings.supportNewFormat)) {
        std::fputs(cantOpen(line.source.path, reader.openFailure()).c_str(), run.err);
        return;
    }
    result.opened = true;
    result.type = reader.type();
    const int number = ++run.openedLines;
    std::FILE* sessions = run.sessionsFile.get();
    writeLineHeading(sessions, line, number, run.config.lines.size());
    writeTableHeader(sessions, result.type);
    if (run.json) run.json->beginLine(i);

    LinePass pass{run,
                  line,
                  result,
                  LineDirectionRules{line.swapInOut != 0, result.type, line.source.n, line.source.m,
                                     line.binkdAbortedOut != 0},
                  sessions,
                  nullptr};
    if (archive) pass.days = archive->lineOpened(pass.rules);
    // The days are a 16-bit count: a negative one reads as 65536 less its
    // magnitude. With an archive, days are cut only once they are in it:
    // cutLine, after every line was read.
    cutter.begin(line.source.path, result.type,
                 archive ? std::int16_t{0} : static_cast<std::int16_t>(line.cutHistory),
                 run.clock.midnight);
    const bool whole = reader.readWithTwin(line.source, [&] {
        HistoryCutter* const cutting = cutter.active() ? &cutter : nullptr;
        if (pass.days)
            readFile<true>(pass, reader, cutting, converter);
        else
            readFile<false>(pass, reader, cutting, converter);
        if (cutter.active()) endCut(cutter, reader);
    });
    if (!whole) std::fputs(cantOpen(line.source.path, reader.openFailure()).c_str(), run.err);
    reader.close();
    if (archive) archive->lineRead(whole);
    if (line.advancedCps) applyAdvancedCps(result.totals);
    writeTableFooter(sessions, result.totals);
    if (run.json) run.json->endLine();
}

void cutLine(Run& run, std::size_t i, HistoryReader& reader, HistoryCutter& cutter,
             LocalTimeConverter& converter) {
    Line& line = run.config.lines[i];
    // A history that could not be read was told so; one that cannot be
    // opened now is left as it is.
    if (!run.lines[i].opened || line.cutHistory == 0) return;
    // A text log is not read again only to be told it is never cut.
    if (run.lines[i].type == HistoryType::textLog) {
        cutter.begin(line.source.path, run.lines[i].type,
                     static_cast<std::int16_t>(line.cutHistory), run.clock.midnight);
        return;
    }
    if (!reader.openHistory(line.source, run.config.settings.supportNewFormat)) return;
    cutter.begin(line.source.path, reader.type(), static_cast<std::int16_t>(line.cutHistory),
                 run.clock.midnight);
    if (cutter.active()) {
        // The records' times as the reading for the reports had them.
        SessionRecord r;
        SessionTime time;
        while (reader.readSession(r)) {
            if (r.duration == 0) r.duration = 1;
            checkSession(r, line.timeShift, converter, time);
            cutter.offer(reader.rawRecord(), r, time);
        }
        endCut(cutter, reader);
    }
    reader.close();
}

}  // namespace rv::ravlog
