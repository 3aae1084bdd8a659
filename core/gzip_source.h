// A gzip file read as the bytes it holds, block by block through zlib:
// logrotate's compressed copies of a text log.
#pragma once

#include <memory>

#include "core/byte_source.h"

namespace rv {

// The inflated bytes of compressed; members after the first (gzip files
// may be concatenated) follow on. Damaged data is a read error; a file cut
// short ends where its bytes end.
std::unique_ptr<ByteSource> gzipSource(std::unique_ptr<ByteSource> compressed);

}  // namespace rv
