// The archive's file, looked at before SQLite opens it. The archive is a
// file of its own: a regular file (or, for writing, none yet), and so are
// the files SQLite keeps beside it; to be written, it is reached through
// no link of another user (core/safe_open.h). A FIFO would hang the open,
// a device would get a journal created beside it in /dev.
#pragma once

#include <string>

#include "archive/day_archive.h"

namespace rv {

// Why the archive at path cannot be used so, for "Can't read archive" or
// "Can't write archive"; empty when it can. Never blocks, changes nothing.
[[nodiscard]] std::string archiveFileRefusal(const std::string& path, DayArchive::Access access);

}  // namespace rv
