#include "stats/link_rows_csv.h"

#include "core/format.h"
#include "stats/link_columns.h"

namespace rv {

namespace {

// JsonWriter's calls for putLinkCell, as CSV fields; null is an empty one.
struct CsvCells {
    CsvWriter& csv;
    void string(std::string_view text) { csv.text(text); }
    void null() { csv.empty(); }
    void number(std::uint64_t figure) { csv.number(figure); }
    void boolean(bool flag) { csv.boolean(flag); }
};

}  // namespace

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
        CsvCells cells{csv};
        for (const LinkColumnDef& column : linkColumns)
            if (column.inCsv) putLinkCell(cells, column, row, addressWidth);
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
