#include "pondrel/report_data.h"

#include "archive/day_archive.h"
#include "core/csv_writer.h"
#include "core/json_writer.h"
#include "stats/link_rows_json.h"
#include "stats/link_table_text.h"

namespace rv::pondrel {

namespace {

// The Address cell's width in pondrel's table, which the data repeats.
constexpr std::size_t addressWidth = 14;

void putCsvRows(CsvWriter& csv, const char* section, const std::vector<LinkRow>& rows) {
    for (const LinkRow& row : rows) {
        csv.text(section);
        csv.text(trimmedCell(linkAddressCell(row, addressWidth).view()));
        if (row.kind)
            csv.text(kindName(*row.kind));
        else
            csv.empty();
        csv.number(row.sessionsIn);
        csv.number(row.timeIn);
        csv.number(row.sessionsOut);
        csv.number(row.timeOut);
        csv.number(row.timeOnline);
        csv.number(row.received);
        csv.number(row.sent);
        csv.number(row.cps);
        csv.endRecord();
        csv.buffer().maybeFlush();
    }
}

}  // namespace

void writeJsonReport(std::FILE* file, const Report& report) {
    OutBuffer out(file);
    JsonWriter json(out);
    json.beginObject();
    json.key("from").time(&report.from);
    json.key("to").time(&report.to);
    putLinkRowsJson(json, "links", report.tables.links, addressWidth);
    putLinkRowsJson(json, "groups", report.tables.groups, addressWidth);
    putTotalsJson(json, "totals", report.totals);
    json.key("unread_lines").beginArray(true);
    for (const Line* line : report.unreadLines)
        putUnreadLineJson(json, *line, line->source.path, line->source.type);
    json.endArray();
    if (report.archive) {
        const ArchiveUse& use = *report.archive;
        json.key("archive").beginObject();
        json.key("file").string(*use.file);
        json.key("found").boolean(use.found);
        json.key("lines").beginArray(true);
        for (const ArchiveUse::LineDays& l : use.lines) {
            json.beginObject();
            putLineNameFields(json, *l.line, *l.history);
            json.key("days").beginArray();
            for (const DayRun& run : l.days) {
                json.beginObject();
                json.key("first").string(dayText(run.first));
                json.key("last").string(dayText(run.last));
                json.endObject();
            }
            json.endArray();
            json.endObject();
        }
        json.endArray();
        json.endObject();
    }
    // Last, so that the keys before keep their places.
    json.key("days").beginArray(true);
    for (const ReportDay& day : report.days) {
        json.beginObject();
        json.key("date").string(dayText(day.day));
        putTotalsFields(json, day.totals);
        json.endObject();
    }
    json.endArray();
    json.endObject();
    out.put('\n');
}

void writeCsvReport(std::FILE* file, const Report& report, bool continued) {
    OutBuffer out(file);
    CsvWriter csv(out);
    if (!continued) {
        for (const char* name :
             {"section", "address", "kind", "sessions_in", "time_in", "sessions_out", "time_out",
              "time_online", "received", "sent", "cps"})
            csv.text(name);
        csv.endRecord();
    }
    putCsvRows(csv, "link", report.tables.links);
    putCsvRows(csv, "group", report.tables.groups);
    const TrafficCounters& t = report.totals;
    csv.text("total");
    csv.empty();
    csv.empty();
    csv.number(t.sessionsIn);
    csv.number(t.timeIn);
    csv.number(t.sessionsOut);
    csv.number(t.timeOut);
    csv.number(t.timeOnline);
    csv.number(t.bytesReceived);
    csv.number(t.bytesSent);
    csv.empty();
    csv.endRecord();
}

}  // namespace rv::pondrel
