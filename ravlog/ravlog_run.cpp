#include "ravlog/ravlog_run.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include "archive/archive_file.h"
#include "core/config_reader.h"
#include "core/file_identity.h"
#include "core/file_macros.h"
#include "core/format.h"
#include "core/history_reader.h"
#include "core/program_main.h"
#include "core/program_options.h"
#include "core/program_text.h"
#include "core/safe_open.h"
#include "core/time_text.h"
#include "ravlog/collect.h"
#include "ravlog/cut/history_cut.h"
#include "ravlog/html_report.h"
#include "ravlog/report_model.h"
#include "ravlog/report_period.h"
#include "ravlog/reports.h"
#include "ravlog/sessions_report.h"

namespace rv::ravlog {

namespace {

std::string cantWriteArchive(const std::string& path, std::string_view reason) {
    return format("Can't write archive %s: %.*s\n", path.c_str(), static_cast<int>(reason.size()),
                  reason.data());
}

// Whether the line's history will read as binkd's text log, which is
// never written: detection as its reading will make it.
bool readsAsTextLog(const Run& run, const Line& line, SourceOpener& opener) {
    if (!run.config.settings.supportNewFormat) return false;
    std::uint8_t head[detectionBytes] = {};
    std::size_t have = 0;
    if (std::unique_ptr<ByteSource> source = opener.openHistory(line.source.path))
        have = readUpTo(*source, head, sizeof head);
    return detectHistory({head, have}, line.source, opener, *run.directory).type ==
           HistoryType::textLog;
}

// The other files the run may write, the histories to cut and the
// archive, looked at with the reports: none is reached through another
// user's link (a text log, never written, aside), and the archive is a
// file of its own, no history.
Stop checkWrittenFiles(const Run& run, const HistoryFiles& histories, SourceOpener& opener) {
    for (const Line& line : run.config.lines)
        if (line.cutHistory != 0 && !readsAsTextLog(run, line, opener))
            if (std::string why = linkRefusal(line.source.path); !why.empty())
                return failure(cantOpen(line.source.path, why));
    const std::string& archive = run.config.settings.archivePath;
    if (archive.empty()) return std::nullopt;
    if (histories.holds(archive)) return failure(cantWriteArchive(archive, historyRefusal));
    if (std::string why = archiveFileRefusal(archive, DayArchive::Access::write); !why.empty())
        return failure(cantWriteArchive(archive, why));
    return std::nullopt;
}

// Every output of the run is opened before any report is written or any
// history read, let alone cut: an output that cannot be opened ends the
// run with no file changed. Reserved outputs that are never written are
// let go at the end as they were found (ReportFile::reserve). No output
// may be a history the run reads.
Stop reserveReports(Run& run, SourceOpener& opener) {
    const Settings& s = run.config.settings;
    const HistoryFiles histories(run.config.lines);
    if (Stop stop = checkWrittenFiles(run, histories, opener)) return stop;
    struct Output {
        ReportFile& file;
        const std::string& path;
        bool append;
        bool whole;
    };
    const Output outputs[] = {
        {run.sessionsFile, s.sessionsPath, s.sessionsAppend, false},
        {run.linksFile, s.linksPath, s.linksAppend, false},
        {run.historyFile, s.outputPath, s.outputAppend, false},
        {run.jsonFile, s.jsonReportPath, false, true},
        {run.htmlFile, s.htmlReportPath, false, true},
    };
    for (const Output& o : outputs) {
        if (o.path.empty()) continue;  // no JSON or HTML report asked for
        const std::string name = expandFileMacros(o.path, run.clock, run.err);
        if (histories.holds(name)) return failure(cantOpen(name, historyRefusal));
        if (!(o.whole ? o.file.reserveWhole(name) : o.file.reserve(name, o.append)))
            return failure(cantOpen(name, o.file.failure()));
    }
    return std::nullopt;
}

Stop startReport(ReportFile& file) {
    if (!file.start()) return failure(cantOpen(file.name(), file.failure()));
    return std::nullopt;
}

Stop readConfiguration(Run& run, SourceOpener& opener) {
    auto text = opener.open(run.config.settings.configPath);
    if (!text) return failure(cantOpen(run.config.settings.configPath, opener.failure()));
    ConfigContext context;
    context.program = Program::ravlog;
    context.fixed = run.options.fixed;
    context.clock = &run.clock;
    context.warnings = run.err;
    return readConfig(*text, run.config, context);
}

}  // namespace

Stop runRavlog(Run& run, const std::vector<std::string_view>& args, SourceOpener& opener) {
    Settings& s = run.config.settings;
    s.reportDate = run.clock.midnight;
    if (Stop stop = parseOptions(args, run.config, run.options, run.clock, run.err)) return stop;
    if (Stop stop = readConfiguration(run, opener)) return stop;

    applySwitchOptions(run.options, s);
    if (Stop stop = checkCharset(s.charset)) return stop;
    // The three text reports are converted; the JSON and HTML reports stay UTF-8.
    for (ReportFile* file : {&run.sessionsFile, &run.linksFile, &run.historyFile})
        file->convertTo(s.charset);
    run.period = computePeriod(s.reportDate, s.timeWindow);
    run.layout = &chooseChartLayout(static_cast<unsigned>(run.period.windowHours));
    run.book = std::make_unique<AddressBook>(run.config.addresses, run.layout);
    run.lines.assign(run.config.lines.size(), LineResult{});
    const PeriodView period = periodView(run);

    if (Stop stop = reserveReports(run, opener)) return stop;
    if (!s.jsonReportPath.empty()) {
        run.json = std::make_unique<JsonReport>();
        if (!run.json->open())
            return failure(format("Can't open a temporary file for the JSON report: %s\n",
                                  std::strerror(errno)));
    }
    if (Stop stop = startReport(run.sessionsFile)) return stop;
    writeSessionsBanner(run.sessionsFile.get());
    writePeriodHeader(run.sessionsFile.get(), period);
    {
        HistoryReader reader(opener, *run.directory, run.clock.now);
        HistoryCutter cutter(run.out, run.err, run.cutProbe);
        LocalTimeConverter converter(run.clock.isDst);
        // With an archive every line's days are gathered while it is read
        // for the reports, committed after the last one, and only then are
        // the histories cut.
        std::optional<ArchiveRecording> archive;
        if (!s.archivePath.empty()) archive.emplace(run, opener);
        for (std::size_t i = 0; i < run.config.lines.size(); ++i)
            collectLine(run, i, reader, cutter, converter, archive ? &*archive : nullptr);
        if (archive) {
            const bool recorded = archive->finish();
            const std::string reason = archive->failure();
            archive.reset();  // the archive closed before any cut
            if (!recorded) {
                std::fputs(cantWriteArchive(s.archivePath, reason).c_str(), run.err);
                run.archiveFailed = true;
            } else {
                for (std::size_t i = 0; i < run.config.lines.size(); ++i)
                    cutLine(run, i, reader, cutter, converter);
            }
        }
    }
    writeSessionsFooter(run.sessionsFile.get(), creationTimeText(std::time(nullptr)));
    // A report that could not be written is told at once; the others are
    // still tried, and the run ends with status 255.
    const bool sessionsWritten = closeReport(run.sessionsFile, run.err);

    run.printable = run.book->finishEntries(s.keepAll);
    if (run.printable.links == 0 && (run.printable.groups == 0 || !s.group))
        return failure(
            "No information for selected addresses found. Links/Groups history and statistic were "
            "not "
            "created.\n");

    for (ReportFile* file : {&run.linksFile, &run.historyFile, &run.jsonFile, &run.htmlFile}) {
        if (!file->reserved()) continue;  // no JSON or HTML report asked for
        if (Stop stop = startReport(*file)) return stop;
    }
    const Report report = makeReport(run);
    writeLinkAndHistoryReports(run.linksFile.get(), run.historyFile.get(), report);
    bool htmlWritten = true;
    if (run.htmlFile) {
        writeHtmlReport(run.htmlFile.get(), report);
        htmlWritten = closeReport(run.htmlFile, run.err);
    }
    bool jsonWritten = true;
    if (run.json) {
        jsonWritten = run.json->write(run.jsonFile.get(), report, run.err);
        if (jsonWritten)
            jsonWritten = closeReport(run.jsonFile, run.err);
        else
            run.jsonFile.abandon();
    }
    const bool linksWritten = closeReport(run.linksFile, run.err);
    const bool historyWritten = closeReport(run.historyFile, run.err);
    if (!sessionsWritten || !linksWritten || !historyWritten || !jsonWritten || !htmlWritten ||
        run.archiveFailed)
        return ExitRequest{exitFailure, {}};
    return std::nullopt;
}

int ravlogMain(int argc, char** argv, CutProbe* cutProbe) {
    ReportFile standardOut;
    ExitRequest ending = runShell(argc, argv, [&](const ProgramArgs& args) -> Stop {
        if (!standardOut.useStream(stdout, "standard output"))
            return failure(cantOpen("standard output", standardOut.failure()));
        if (!bannerLeftOut(args)) writeBanner(standardOut.get());
        Run run(std::time(nullptr), standardOut.get());
        run.cutProbe = cutProbe;
        FileOpener opener;
        return runRavlog(run, args, opener);
    });
    // The usage text follows the banner through the same checked stream.
    if (ending.status == 0 && standardOut) {
        std::fputs(ending.message.c_str(), standardOut.get());
        ending.message.clear();
    }
    const bool written = closeReport(standardOut, stderr);
    const int status = finishRun(ending);
    return written ? status : exitFailure;
}

}  // namespace rv::ravlog
