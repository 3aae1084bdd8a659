#include "core/file_identity.h"

#include <sys/stat.h>

#include <algorithm>

namespace rv {

std::optional<FileIdentity> identityOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino};
}

HistoryFiles::HistoryFiles(const std::vector<Line>& lines) {
    for (const Line& line : lines) {
        HistorySource twin = line.source;
        swapPairLetter(twin);
        for (const std::string& path : {line.source.path, twin.path})
            if (const std::optional<FileIdentity> file = identityOf(path)) files_.push_back(*file);
    }
}

bool HistoryFiles::holds(const std::string& path) const {
    const std::optional<FileIdentity> file = identityOf(path);
    return file && std::find(files_.begin(), files_.end(), *file) != files_.end();
}

}  // namespace rv
