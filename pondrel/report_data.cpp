#include "pondrel/report_data.h"

#include "archive/day_archive.h"
#include "core/csv_writer.h"
#include "core/json_writer.h"
#include "stats/link_rows_csv.h"
#include "stats/link_rows_json.h"

namespace rv::pondrel {

namespace {

// The Address cell's width in pondrel's table, which the data repeats.
constexpr std::size_t addressWidth = 14;

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
    if (!continued) putLinkCsvHeader(csv);
    putLinkRowsCsv(csv, "link", report.tables.links, addressWidth);
    putLinkRowsCsv(csv, "group", report.tables.groups, addressWidth);
    putTotalsCsv(csv, report.totals);
}

}  // namespace rv::pondrel
