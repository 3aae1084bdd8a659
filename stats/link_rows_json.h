// The links and group rows and the totals of ravlog's and pondrel's JSON
// reports: the same keys in both programs.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "core/config_model.h"
#include "core/json_writer.h"
#include "stats/link_rows.h"

namespace rv {

// key: [rows...], each row an object; addressWidth is the Address cell's
// width in the program's text table. A row ends with its label (null
// without one) and whether a protected session was counted for it.
void putLinkRowsJson(JsonWriter& json, std::string_view key, const std::vector<LinkRow>& rows,
                     std::size_t addressWidth);

// The keys received, sent, traffic, sessions_in, sessions_out, sessions,
// time_in, time_out and time_online of an open object.
void putTotalsFields(JsonWriter& json, const TrafficCounters& totals);
// key: {those keys}.
void putTotalsJson(JsonWriter& json, std::string_view key, const TrafficCounters& totals);

// A line's name (null without one) and history as configured, as the
// keys name and history of an open object.
void putLineNameFields(JsonWriter& json, const Line& line, std::string_view history);
// One element of "unread_lines": a line whose history could not be read,
// as {name, history, type} with the history as configured.
void putUnreadLineJson(JsonWriter& json, const Line& line, std::string_view history,
                       HistoryType type);

}  // namespace rv
