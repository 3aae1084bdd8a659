// histgen: writes history files for tests, the demo and the benchmarks.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/dates.h"
#include "core/history_reader.h"
#include "core/time_text.h"
#include "tools/binkd_text_log.h"
#include "tools/bulk_links.h"
#include "tools/history_writer.h"
#include "tools/node_history.h"
#include "tools/prng.h"
#include "tools/record_list.h"
#include "tools/rotated_log_files.h"

namespace {

using namespace rv;
using namespace rv::histgen;

constexpr const char* helpText =
    "Usage:\n"
    "  histgen write --type N --out FILE [LIST]\n"
    "      Writes the records of a record list (the file LIST, or standard input\n"
    "      when LIST is absent or \"-\") as a history of type N (1 to 8).\n"
    "  histgen node --dir DIR --days N --seed S [--end YYYY-MM-DD]\n"
    "      Writes a seeded imitation of a node's histories into DIR: binkd.his\n"
    "      (type 3, History binkd.his,2,1), plain28.his (2), long100.his (1),\n"
    "      brake.his (4), pair116.ohs/.ihs (5), status64.his (6), wide316.his (7)\n"
    "      and dated104.ohs/.ihs (8), N days ending with --end (default:\n"
    "      yesterday). The same seed and end date give the same files.\n"
    "  histgen node ... --binkd-log NAME [--rotate K] [--rotate-days P] [--rotate-form F]\n"
    "      Also writes the sessions of binkd.his as binkd's text log DIR/NAME,\n"
    "      rotated as with bulk --type log below.\n"
    "  histgen bulk --type N --records COUNT --out FILE [--start YYYY-MM-DD]\n"
    "               [--span-days D] [--seed S] [--links L]\n"
    "      Writes COUNT sessions of type N spread over D days (default 365) from\n"
    "      --start (default 2024-01-01), for benchmarks. Each session has an\n"
    "      address of its own; with --links, the sessions are those of a node\n"
    "      with L links, a few of them busy and most of them quiet.\n"
    "  histgen bulk --type log ... [--rotate K] [--rotate-days P]\n"
    "               [--rotate-form numbered|gzip|dateext|dateext-gzip]\n"
    "      Writes the same sessions as binkd 1.1a's text log at loglevel 4 into\n"
    "      FILE, sessions that overlap interleaved under their own process ids.\n"
    "      With --rotate, FILE is rotated every P days (default 7) at 06:25 and\n"
    "      the K newest copies are kept: FILE.1, FILE.2.gz, ... (gzip, the\n"
    "      default), FILE.1, FILE.2, ... (numbered) or FILE-YYYYMMDD[.gz]\n"
    "      (dateext, dateext-gzip), named after the day of the rotation; the\n"
    "      newest copy is never gzipped. A line's time is the sessions' wall\n"
    "      clock; a file's modification time is its last line's, taken in the\n"
    "      zone of TZ, and a gzipped copy's that of the rotation that\n"
    "      compressed it.\n"
    "\n"
    "Record list: one record per line; '#' starts a comment.\n"
    "  2:5020/100.0 2024-03-05T10:15:00 dur=60 rcvd=1000 sent=2048 flags=0x0d cost=3\n"
    "      a session: address zone:net/node[.point], start time, then any of\n"
    "      dur rcvd sent flags cost spare (decimal or 0x hex), status (type 6\n"
    "      status word, type 8 status byte), kind (type 7 record kind), and for\n"
    "      type 4 rcvd=a+b+c sent=a+b+c (the three counters).\n"
    "  ANSWER 2024-03-05T10:00:00 dur=30\n"
    "      a The Brake! event: ANSWER, DIAL, TERMINAL, BBS or EXTERNAL (type 4).\n"
    "  SKIP 254 2024-03-05T10:00:00\n"
    "      a record the readers skip: type 4 code (7, 254 or another code above 6)\n"
    "      or type 7 kind (not 0 or 9).\n"
    "  DUMMY 2024-03-05T00:00:00\n"
    "      the first record of a type 8 file, which the readers drop.\n"
    "  HEADER 2024-03-05T00:00:00\n"
    "      the time in the type 4 file header (default: the first record's).\n"
    "  Times are YYYY-MM-DDTHH:MM[:SS] or plain seconds since 1970, in the\n"
    "  history's own clock: seconds since 1970 as UTC for the 32-bit formats,\n"
    "  the calendar fields themselves for type 8.\n";

int usageError(const std::string& text) {
    std::fprintf(stderr, "histgen: %s\nUse histgen --help for the syntax.\n", text.c_str());
    return 2;
}

// --key value pairs and the remaining words.
struct Arguments {
    std::map<std::string, std::string, std::less<>> values;
    std::vector<std::string> words;
};

std::optional<Arguments> splitArguments(int argc, char** argv, int first,
                                        std::initializer_list<std::string_view> keys,
                                        std::string& error) {
    Arguments args;
    for (int i = first; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg.size() > 2 && arg.substr(0, 2) == "--") {
            bool known = false;
            for (std::string_view k : keys)
                known = known || k == arg.substr(2);
            if (!known || i + 1 >= argc) {
                error = known ? "missing value for " + std::string(arg)
                              : "unknown option " + std::string(arg);
                return std::nullopt;
            }
            args.values[std::string(arg.substr(2))] = argv[++i];
        } else {
            args.words.emplace_back(arg);
        }
    }
    return args;
}

