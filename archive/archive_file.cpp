#include "archive/archive_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/safe_open.h"

namespace rv {

namespace {

// What a file that is no regular one is, for the operator.
const char* kindOf(mode_t mode) {
    switch (mode & S_IFMT) {
        case S_IFDIR:
            return "a directory";
        case S_IFIFO:
            return "a FIFO";
        case S_IFCHR:
        case S_IFBLK:
            return "a device";
        case S_IFSOCK:
            return "a socket";
        default:
            return "a special file";
    }
}

std::string notRegular(mode_t mode) {
    return std::string(kindOf(mode)) + ", not a regular file";
}

// SQLite names its files after the file a link leads to, and opens none
// of them through a link.
std::string companionRefusal(const std::string& path) {
    struct stat st {};
    char resolved[PATH_MAX];
    const bool linked = ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
                        ::realpath(path.c_str(), resolved);
    const std::string base = linked ? resolved : path;
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const std::string name = base + suffix;
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0) continue;
        if (S_ISLNK(st.st_mode)) return name + " is a symbolic link";
        if (!S_ISREG(st.st_mode)) return name + " is " + notRegular(st.st_mode);
    }
    return {};
}

}  // namespace

std::string archiveFileRefusal(const std::string& path, DayArchive::Access access) {
    if (access == DayArchive::Access::write)
        if (std::string why = linkRefusal(path); !why.empty()) return why;
    // Looked at, not opened: a FIFO without a writer would hold the open.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT || access == DayArchive::Access::read) return std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        return notRegular(st.st_mode);
    }
    return companionRefusal(path);
}

}  // namespace rv
