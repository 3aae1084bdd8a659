#include "stats/link_rows_json.h"

#include "stats/link_columns.h"

namespace rv {

void putLinkRowsJson(JsonWriter& json, std::string_view key, const std::vector<LinkRow>& rows,
                     std::size_t addressWidth) {
    json.key(key).beginArray(true);
    for (const LinkRow& row : rows) {
        json.beginObject();
        for (const LinkColumnDef& column : linkColumns) {
            json.key(column.key);
            putLinkCell(json, column, row, addressWidth);
        }
        json.endObject();
    }
    json.endArray();
}

void putTotalsJson(JsonWriter& json, std::string_view key, const TrafficCounters& t) {
    json.key(key).beginObject();
    putTotalsFields(json, t);
    json.endObject();
}

void putTotalsFields(JsonWriter& json, const TrafficCounters& t) {
    for (std::size_t figure = 0; figure < totalsFigures.front().size(); ++figure)
        for (const auto& row : totalsFigures)
            json.key(row[figure].key).number(row[figure].of(t));
}

void putLineNameFields(JsonWriter& json, const Line& line, std::string_view history) {
    if (line.hasName)
        json.key("name").string(line.name);
    else
        json.key("name").null();
    json.key("history").string(history);
}

void putUnreadLineJson(JsonWriter& json, const Line& line, std::string_view history,
                       HistoryType type) {
    json.beginObject();
    putLineNameFields(json, line, history);
    json.key("type").number(number(type));
    json.endObject();
}

}  // namespace rv