std::optional<std::uint32_t> numberOption(const Arguments& args, const char* key) {
    auto it = args.values.find(key);
    if (it == args.values.end()) return std::nullopt;
    return parseNumber(it->second);
}

bool readAll(std::FILE* in, std::string& out) {
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0)
        out.append(chunk, got);
    return !std::ferror(in);
}

bool isPairName(std::string_view name) {
    if (name.size() < 4 || name[name.size() - 4] != '.') return false;
    const char c = static_cast<char>(name[name.size() - 3] | 0x20);
    const char h = static_cast<char>(name[name.size() - 2] | 0x20);
    const char s = static_cast<char>(name[name.size() - 1] | 0x20);
    return (c == 'i' || c == 'o') && h == 'h' && s == 's';
}

// Tells when the readers would take the file for another type than asked:
// the record list may well have meant that, but it should not go unnoticed.
void noteDetectedType(const std::string& path, HistoryType type, const Bytes& bytes) {
    const HistoryType parsed =
        type == HistoryType::binkd ? HistoryType::binkd : HistoryType::plain28;
    const Detection d = detectHistoryType(bytes, parsed, isPairName(path));
    if (d.type != type)
        std::fprintf(stderr, "histgen: note: the readers take %s for type %u, not %u\n",
                     path.c_str(), number(d.type), number(type));
}

// The binary format --type names, if it names one: the text log is
// written by its own path (--type log, node --binkd-log).
std::optional<HistoryType> typeOption(const Arguments& args) {
    const auto n = numberOption(args, "type");
    const std::optional<HistoryType> type = n ? historyTypeNumbered(*n) : std::nullopt;
    if (type && formatOf(*type).layout == RecordLayout::lines) return std::nullopt;
    return type;
}
std::string typeRange() {
    std::size_t binary = 0;
    for (const HistoryFormat& f : historyFormats)
        if (f.layout != RecordLayout::lines) ++binary;
    return "1.." + std::to_string(binary);
}

int writeMode(int argc, char** argv) {
    std::string error;
    auto args = splitArguments(argc, argv, 2, {"type", "out"}, error);
    if (!args) return usageError(error);
    const auto type = typeOption(*args);
    if (!type) return usageError("--type " + typeRange() + " is required");
    if (!args->values.count("out")) return usageError("--out FILE is required");
    if (args->words.size() > 1) return usageError("at most one record list");
    std::string text;
    const std::string listPath = args->words.empty() ? "-" : args->words[0];
    std::FILE* in = listPath == "-" ? stdin : std::fopen(listPath.c_str(), "rb");
    if (!in) return usageError("cannot open " + listPath);
    const bool ok = readAll(in, text);
    if (in != stdin) std::fclose(in);
    if (!ok) return usageError("cannot read " + listPath);

    HistoryWriter writer(*type);
    if (auto listError = writeRecordList(text, writer)) {
        std::fprintf(stderr, "histgen: %s, line %d: %s\n", listPath.c_str(), listError->line,
                     listError->message.c_str());
        return 1;
    }
    // Without a HEADER line a The Brake! file carries its first record's time.
    writer.defaultBrakeHeaderToFirstRecord();
    const std::string& out = args->values["out"];
    if (!writeFile(out, writer.bytes())) {
        std::fprintf(stderr, "histgen: cannot write %s\n", out.c_str());
        return 1;
    }
    noteDetectedType(out, *type, writer.bytes());
    return 0;
}

