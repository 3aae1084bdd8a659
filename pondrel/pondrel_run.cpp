#include "pondrel/pondrel_run.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "core/config_reader.h"
#include "core/cut_journal.h"
#include "core/dates.h"
#include "core/direction.h"
#include "core/file_identity.h"
#include "core/file_macros.h"
#include "core/history_reader.h"
#include "core/program_text.h"
#include "core/report_file.h"
#include "core/session_validity.h"
#include "core/time_text.h"
#include "pondrel/archive_days.h"
#include "pondrel/html_report.h"
#include "pondrel/link_table.h"
#include "pondrel/report_data.h"
#include "pondrel/report_model.h"

namespace rv::pondrel {

namespace {

// Whether an output opened for appending already holds something, so that
// a CSV report goes on below rows with their header. Standard output, a
// pipe or a device starts afresh.
bool holdsText(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

// The period test of the record filter (passesPeriod), here so that the
// reading loop has it inline. shown is the record's time as the report
// prints it (the history's wall clock), kept beside earliest and latest.
inline bool periodTest(Run& run, std::time_t t, std::int64_t shown) {
    const Options& o = run.options;
    if (t < o.begin) return false;
    if (t < run.earliest) {
        run.earliest = t;
        run.earliestShown = shown;
    }
    if (o.end > 0 && t > o.end) return false;
    if (o.end < 0) {
        const std::time_t from = o.begin != 0 ? o.begin : run.earliest;
        if (t > from - o.end) return false;
    }
    if (t > run.latest) {
        run.latest = t;
        run.latestShown = shown;
    }
    return true;
}

void readLine(Run& run, std::size_t i, HistoryReader& reader, LocalTimeConverter& converter,
              ArchiveDays& archive) {
    Line& line = run.config.lines[i];
    if (!reader.openHistory(line.source, run.config.settings.supportNewFormat)) {
        std::fputs(cantOpen(line.source.path, reader.openFailure()).c_str(), run.err);
        run.unreadLines.push_back(i);
        return;
    }
    // Only once the history is open: a cut that is running holds it, and
    // its journal is no interrupted one.
    warnPendingCut(line.source.path, run.err);
    const HistoryType type = reader.type();
    const LineDirectionRules rules{line.swapInOut != 0, type, line.source.n, line.source.m,
                                   line.binkdAbortedOut != 0};
    AddressBook& book = *run.book;
    TrafficCounters& totals = run.totals[i];
    MatchContext context;
    context.advancedCps = line.advancedCps != 0;
    PeriodDays::Open day;
    SessionRecord r;
    const bool whole = reader.readWithTwin(line.source, [&] {
        const std::uint16_t direction = reader.direction();  // the file's, for all its records
        while (reader.readSession(r)) {
            const bool zeroDuration = r.duration == 0;
            if (zeroDuration) r.duration = 1;
            const std::optional<std::int64_t> shifted = countedTime(r, line.timeShift);
            if (!shifted || archive.holds(*shifted)) continue;
            const std::optional<std::time_t> t = converter.toLocal(*shifted);
            if (!t || !periodTest(run, *t, *shifted)) continue;
            if (!day.holds(*shifted))
                run.days.moveTo(day, dayOfTime(*shifted), book, context.advancedCps, totals);
            r.flags = applyDirectionRules(static_cast<std::uint16_t>(r.flags | direction), rules);
            if (!r.has(SessionFlags::kindMask) && book.tallySession(r, zeroDuration)) continue;
            // The Brake!'s events and the few sessions that cannot be
            // tallied are counted at once: the line counts Answer, Dial and
            // Terminal events in its times but not among its sessions.
            context.zeroDuration = zeroDuration;
            const MatchResult match = book.matchSession(r, context);
            if (match.end == WalkEnd::plainEntry)
                countTraffic(day.counters, r, zeroDuration,
                             !r.has(SessionFlags::kindAnswer | SessionFlags::kindDial |
                                    SessionFlags::kindTerminal));
        }
    });
    if (!whole) std::fputs(cantOpen(line.source.path, reader.openFailure()).c_str(), run.err);
    reader.close();
    run.days.close(day, book, context.advancedCps, totals);
}

}  // namespace

bool passesPeriod(Run& run, std::time_t t, std::int64_t shown) {
    return periodTest(run, t, shown);
}

Stop runPondrel(Run& run, const std::vector<std::string_view>& args, SourceOpener& opener,
                std::FILE* standardOut) {
    Options& o = run.options;
    if (Stop stop = parseOptions(args, run.config, o, run.clock, run.err)) return stop;
    if (Stop stop = checkPeriod({o.begin, o.end}, run.err)) return stop;
    auto text = opener.open(run.config.settings.configPath);
    if (!text) return failure(cantOpen(run.config.settings.configPath, opener.failure()));
    ConfigContext context;
    context.program = Program::pondrel;
    context.fixed = o.fixed;
    context.clock = &run.clock;
    context.warnings = run.err;
    if (Stop stop = readConfig(*text, run.config, context)) return stop;
    text.reset();

    Settings& s = run.config.settings;
    applySwitchOption(o.group, s.group);
    applySwitchOption(o.keepAll, s.keepAll);
    if (o.daysGiven) {
        if (o.endGiven) {
            if (o.days != 0) std::fprintf(run.err, "Ignore option %s \n", o.daysArgument.c_str());
        } else {
            // A negative end marks a length in days, counted from the begin.
            o.end = o.days == 0 ? 0 : -static_cast<std::time_t>(o.days) * 86400;
        }
    }

    run.book = std::make_unique<AddressBook>(run.config.addresses);
    run.totals.assign(run.config.lines.size(), TrafficCounters{});
    if (o.format == ReportFormat::html) run.days.keepEntryTraffic();
    {
        ArchiveDays archive;
        if (Stop stop = archive.open(run)) return stop;
        HistoryReader reader(opener, *run.directory, run.clock.now);
        LocalTimeConverter converter(run.clock.isDst);
        for (std::size_t i = 0; i < run.config.lines.size(); ++i) {
            if (Stop stop = archive.countLine(run, i, converter)) return stop;
            readLine(run, i, reader, converter, archive);
        }
    }
    if (run.latest < run.earliest)
        return failure("No information for selected date period found.\n");
    run.days.finish();
    run.printable = run.book->finishEntries(s.keepAll);
    if (run.printable.links == 0 && (run.printable.groups == 0 || !s.group))
        return failure("No information for selected addresses found.\n");

    ReportFile out;
    // Only the text table is converted; JSON and CSV stay UTF-8.
    if (o.format == ReportFormat::text) {
        if (Stop stop = checkCharset(s.charset)) return stop;
        out.convertTo(s.charset);
    }
    const std::string path = expandFileMacros(o.outputPath, run.clock, run.err);
    if (path.empty()) {
        if (!out.useStream(standardOut, "standard output"))
            return failure(cantOpen("standard output", out.failure()));
    } else if (HistoryFiles(run.config.lines).holds(path)) {
        return failure(cantOpen(path, historyRefusal));
    } else if (!out.open(path, o.outputAppend)) {
        return failure(cantOpen(path, out.failure()));
    }
    const Report report = makeReport(run);
    switch (o.format) {
        case ReportFormat::text:
            writeTextReport(out.get(), report, drawingSet(o.ascii));
            break;
        case ReportFormat::json:
            writeJsonReport(out.get(), report);
            break;
        case ReportFormat::csv:
            writeCsvReport(out.get(), report, o.outputAppend && holdsText(path));
            break;
        case ReportFormat::html:
            writeHtmlReport(out.get(), report);
            break;
    }
    if (!closeReport(out, run.err)) return ExitRequest{exitFailure, {}};
    return std::nullopt;
}

}  // namespace rv::pondrel
