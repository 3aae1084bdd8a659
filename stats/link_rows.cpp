#include "stats/link_rows.h"

namespace rv {

LinkRow linkRow(const AddrEntry& e) {
    LinkRow row;
    row.address = e.pattern;
    if (e.has(AddrFlags::kindMask)) row.kind = kindOfAddress(e.pattern);
    row.protectedSessions = e.has(AddrFlags::hasProtected);
    row.sessions = e.sessions;
    row.sessionsIn = e.sessionsIn;
    row.timeIn = e.timeIn;
    row.sessionsOut = e.sessionsOut;
    row.timeOut = e.timeOut;
    row.timeOnline = e.timeOnline;
    row.received = e.bytesReceived;
    row.sent = e.bytesSent;
    row.cps = cps(e);
    if (e.historyRow != nullptr) row.marks = e.historyRow->view();
    if (e.displayName != nullptr) row.label = *e.displayName;
    return row;
}

std::string_view kindName(const SessionKind& kind) {
    return trimmedCell(kind.displayText);
}

bool hasLinkTableRow(const AddrEntry& e, bool keepAll, std::uint16_t brakeSesStatMask) {
    if (e.has(AddrFlags::group) || !isPrintable(e, keepAll)) return false;
    const std::uint16_t kinds = e.flags & AddrFlags::kindMask;
    return kinds == 0 || (kinds & brakeSesStatMask) != 0;
}

bool hasGroupTableRow(const AddrEntry& e, bool keepAll) {
    return e.has(AddrFlags::group) && isPrintable(e, keepAll);
}

LinkTable linkTableOf(const AddrEntry& e, bool keepAll, bool group,
                      std::uint16_t brakeSesStatMask) {
    if (hasLinkTableRow(e, keepAll, brakeSesStatMask)) return LinkTable::links;
    if (group && hasGroupTableRow(e, keepAll)) return LinkTable::groups;
    return LinkTable::none;
}

LinkTables linkTables(const AddressBook& book, bool keepAll, bool group,
                      std::uint16_t brakeSesStatMask) {
    LinkTables tables;
    // Counted first, so that the rows of a book of tens of thousands of
    // entries take their room once and exactly.
    std::size_t links = 0;
    std::size_t groups = 0;
    const auto table = [&](const AddrEntry& e) -> std::vector<LinkRow>* {
        switch (linkTableOf(e, keepAll, group, brakeSesStatMask)) {
            case LinkTable::links:
                return &tables.links;
            case LinkTable::groups:
                return &tables.groups;
            case LinkTable::none:
                break;
        }
        return nullptr;
    };
    for (const AddrEntry& e : book.entries()) {
        const std::vector<LinkRow>* rows = table(e);
        links += rows == &tables.links;
        groups += rows == &tables.groups;
    }
    tables.links.reserve(links);
    tables.groups.reserve(groups);
    for (const AddrEntry& e : book.entries()) {
        if (std::vector<LinkRow>* rows = table(e)) rows->push_back(linkRow(e));
    }
    tables.groupTable = !tables.groups.empty();
    return tables;
}

AddressText linkAddressCell(const LinkRow& row, std::size_t width) {
    return formatAddress(row.address, width);
}

}  // namespace rv