std::optional<std::int64_t> parseDay(std::string_view text) {
    auto t = parseTime(text);
    if (!t || text.size() != 10) return std::nullopt;
    return *t / 86400;
}

std::int64_t yesterday() {
    const std::tm now = localBreakdown(std::time(nullptr));
    return daysFromCivil(now.tm_year + 1900, static_cast<unsigned>(now.tm_mon + 1),
                         static_cast<unsigned>(now.tm_mday)) -
           1;
}

struct RotatedFormName {
    const char* name;
    RotatedForm form;
};
constexpr RotatedFormName rotatedForms[] = {{"numbered", RotatedForm::numbered},
                                            {"gzip", RotatedForm::numberedGzip},
                                            {"dateext", RotatedForm::dated},
                                            {"dateext-gzip", RotatedForm::datedGzip}};

constexpr std::array<std::string_view, 3> rotationKeys{"rotate", "rotate-days", "rotate-form"};

bool rotationGiven(const Arguments& args) {
    for (std::string_view key : rotationKeys)
        if (args.values.count(key)) return true;
    return false;
}

// The rotation options as a plan for the log at path; an error text when
// one is off.
std::optional<RotationPlan> rotationPlan(const Arguments& args, const std::string& path,
                                         std::string& error) {
    RotationPlan plan;
    plan.path = path;
    auto copies = numberOption(args, "rotate");
    auto days = numberOption(args, "rotate-days");
    if ((args.values.count("rotate") && !copies) ||
        (args.values.count("rotate-days") && (!days || *days < 1))) {
        error = "--rotate and --rotate-days want a number (days at least 1)";
        return std::nullopt;
    }
    plan.copies = copies.value_or(0);
    plan.periodDays = days.value_or(7);
    if (auto form = args.values.find("rotate-form"); form != args.values.end()) {
        const auto* it =
            std::find_if(std::begin(rotatedForms), std::end(rotatedForms),
                         [&](const RotatedFormName& f) { return form->second == f.name; });
        if (it == std::end(rotatedForms)) {
            error = "--rotate-form is numbered, gzip, dateext or dateext-gzip";
            return std::nullopt;
        }
        plan.form = it->form;
    }
    return plan;
}

// Sessions as binkd's text log, rotated as the plan says: next(r) gives
// them in start order, false after the last.
template <typename NextSession>
int writeTextLog(RotationPlan plan, std::uint32_t start, std::uint32_t end, std::uint64_t seed,
                 NextSession next) {
    RotatedLogFiles files(std::move(plan), start, end);
    BinkdTextLog log(files, seed ^ 0x62696E6B64ull);  // its own numbers: "binkd"
    log.start(start);
    SessionRecord r;
    while (next(r))
        log.session(r);
    log.finish();
    if (!files.finish()) {
        std::fprintf(stderr, "histgen: cannot write %s\n", files.failedPath().c_str());
        return 1;
    }
    return 0;
}

