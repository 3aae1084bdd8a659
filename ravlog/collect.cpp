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

// The reading loop calls one step per concern: the archive's day count,
// the reports and the cut. Each step is a type of its own, chosen when
// the file is read, so that a run pays only for the concerns it has.

// The archive's step: every record that pondrel would count is counted on
// its day. The loop keeps the day's span and count (LineDays::Tally) at
// hand; LineDays is called only when a record leaves the span, which in a
// history in time order is when the day changes.
class DayCount {
  public:
    DayCount(LineDays& days, std::int16_t timeShift, std::uint16_t fileDirection)
        : days_(days), tally_(days.tally()), timeShift_(timeShift), direction_(fileDirection) {}

    // A record that passes by the report window: its address and length
    // are valid and its time converts, unless its zone is 0.
    void passedBy(const SessionRecord& r) {
        if (r.address.zone != 0) count(r, shiftedStart(r, timeShift_));
    }
    // A record that the report window may hold, before it is judged.
    void judged(const SessionRecord& r) {
        if (const std::optional<std::int64_t> t = countedTime(r, timeShift_)) count(r, *t);
    }
    // After the file's last record.
    void end() { days_.tally() = tally_; }

  private:
    void count(const SessionRecord& r, std::int64_t t) {
        if (!tally_.count(t)) tally_ = days_.take(r, t, direction_, tally_);
    }

    LineDays& days_;
    LineDays::Tally tally_;
    const std::int16_t timeShift_;
    const std::uint16_t direction_;
};

// A run without an archive counts no days.
struct NoDayCount {
    void passedBy(const SessionRecord&) {}
    void judged(const SessionRecord&) {}
    void end() {}
};

// The reports' step: a record that the raw window test could not pass by
// is judged, reported when impossible, and taken when it lies in the
// report window. Its times are left for the cut.
void reportStep(LinePass& pass, SessionRecord& r, std::uint16_t fileDirection,
                LocalTimeConverter& converter, SessionTime& time) {
    Run& run = pass.run;
    const bool zeroDuration = r.duration == 0;
    if (zeroDuration) r.duration = 1;
    const Validity validity = checkSession(r, pass.line.timeShift, converter, time);
    if (validity == Validity::valid) {
        // windowEnd is the window's last second: a session starting then belongs to it.
        if (time.localStart <= run.period.windowEnd &&
            time.localStart + r.duration > run.period.windowStart)
            takeSession(pass, r, zeroDuration, time, fileDirection);
    } else if (validity == Validity::invalid) {
        reportInvalidRecord(run.err, pass.line.source.path, r, time);
    }
}

// The cut needs every record with its local time: while a line cuts, no
// record passes by the reports' step. Without a cut (cutting false) the
// loop has no test of it left.
template <bool cutting, class Days>
void readRecords(LinePass& pass, HistoryReader& reader, HistoryCutter& cutter,
                 LocalTimeConverter& converter, Days& days) {
    const RawWindow rawWindow(pass.run.period.windowStart, pass.run.period.windowEnd,
                              pass.line.timeShift);
    const std::uint16_t direction = reader.direction();  // the file's, for all its records
    SessionRecord r;
    SessionTime time;
    while (reader.readSession(r)) {
        // Most records lie on other days: they cost only this test and
        // the day count.
        if (!cutting && rawWindow.passesBy(r)) {
            days.passedBy(r);
            continue;
        }
        days.judged(r);
        reportStep(pass, r, direction, converter, time);
        if (cutting) cutter.offer(reader.rawRecord(), r, time);
    }
    days.end();
}

template <class Days>
void readFile(LinePass& pass, HistoryReader& reader, HistoryCutter& cutter,
              LocalTimeConverter& converter, Days&& days) {
    if (cutter.active())
        readRecords<true>(pass, reader, cutter, converter, days);
    else
        readRecords<false>(pass, reader, cutter, converter, days);
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
        if (pass.days)
            readFile(pass, reader, cutter, converter,
                     DayCount(*pass.days, line.timeShift, reader.direction()));
        else
            readFile(pass, reader, cutter, converter, NoDayCount{});
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
