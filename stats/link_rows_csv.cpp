#include "stats/link_rows_csv.h"

#include "core/format.h"
#include "stats/link_columns.h"
#include "stats/link_rows_json.h"

namespace rv {

void putLinkCsvHeader(CsvWriter& csv) {
    csv.text("section");
    for (const LinkColumnDef& column : linkColumns)
        if (column.inCsv) csv.text(column.key);
    csv.endRecord();
}

void putLinkRowsCsv(CsvWriter& csv, std::string_view section, const std::vector<LinkRow>& rows,
                    std::size_t addressWidth) {
    for (const LinkRow& row : rows) {
        csv.text(section);
        for (const LinkColumnDef& column : linkColumns) {
            if (!column.inCsv) continue;
            switch (column.value) {
                case LinkValue::address:
                    csv.text(trimmedCell(linkAddressCell(row, addressWidth).view()));
                    break;
                case LinkValue::kind:
                    if (row.kind)
                        csv.text(kindName(*row.kind));
                    else
                        csv.empty();
                    break;
                case LinkValue::count:
                case LinkValue::seconds:
                case LinkValue::bytes:
                case LinkValue::bytesPerSecond:
                    csv.number(row.*column.figure);
                    break;
                case LinkValue::label:
                    csv.text(trimmedCell(row.label));
                    break;
                case LinkValue::protection:
                    csv.boolean(row.protectedSessions);
                    break;
            }
        }
        csv.endRecord();
        csv.buffer().maybeFlush();
    }
}

void putTotalsCsv(CsvWriter& csv, const TrafficCounters& totals) {
    csv.text("total");
    for (const LinkColumnDef& column : linkColumns) {
        if (!column.inCsv) continue;
        if (column.total)
            csv.number(totals.*column.total);
        else
            csv.empty();
    }
    csv.endRecord();
}

}  // namespace rv