int nodeMode(int argc, char** argv) {
    std::string error;
    auto args = splitArguments(
        argc, argv, 2,
        {"dir", "days", "seed", "end", "binkd-log", "rotate", "rotate-days", "rotate-form"}, error);
    if (!args) return usageError(error);
    if (!args->words.empty()) return usageError("unexpected " + args->words[0]);
    auto days = numberOption(*args, "days");
    auto seed = numberOption(*args, "seed");
    if (!args->values.count("dir") || !days || *days < 1 || *days > 3660 || !seed)
        return usageError("node needs --dir DIR --days N (1..3660) --seed S");
    NodeOptions options;
    options.days = static_cast<int>(*days);
    options.seed = *seed;
    options.endDay = yesterday();
    if (args->values.count("end")) {
        auto end = parseDay(args->values["end"]);
        if (!end) return usageError("--end wants YYYY-MM-DD");
        options.endDay = *end;
    }
    if (options.endDay - options.days + 1 < 7671)  // 1991-01-01: the formats' time floor
        return usageError("the history would start before 1991");
    const std::string dir = args->values["dir"];
    const auto logName = args->values.find("binkd-log");
    if (rotationGiven(*args) && logName == args->values.end())
        return usageError("--rotate is for --binkd-log");
    std::optional<RotationPlan> plan;
    if (logName != args->values.end()) {
        plan = rotationPlan(*args, dir + "/" + logName->second, error);
        if (!plan) return usageError(error);
    }
    for (const GeneratedFile& file : generateNode(options)) {
        const std::string path = dir + "/" + file.name;
        if (!writeFile(path, file.bytes)) {
            std::fprintf(stderr, "histgen: cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%-14s type %u  %6zu records  %8zu bytes\n", file.name.c_str(),
                    number(file.type), file.sessions, file.bytes.size());
    }
    if (!plan) return 0;
    const std::vector<SessionRecord> sessions = binkdLineSessions(options);
    const auto start = static_cast<std::uint32_t>((options.endDay - options.days + 1) * 86400);
    const auto end = static_cast<std::uint32_t>((options.endDay + 1) * 86400);
    std::size_t at = 0;
    return writeTextLog(std::move(*plan), start, end, options.seed, [&](SessionRecord& r) {
        if (at == sessions.size()) return false;
        r = sessions[at++];
        return true;
    });
}

int bulkMode(int argc, char** argv) {
    std::string error;
    auto args = splitArguments(argc, argv, 2,
                               {"type", "records", "out", "start", "span-days", "seed", "links",
                                "rotate", "rotate-days", "rotate-form"},
                               error);
    if (!args) return usageError(error);
    if (!args->words.empty()) return usageError("unexpected " + args->words[0]);
    const bool textLog = args->values["type"] == "log";
    const auto type = textLog ? std::optional<HistoryType>(HistoryType::none) : typeOption(*args);
    auto records = numberOption(*args, "records");
    if (!type || !records || !args->values.count("out"))
        return usageError("bulk needs --type " + typeRange() + "|log --records COUNT --out FILE");
    std::int64_t startDay = 19723;  // 2024-01-01
    if (args->values.count("start")) {
        auto day = parseDay(args->values["start"]);
        if (!day) return usageError("--start wants YYYY-MM-DD");
        startDay = *day;
    }
    const std::uint32_t spanDays = numberOption(*args, "span-days").value_or(365);
    if (spanDays < 1) return usageError("--span-days must be at least 1");
    const std::uint32_t linkCount = numberOption(*args, "links").value_or(0);
    if (args->values.count("links") && (linkCount < 1 || linkCount > maxBulkLinks))
        return usageError("--links must be 1.." + std::to_string(maxBulkLinks));
    const std::uint64_t seed = numberOption(*args, "seed").value_or(1);
    Prng prng(seed);
    const std::optional<BulkLinks> links =
        linkCount ? std::optional<BulkLinks>(BulkLinks(linkCount, prng)) : std::nullopt;

    const std::string& out = args->values["out"];
    const auto start = static_cast<std::uint32_t>(startDay * 86400);
    const std::uint64_t span = std::uint64_t{spanDays} * 86400;
    if (rotationGiven(*args) && !textLog) return usageError("--rotate is for --type log");
    if (textLog) {
        auto plan = rotationPlan(*args, out, error);
        if (!plan) return usageError(error);
        std::uint32_t i = 0;
        return writeTextLog(std::move(*plan), start, static_cast<std::uint32_t>(start + span), seed,
                            [&](SessionRecord& r) {
                                if (i == *records) return false;
                                r = bulkSession(prng, links, start, span, i++, *records);
                                return true;
                            });
    }

    std::FILE* f = std::fopen(out.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "histgen: cannot write %s\n", out.c_str());
        return 1;
    }
    const HistoryType htype = *type;
    HistoryWriter writer(htype, start + 1);
    if (htype == HistoryType::dated104) writer.datedDummy(start);
    bool ok = true;
    for (std::uint32_t i = 0; i < *records && ok; ++i) {
        SessionRecord r = bulkSession(prng, links, start, span, i, *records);
        // Readers before the 316-byte test read offset 8 took such a file
        // for 28-byte records when the first start time was 0 to 39
        // modulo 256; the files stay as they were generated then.
        if (i == 0 && htype == HistoryType::wide316 && r.startTime % 256 < 40) r.startTime += 40;
        writer.session(r);
        if (writer.bytes().size() >= (1u << 20)) {
            ok = writeBytes(f, writer.bytes());
            writer.clear();
        }
    }
    ok = ok && writeBytes(f, writer.bytes());
    if (std::fclose(f) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "histgen: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view mode = argc > 1 ? argv[1] : "";
    if (mode == "write") return writeMode(argc, argv);
    if (mode == "node") return nodeMode(argc, argv);
    if (mode == "bulk") return bulkMode(argc, argv);
    if (mode == "--help" || mode == "-h" || mode == "help") {
        std::fputs(helpText, stdout);
        return 0;
    }
    std::fputs(helpText, stderr);
    return 2;
}
