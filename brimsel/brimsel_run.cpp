#include "brimsel/brimsel_run.h"

#include "core/config_reader.h"
#include "core/cut_journal.h"
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

const char* const usageText =
    "Usage:  brimsel [<options>...]\n"
    "\n"
    "options:\n"
    "\t-c<ctl_file>            Select Ravlog config file (default: ravlog.ctl)\n"
    "\t-h<history>[,n[,m]]     Add history file to processing (append 'History' to config file)\n"
    "\t-u[+|-]                 -u+  UTF8 output (default)\n"
    "\t                        -u-  ASCII output\n"
    "\t                        -u   as -u+\n"
    "\t-?, --help              This help\n";

void writeBanner(std::FILE* out) {
    rv::writeBanner(out, "Brimsel", "History Dump for T-Mail, BinkD, Argus, The Brake!, Bink/+,");
}

Stop parseOptions(const std::vector<std::string_view>& args, DumpSettings& settings) {
    for (std::string_view arg : args) {
        if (!isOptionArgument(arg)) return unknownOption(arg);
        Stop stop;
        if (parseSharedOption(arg, settings.config, usageText, stop)) {
            if (stop) return stop;
            continue;
        }
        if (arg[1] != 'u' || !readDrawingOption(arg.substr(2), settings.ascii))
            return unknownOption(arg);
    }
    return std::nullopt;
}

Stop readConfig(ByteSource& config, DumpSettings& settings, std::time_t now) {
    const RunClock clock = makeRunClock(now);
    ConfigContext context;
    context.program = Program::brimsel;
    context.clock = &clock;
    return rv::readConfig(config, settings.config, context);
}

namespace {

struct TableStyle {
    std::string_view head;
    std::string_view foot;
    std::string_view bar;
};

const TableStyle utf8Style{
    "┌─────────────────┬──────────────────────────┬───────┬────────┬────────┬──────┐\n"
    "│     Address     │      Date of Session     │Time(s)│Received│  Sent  │ PNOI │\n"
    "├─────────────────┼──────────────────────────┼───────┼────────┼────────┼──────┤\n",
    "└─────────────────┴──────────────────────────┴───────┴────────┴────────┴──────┘\n"
    "           Protected session; not used in BinkD and some other mailers ──┘│││\n"
    "           Normal (non-aborted) session; not used in BinkD ───────────────┘││\n"
    "                                          Outgoing session ────────────────┘│\n"
    "                                          Incoming session ─────────────────┘\n",
    "│"};

const TableStyle asciiStyle{
    "+-----------------------------------------------------------------------------+\n"
    "|     Address     |      Date of Session     |Time(s)|Received|  Sent  | PNOI |\n"
    "|-----------------+--------------------------+-------+--------+--------+------|\n",
    "+-----------------------------------------------------------------------------+\n"
    "           Protected session; not used in BinkD and some other mailers __||||\n"
    "           Normal (non-aborted) session; not used in BinkD _______________|||\n"
    "                                          Outgoing session ________________||\n"
    "                                          Incoming session _________________|\n",
    "|"};

void writeRow(OutBuffer& out, const TableStyle& style, const SessionRecord& r,
              std::uint16_t direction, std::int16_t timeShift) {
    const std::uint16_t flags = r.flags | direction;
    std::int64_t t = static_cast<std::int32_t>(r.startTime);
    if (timeShift != 0) t += std::int64_t{timeShift} * 3600;
    std::tm tm{};
    out.put(style.bar);
    out.put(' ');
    out.put(formatAddress(r.address, 15).view());
    out.put(' ');
    out.put(style.bar);
    out.put(' ');
    if (breakDownUtc(t, tm))
        out.put(asctimeText(tm).data());
    else
        out.put(unreadableTimeText);
    out.put(' ');
    out.put(style.bar);
    out.put(' ');
    out.putUnsigned(r.duration, 5);
    out.put(' ');
    out.put(style.bar);
    out.put(' ');
    out.put(formatTraffic(r.bytesReceived, true).view());
    out.put(' ');
    out.put(style.bar);
    out.put(' ');
    out.put(formatTraffic(r.bytesSent, true).view());
    out.put(' ');
    out.put(style.bar);
    out.put(' ');
    out.put((flags & SessionFlags::protectedSession) ? '1' : '0');
    out.put((flags & SessionFlags::normal) ? '1' : '0');
    out.put((flags & SessionFlags::outgoing) ? '1' : '0');
    out.put((flags & SessionFlags::incoming) ? '1' : '0');
    out.put(' ');
    out.put(style.bar);
    out.put('\n');
    out.maybeFlush();
}

void dumpFile(HistoryReader& reader, const Line& line, const TableStyle& style, OutBuffer& out) {
    out.put("\nFile: ");
    out.put(line.source.path);
    out.put('\n');
    out.put(style.head);
    SessionRecord record;
    while (reader.readSession(record))
        writeRow(out, style, record, reader.direction(), line.timeShift);
    out.put(style.foot);
    reader.close();
}

}  // namespace

Stop dumpLines(DumpSettings& settings, SourceOpener& opener, std::FILE* out, std::FILE* err) {
    const TableStyle& style = settings.ascii ? asciiStyle : utf8Style;
    HistoryReader reader(opener);
    ReportFile output;
    output.useStream(out, "standard output");
    std::size_t read = 0;
    {
        OutBuffer buffer(output.get());
        // The tables so far go out before a message, so that both keep
        // their order where they meet.
        auto cantOpenHistory = [&](const Line& line) {
            buffer.flush();
            std::fflush(output.get());
            std::fputs(cantOpen(line.source.path, reader.openFailure()).c_str(), err);
        };
        for (Line& line : settings.config.lines) {
            buffer.flush();
            std::fflush(output.get());
            warnPendingCut(line.source.path, err);
            if (!reader.openHistory(line.source, settings.config.settings.supportNewFormat)) {
                cantOpenHistory(line);
                continue;
            }
            ++read;
            dumpFile(reader, line, style, buffer);
            // The twin's table comes after the first file's, under its own heading.
            switch (reader.openTwin(line.source)) {
                case HistoryReader::Twin::opened:
                    dumpFile(reader, line, style, buffer);
                    break;
                case HistoryReader::Twin::failed:
                    cantOpenHistory(line);
                    break;
                case HistoryReader::Twin::none:
                    break;
            }
        }
    }
    const bool written = closeReport(output, err);
    // A dump of nothing, because no history could be read, is no success.
    if (!written || read == 0) return ExitRequest{exitFailure, {}};
    return std::nullopt;
}

Stop runBrimsel(DumpSettings& settings, const std::vector<std::string_view>& args,
                SourceOpener& opener, std::time_t now, std::FILE* out, std::FILE* err) {
    writeBanner(out);
    if (Stop stop = parseOptions(args, settings)) return stop;
    const std::string& configPath = settings.config.settings.configPath;
    auto config = opener.open(configPath);
    if (!config) return failure(cantOpen(configPath, opener.failure()));
    if (Stop stop = readConfig(*config, settings, now)) return stop;
    config.reset();
    return dumpLines(settings, opener, out, err);
}

}  // namespace rv::brimsel
