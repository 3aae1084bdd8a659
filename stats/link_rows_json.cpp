#include "stats/link_rows_json.h"

namespace rv {

std::string_view kindName(const SessionKind& kind) {
    return trimmedCell(kind.displayText);
}

void putLinkRowsJson(JsonWriter& json, std::string_view key, const std::vector<LinkRow>& rows,
                     std::size_t addressWidth) {
    json.key(key).beginArray(true);
    for (const LinkRow& row : rows) {
        json.beginObject();
        json.key("address").string(trimmedCell(linkAddressCell(row, addressWidth).view()));
        if (row.kind)
            json.key("kind").string(kindName(*row.kind));
        else
            json.key("kind").null();
        json.key("sessions_in").number(row.sessionsIn);
        json.key("time_in").number(row.timeIn);
        json.key("sessions_out").number(row.sessionsOut);
        json.key("time_out").number(row.timeOut);
        json.key("time_online").number(row.timeOnline);
        json.key("received").number(row.received);
        json.key("sent").number(row.sent);
        json.key("cps").number(row.cps);
        // What the page shows beside the figures, after them so that
        // readers of the older keys keep their order.
        if (row.label.empty())
            json.key("label").null();
        else
            json.key("label").string(trimmedCell(row.label));
        json.key("protected").boolean(row.protectedSessions);
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
    json.key("received").number(t.bytesReceived);
    json.key("sent").number(t.bytesSent);
    json.key("traffic").number(traffic(t));
    json.key("sessions_in").number(t.sessionsIn);
    json.key("sessions_out").number(t.sessionsOut);
    json.key("sessions").number(t.sessions);
    json.key("time_in").number(t.timeIn);
    json.key("time_out").number(t.timeOut);
    json.key("time_online").number(t.timeOnline);
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
