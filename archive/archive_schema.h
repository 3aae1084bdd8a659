// The archive's schema as ravlog creates it, and the check that an
// existing file holds exactly that: the tables, their columns and keys,
// and nothing else (no view, no trigger, no index of its own), so that
// every statement the archive runs reads plain rows by their keys.
#pragma once

#include <string>

struct sqlite3;

namespace rv {

// The CREATE statements that bring an archive of the given version (0 for
// a new file) up to the current one.
std::string archiveTablesAfter(int version);

// Empty when the database's schema is exactly that of an archive of the
// version (1 to archiveVersion); otherwise what differs, for the run's message.
[[nodiscard]] std::string checkArchiveSchema(sqlite3* db, int version);

}  // namespace rv
