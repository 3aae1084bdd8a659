// The name a line is known by in the day archive: its history's path as
// configured, written one way. "./binkd.his", "logs//binkd.his" and
// "binkd.his" name one file, so they name one line.
#pragma once

#include <string>
#include <string_view>

namespace rv {

// The path with its "." components dropped and its runs of slashes
// written as one (a trailing slash goes too); ".." is kept, for a symbolic
// link may stand before it. "." when nothing else is left.
std::string archivedHistoryName(std::string_view path);

}  // namespace rv
