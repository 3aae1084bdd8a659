// What a directory holds, to tell whether a run changed anything in it.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>

#include "run_program.h"

namespace rv::testing {

// Every file, link and directory under dir (but the captured streams):
// mode, group, size, and a file's modification time and bytes.
inline std::map<std::string, std::string> snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
        const std::string name = std::filesystem::relative(e.path(), dir).string();
        struct stat st {};
        if (name == ".stdout" || name == ".stderr" || ::lstat(e.path().c_str(), &st) != 0) continue;
        std::string& entry = files[name];
        entry = std::to_string(st.st_mode) + " " + std::to_string(st.st_gid) + " " +
                std::to_string(st.st_size);
        if (S_ISREG(st.st_mode))
            entry += " " + std::to_string(st.st_mtim.tv_sec) + "." +
                     std::to_string(st.st_mtim.tv_nsec) + " " + slurp(e.path().string());
    }
    return files;
}

}  // namespace rv::testing
