#include "core/safe_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace rv {

namespace {

enum class Name : std::uint8_t { plain, ownLink, foreignLink };

Name lookAt(const char* path) {
    struct stat st {};
    if (::lstat(path, &st) != 0 || !S_ISLNK(st.st_mode)) return Name::plain;
    return st.st_uid == ::geteuid() || st.st_uid == 0 ? Name::ownLink : Name::foreignLink;
}

constexpr const char* foreignLink = "a link owned by another user";

// The directories on the way to the file: each prefix up to a slash.
std::string directoryRefusal(const std::string& path) {
    std::string prefix;
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        if (path[slash - 1] == '/') continue;  // a doubled slash names no new directory
        prefix.assign(path, 0, slash);
        if (lookAt(prefix.c_str()) == Name::foreignLink) return prefix + " is " + foreignLink;
    }
    return {};
}

}  // namespace

std::string linkRefusal(const std::string& path) {
    std::string why = directoryRefusal(path);
    if (why.empty() && lookAt(path.c_str()) == Name::foreignLink) why = foreignLink;
    return why;
}

int openToWrite(const std::string& path, int flags, mode_t mode, std::string& refusal) {
    refusal = directoryRefusal(path);
    if (!refusal.empty()) return -1;
    // A second look when a link took the name between the look and the open.
    for (int look = 0; look < 2; ++look) {
        const Name name = lookAt(path.c_str());
        if (name == Name::foreignLink) {
            refusal = foreignLink;
            return -1;
        }
        const int fd = ::open(path.c_str(), name == Name::plain ? flags | O_NOFOLLOW : flags, mode);
        if (fd >= 0 || errno != ELOOP || name != Name::plain) return fd;
    }
    return -1;
}

}  // namespace rv
