// The rows of the links and group tables that ravlog and pondrel write:
// which address entries have one and the figures of a row. Plain values,
// which the text, JSON and CSV writers render.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/fido_address.h"
#include "core/format.h"
#include "core/session_kind.h"
#include "stats/address_book.h"
#include "stats/line_stats.h"

namespace rv {

struct LinkRow {
    FidoAddress address;                // the entry's pattern; a kind entry holds its event key
    const SessionKind* kind = nullptr;  // the kind of a kind entry
    bool protectedSessions = false;     // a protected session was counted for it
    std::uint64_t sessions = 0;
    std::uint64_t sessionsIn = 0;
    std::uint64_t timeIn = 0;
    std::uint64_t sessionsOut = 0;
    std::uint64_t timeOut = 0;
    std::uint64_t timeOnline = 0;
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
    std::uint64_t cps = 0;
    // Views of the entry's own texts, so that tens of thousands of rows do
    // not copy them: valid while the address book lives.
    std::string_view marks;  // the time online over the window; empty when the run draws no charts
    std::string_view label;  // the entry's label in exactly 15 columns, or empty
};

LinkRow linkRow(const AddrEntry& entry);

// The kind entry's name ("Answer", "BBS", ...) as its data rows show it.
std::string_view kindName(const SessionKind& kind);

// A printable entry that is no group; a kind entry only when its kind is
// one BrakeSesStat lists.
bool hasLinkTableRow(const AddrEntry& entry, bool keepAll, std::uint16_t brakeSesStatMask);
// A printable group.
bool hasGroupTableRow(const AddrEntry& entry, bool keepAll);

// The table an entry has its row in: the links table before the group
// table, which takes rows only with GROUP on.
enum class LinkTable : std::uint8_t { none, links, groups };
LinkTable linkTableOf(const AddrEntry& entry, bool keepAll, bool group,
                      std::uint16_t brakeSesStatMask);

struct LinkTables {
    std::vector<LinkRow> links;
    bool groupTable = false;      // a group table is written (GROUP on, a group printable)
    std::vector<LinkRow> groups;  // its rows
};

LinkTables linkTables(const AddressBook& book, bool keepAll, bool group,
                      std::uint16_t brakeSesStatMask);

// The Address cell of a row in a table whose addresses take width columns.
AddressText linkAddressCell(const LinkRow& row, std::size_t width);

}  // namespace rv
