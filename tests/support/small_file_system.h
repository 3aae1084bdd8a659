// A small file system that a test fills: a tmpfs mounted in a mount
// namespace of the test process, which leaves the system's alone.
#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <string>

namespace rv::testing {

// Mounts a tmpfs of the size given (as mount's size= takes it, "12k") on
// a new directory at path; false where none can be (root only).
inline bool mountSmallFileSystem(const std::string& path, const std::string& size) {
    return ::mkdir(path.c_str(), 0755) == 0 && ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("tmpfs", path.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
}

}  // namespace rv::testing
