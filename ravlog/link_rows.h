// The rows of address entries: their line in the links statistic table
// and their chart row in the sessions history.
#pragma once

#include <cstdio>

#include "core/config_model.h"
#include "stats/address_book.h"

namespace rv {

// The table header; with the "Prot" column marker when a protected session was counted.
void writeLinkTableHeader(std::FILE* out, bool withProtected);

// One table row of an entry (groups without the protection mark).
void writeLinkTableRow(std::FILE* out, const AddrEntry& entry, bool asGroup);

// Address, chart row in glyphs and the value, received and sent texts.
void writeHistoryRow(std::FILE* out, const AddrEntry& entry, ShowValueMode showValue);

// The 15 columns right of a history row (exposed for tests).
std::string historyFigures(const AddrEntry& entry, ShowValueMode showValue);

}  // namespace rv
