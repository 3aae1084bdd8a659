// Accounting one selected session of a line in ravlog (pondrel tallies
// through the address book alone): the address entries take it, and the
// line's totals count it when the walk ends on a plain entry.
#pragma once

#include "core/history_type.h"
#include "core/session_record.h"
#include "stats/address_book.h"
#include "stats/line_stats.h"

namespace rv {

// session.flags must carry the settled direction.
inline MatchResult accountSession(AddressBook& book, LineTotals& totals,
                                  const SessionRecord& session, const MatchContext& context,
                                  HistoryType type) {
    const MatchResult match = book.matchSession(session, context);
    if (match.end == WalkEnd::plainEntry)
        addToLineTotals(totals, session, context.zeroDuration, type);
    return match;
}

}  // namespace rv
