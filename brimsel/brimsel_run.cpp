#include "brimsel/brimsel_run.h"

#include <cerrno>
#include <cstring>

#include "brimsel/dump_writers.h"
#include "core/config_reader.h"
#include "core/cut_journal.h"
#include "core/drawing_set.h"
#include "core/format.h"
#include "core/history_reader.h"
#include "core/local_clock.h"
#include "core/out_buffer.h"
#include "core/program_options.h"
#include "core/program_text.h"
#include "core/report_file.h"
#include "core/text_scan.h"
#include "core/time_text.h"

namespace rv::brimsel {

namespace {

Stop readConfig(ByteSource& config, DumpSettings& settings, const RunClock& clock) {
    ConfigContext context;
    context.program = Program::brimsel;
    context.fixed = settings.fixed;
    context.clock = &clock;
    return rv::readConfig(config, settings.config, context);
}

}  // namespace

Stop readConfig(ByteSource& config, DumpSettings& settings, std::time_t now) {
    return readConfig(config, settings, makeRunClock(now));
}

namespace {

void dumpFile(HistoryReader& reader, const Line& line, DumpFilter& filter, DumpWriter& writer) {
    writer.beginFile(line.source.path, reader.type());
    DumpRow row;
    row.file = line.source.path;
    row.type = reader.type();
    const LineDirectionRules rules{line.swapInOut != 0, row.type, line.source.n, line.source.m,
                                   line.binkdAbortedOut != 0};
    SessionRecord record;
    if (!filter.active()) {
        while (reader.readSession(record)) {
            fillDumpRow(row, record, reader.direction(), line.timeShift, rules);
            writer.row(row);
        }
        writer.endFile();
    } else {
        filter.beginLine(line.timeShift);
        std::uint64_t total = 0;
        std::uint64_t shown = 0;
        while (reader.readSession(record)) {
            ++total;
            if (!filter.shows(record)) continue;
            ++shown;
            fillDumpRow(row, record, reader.direction(), line.timeShift, rules);
            writer.row(row);
        }
        writer.endFile();
        writer.shownCount(shown, total);
    }
    reader.close();
}

}  // namespace

Stop dumpLines(DumpSettings& settings, SourceOpener& opener, std::FILE* out, std::FILE* err) {
    HistoryReader reader(opener, *settings.directory, settings.now);
    ReportFile output;
    // Only the text dump is converted; JSON and CSV stay UTF-8.
    if (settings.format == ReportFormat::text) output.convertTo(settings.config.settings.charset);
    if (!output.useStream(out, "standard output"))
        return failure(cantOpen("standard output", std::strerror(errno)));
    std::size_t read = 0;
    {
        const std::unique_ptr<DumpWriter> writer =
            makeDumpWriter(settings.format, drawingSet(settings.ascii), output.get());
        // What was dumped so far goes out before a message, so that both
        // keep their order where they meet.
        const auto flush = [&] {
            writer->flush();
            std::fflush(output.get());
        };
        const auto cantOpenHistory = [&](const Line& line) {
            flush();
            std::fputs(cantOpen(line.source.path, reader.openFailure()).c_str(), err);
        };
        for (Line& line : settings.config.lines) {
            flush();
            if (!reader.openHistory(line.source, settings.config.settings.supportNewFormat)) {
                cantOpenHistory(line);
                continue;
            }
            // Only once the history is open: a cut that is running holds
            // it, and its journal is no interrupted one.
            warnPendingCut(line.source.path, err);
            ++read;
            // The twin's records come after the first file's, under its own name.
            if (!reader.readWithTwin(line.source,
                                     [&] { dumpFile(reader, line, settings.filter, *writer); }))
                cantOpenHistory(line);
        }
    }
    const bool written = closeReport(output, err);
    // A dump of nothing, because no history could be read, is no success.
    if (!written || read == 0) return ExitRequest{exitFailure, {}};
    return std::nullopt;
}

Stop runBrimsel(DumpSettings& settings, const std::vector<std::string_view>& args,
                SourceOpener& opener, std::time_t now, std::FILE* out, std::FILE* err) {
    // The banner comes first either way; options only choose where it goes.
    const Stop options = parseOptions(args, settings);
    if (!bannerLeftOut(args)) writeBanner(settings.format == ReportFormat::text ? out : err);
    if (options) return options;
    const RunClock clock = makeRunClock(now);
    settings.now = now;
    if (Stop stop = DumpFilter::make(settings.filterOptions, clock, err, settings.filter))
        return stop;
    const std::string& configPath = settings.config.settings.configPath;
    auto config = opener.open(configPath);
    if (!config) return failure(cantOpen(configPath, opener.failure()));
    if (Stop stop = readConfig(*config, settings, clock)) return stop;
    config.reset();
    if (settings.format == ReportFormat::text) {
        if (Stop stop = checkCharset(settings.config.settings.charset)) return stop;
    }
    return dumpLines(settings, opener, out, err);
}

}  // namespace rv::brimsel
