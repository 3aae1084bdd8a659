// A log and the copies logrotate keeps beside it, read as one stream:
// NAME.N ... NAME.2.gz, NAME.1 (numbered copies, compressed or not, for as
// long as they follow on) or, with logrotate's dateext, NAME-YYYYMMDD[.gz]
// by date; then NAME itself.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/byte_source.h"
#include "core/file_directory.h"

namespace rv {

struct LogFile {
    std::string path;
    bool compressed = false;  // read through gzip
};

// At most this many copies are looked for beside a log.
inline constexpr std::size_t maxRotatedCopies = 1000;

// The files of the log at path, oldest first, path itself last (also when
// it is missing: logrotate's nocreate leaves none until binkd writes).
// The numbered copies are taken when NAME.1 or NAME.1.gz exists, the dated
// ones otherwise; a copy present both plain and compressed (gzip caught in
// the middle of its work) is read plain.
std::vector<LogFile> logFilesOldestFirst(const std::string& path, FileDirectory& directory);

// The bytes of one of them, inflated when compressed; nullptr when it
// cannot be opened (opener.failure() tells why).
std::unique_ptr<ByteSource> openLogFile(const LogFile& file, SourceOpener& opener);

}  // namespace rv
