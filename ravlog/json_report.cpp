#include "ravlog/json_report.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/format.h"
#include "core/json_writer.h"
#include "stats/link_rows_json.h"

namespace rv::ravlog {

namespace {

const char* directionName(SessionDirection d) {
    return d == SessionDirection::in ? "in" : d == SessionDirection::out ? "out" : nullptr;
}

void putPeriod(JsonWriter& json, const PeriodView& period) {
    const PeriodBounds bounds = periodBounds(period);
    json.key("period").beginObject();
    json.key("start").time(&bounds.start);
    json.key("end").time(&bounds.end);
    json.endObject();
}

void putSlots(JsonWriter& json, std::string_view key, const SlotValues& values) {
    json.key(key).beginArray();
    for (std::uint64_t v : values)
        json.number(v);
    json.endArray();
}

// The slots' length, exact: 37.5 and 112.5 seconds in the 1- and 3-hour
// charts, whose slot i begins floor(i * slot_seconds) after the chart's
// start. The span follows, so that a reader need not multiply.
void putSlotLength(JsonWriter& json, const ChartLayout& layout) {
    const std::uint64_t span = chartSeconds(layout);
    json.key("slot_seconds").number(span / chartSlots);
    // Every span is whole hours, and 3600 / 96 leaves a half at most.
    if (span % chartSlots != 0) json.buffer().put(".5");
    json.key("chart_seconds").number(span);
}

// The figures under the line's table, with its times in and out.
void putLineTotals(JsonWriter& json, const LineTotals& t) {
    json.key("totals").beginObject();
    json.key("sessions").number(footerSessions(t));
    json.key("sessions_in").number(t.sessionsIn);
    json.key("sessions_out").number(t.sessionsOut);
    json.key("time_online").number(t.timeOnline);
    json.key("time_in").number(t.timeIn);
    json.key("time_out").number(t.timeOut);
    json.key("received").number(t.bytesReceived);
    json.key("sent").number(t.bytesSent);
    json.key("cps").number(cps(t));
    json.endObject();
}

}  // namespace

JsonReport::JsonReport() = default;

JsonReport::~JsonReport() {
    out_.reset();
    if (spool_) std::fclose(spool_);
}

bool JsonReport::open() {
    spool_ = std::tmpfile();
    if (!spool_) return false;
    out_ = std::make_unique<OutBuffer>(spool_);
    return true;
}

void JsonReport::beginLine(std::size_t line) {
    out_->flush();
    lines_.push_back({line, std::ftell(spool_), 0});
    firstRow_ = true;
}

void JsonReport::sessionRow(const SessionRow& row) {
    OutBuffer& out = *out_;
    if (!firstRow_) out.put(',');
    firstRow_ = false;
    out.put('\n');
    JsonWriter json(out);
    json.beginObject();
    json.key("start").time(&row.start);
    if (const char* direction = directionName(row.direction))
        json.key("direction").string(direction);
    else
        json.key("direction").null();
    json.key("address").string(trimmedCell(formatAddress(row.address, 15).view()));
    json.key("protected").boolean(row.protectedMark);
    json.key("aborted").boolean(row.abortedMark);
    json.key("duration").number(row.duration);
    json.key("received").number(row.received);
    json.key("sent").number(row.sent);
    json.key("cps").number(row.cps);
    json.endObject();
    out.maybeFlush();
}

void JsonReport::endLine() {
    out_->flush();
    lines_.back().end = std::ftell(spool_);
}

bool JsonReport::write(std::FILE* file, const Report& report, std::FILE* err) {
    out_->flush();
    errno = 0;
    if (std::fflush(spool_) != 0 || std::ferror(spool_)) {
        std::fprintf(err, "Can't write the JSON report's sessions to a temporary file: %s\n",
                     std::strerror(errno != 0 ? errno : EIO));
        return false;
    }
    OutBuffer out(file);
    JsonWriter json(out);
    json.beginObject();
    putPeriod(json, report.period);
    json.key("lines").beginArray(true);
    std::vector<char> block(1 << 16);
    bool copied = true;
    for (const Rows& rows : lines_) {
        const Line& line = *report.lines[rows.line].line;
        const LineResult& result = *report.lines[rows.line].result;
        json.beginObject();
        if (line.hasName)
            json.key("name").string(line.name);
        else
            json.key("name").null();
        json.key("history").string(result.history);
        json.key("type").number(number(result.type));
        putLineTotals(json, result.totals);
        json.key("busy").beginObject();
        putSlotLength(json, *report.layout);
        putSlots(json, "all", result.busy.all);
        putSlots(json, "incoming", result.busy.incoming);
        putSlots(json, "outgoing", result.busy.outgoing);
        json.endObject();
        // The busy charts the text report draws for the line, in its order.
        json.key("charts").beginArray();
        for (const ChartBlock& block : report.charts)
            if (block.line == rows.line) json.string(chartKindKey(block.kind));
        json.endArray();
        // The rows as spooled: a JSON array's elements, commas included.
        json.key("sessions").raw("[");
        copied = copied && std::fseek(spool_, rows.begin, SEEK_SET) == 0;
        for (long left = rows.end - rows.begin; copied && left > 0;) {
            const auto want =
                static_cast<std::size_t>(std::min<long>(left, static_cast<long>(block.size())));
            const std::size_t got = std::fread(block.data(), 1, want, spool_);
            if (got != want) copied = false;
            out.put(std::string_view(block.data(), got));
            left -= static_cast<long>(got);
        }
        out.put(rows.end > rows.begin ? "\n]" : "]");
        json.endObject();
    }
    json.endArray();
    putLinkRowsJson(json, "links", report.tables.links, 15);
    putLinkRowsJson(json, "groups", report.tables.groups, 15);
    json.key("totals").beginObject();
    putTotalsFields(json, report.totals.all);
    if (report.totals.showsProtection) {
        putTotalsJson(json, "protected", report.totals.protectedOnly);
        putTotalsJson(json, "unprotected", report.totals.unprotected);
    }
    json.endObject();
    // The lines the page names as not read, which have no entry in "lines".
    json.key("unread_lines").beginArray(true);
    for (const ReportLine& l : report.lines)
        if (!l.result->opened) putUnreadLineJson(json, *l.line, l.result->history, l.result->type);
    json.endArray();
    json.endObject();
    out.put('\n');
    if (!copied)
        std::fprintf(err, "Can't read back the JSON report's sessions from a temporary file\n");
    return copied;
}

}  // namespace rv::ravlog
