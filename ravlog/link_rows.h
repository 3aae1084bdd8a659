// The rows of address entries in ravlog's reports: their line in the
// links statistic table and their chart row in the sessions history.
#pragma once

#include <cstdio>
#include <string>

#include "core/config_model.h"
#include "core/out_buffer.h"
#include "ravlog/report_model.h"
#include "stats/address_book.h"

namespace rv {

// The table header; with the "Prot" column marker when a protected session was counted.
void writeLinkTableHeader(std::FILE* out, bool withProtected);

// Address, chart row in glyphs and the value, received and sent texts.
void putHistoryRow(OutBuffer& out, const HistoryItem& item, ShowValueMode showValue);

// The 15 columns right of a history row.
std::string historyFigures(const LinkRow& row, ShowValueMode showValue);

// An entry's table row (groups without the protection mark), history row
// and history figures, for the tests.
void writeLinkTableRow(std::FILE* out, const AddrEntry& entry, bool asGroup);
void writeHistoryRow(std::FILE* out, const AddrEntry& entry, ShowValueMode showValue);
std::string historyFigures(const AddrEntry& entry, ShowValueMode showValue);

}  // namespace rv
