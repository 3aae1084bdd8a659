// The configuration reader with each program's rule set. The first byte
// picks the program (ravlog, pondrel, brimsel) and which settings the
// command line has fixed; the rest is the configuration text. A text that
// reads cleanly then builds the address entries the statistics walk, and
// its names, paths and labels are written as JSON strings, CSV fields,
// the text of an HTML page and into a text report in CP866.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brimsel/brimsel_run.h"
#include "core/byte_source.h"
#include "core/code_page_encoder.h"
#include "core/config_reader.h"
#include "core/csv_writer.h"
#include "core/dates.h"
#include "core/html_page.h"
#include "core/json_writer.h"
#include "core/utf8_text.h"
#include "fuzz_support.h"
#include "stats/address_book.h"
#include "stats/chart_layout.h"

namespace rv::fuzz {
namespace {

FixedByOptions fixedFrom(std::uint8_t bits) {
    using K = Keyword;
    const std::pair<K, int> fixable[] = {
        {K::output, 0x01},     {K::pondrel, 0x01},       {K::sessionStat, 0x01}, {K::date, 0x02},
        {K::time, 0x04},       {K::busyHist, 0x08},      {K::group, 0x10},       {K::keepAll, 0x10},
        {K::noDrawZero, 0x20}, {K::protectSummary, 0x20}};
    FixedByOptions f;
    for (auto [keyword, bit] : fixable)
        f.set(keyword, (bits & bit) != 0);
    return f;
}

// A text from the configuration as the data reports write it: a JSON
// string that is valid UTF-8 with no raw control character and no quote
// left unescaped, and a CSV field that is valid UTF-8, quoted whenever it
// must be, its quotes doubled.
// The text on an HTML page: valid UTF-8 that closes no element and opens
// none, every '&' the start of one of the five escapes, and no control
// character but a tab or a line end.
void checkPageText(std::string_view text) {
    char* bytes = nullptr;
    std::size_t length = 0;
    std::FILE* memory = open_memstream(&bytes, &length);
    if (!memory) return;
    {
        OutBuffer out(memory);
        putHtmlText(out, text);
    }
    std::fclose(memory);
    const std::string page(bytes, length);
    std::free(bytes);
    if (!isValidUtf8(page) || page.find_first_of("<>\"'\x7F") != std::string::npos) std::abort();
    for (std::size_t i = 0; i < page.size(); ++i) {
        const auto c = static_cast<unsigned char>(page[i]);
        if (c < 0x20 && c != '\t' && c != '\n') std::abort();
        if (c == 0xC2 && i + 1 < page.size() && static_cast<unsigned char>(page[i + 1]) < 0xA0)
            std::abort();
        if (c != '&') continue;
        const std::string_view rest = std::string_view(page).substr(i);
        bool escape = false;
        for (std::string_view e : {"&amp;", "&lt;", "&gt;", "&quot;", "&#39;"})
            escape = escape || rest.substr(0, e.size()) == e;
        if (!escape) std::abort();
    }
}

void checkDataText(std::string_view text) {
    checkPageText(text);
    const std::string json = jsonString(text);
    if (json.size() < 2 || json.front() != '"' || json.back() != '"' || !isValidUtf8(json))
        std::abort();
    for (std::size_t i = 1; i + 1 < json.size(); ++i) {
        const auto c = static_cast<unsigned char>(json[i]);
        if (c < 0x20) std::abort();
        if (c == '\\')
            ++i;  // the escaped character
        else if (c == '"')
            std::abort();
    }
    const std::string field = csvField(text);
    if (!isValidUtf8(field)) std::abort();
    if (field.find_first_of(",\"\r\n") == std::string::npos) return;
    if (field.size() < 2 || field.front() != '"' || field.back() != '"') std::abort();
    for (std::size_t i = 1; i + 1 < field.size(); ++i)
        if (field[i] == '"' && field[++i] != '"') std::abort();
}

// The characters of a text and the broken pieces of UTF-8 that the data
// reports replace.
std::size_t columnsOf(std::string_view text) {
    std::size_t characters = 0;
    for (char c : validUtf8(text))
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return characters;
}

// In a code page each of those is one byte, and the width a text is
// padded by counts each: a padded cell keeps its width.
void checkCodePageText(std::string_view text, std::size_t width) {
    static const std::unique_ptr<CodePageEncoder> encoder = CodePageEncoder::open(Charset::cp866);
    if (!encoder) std::abort();
    std::size_t written = 0;
    for (std::string_view rest = text; !rest.empty();)
        written += encoder->next(rest).size();
    written += encoder->finish().size();
    if (written != columnsOf(text) || width != written) std::abort();
}

}  // namespace
}  // namespace rv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rv;
    using namespace rv::fuzz;
    const std::time_t now = prepareClock();
    InputCursor in(data, size);
    const std::uint8_t selector = in.byte();
    auto text = memorySource(in.rest(), in.restSize());

    if (selector % 3 == 2) {
        brimsel::DumpSettings settings;
        const Stop stop = brimsel::readConfig(*text, settings, now);
        checkStop(stop);
        if (!stop) {
            for (const Line& line : settings.config.lines)
                if (line.source.path.empty() || line.timeShift == timeShiftUnset) std::abort();
        }
        return 0;
    }

    const RunClock clock = makeRunClock(now);
    ConfigContext context;
    context.program = selector % 3 == 0 ? Program::ravlog : Program::pondrel;
    context.fixed = fixedFrom(static_cast<std::uint8_t>(selector / 3));
    context.clock = &clock;
    context.warnings = sink();
    Configuration config;
    const Stop stop = readConfig(*text, config, context);
    checkStop(stop);
    if (stop) return 0;
    for (const Line& line : config.lines) {
        checkDataText(line.name);
        checkDataText(line.source.path);
        checkCodePageText(line.name, line.nameWidth);
    }
    for (const AddrSpec& addrSpec : config.addresses) {
        checkDataText(addrSpec.displayName);
        checkCodePageText(addrSpec.displayName, addrSpec.displayName.empty() ? 0 : 15);
    }
    const ReportPeriod period =
        computePeriod(config.settings.reportDate, config.settings.timeWindow);
    const ChartLayout& layout = chooseChartLayout(static_cast<unsigned>(period.windowHours));
    AddressBook book(config.addresses, context.program == Program::ravlog ? &layout : nullptr);
    book.finishEntries(config.settings.keepAll);
    return 0;
}
