#include "core/file_directory.h"

#include <dirent.h>
#include <sys/stat.h>

namespace rv {

std::vector<std::string> SystemDirectory::namesStartingWith(const std::string& dir,
                                                            std::string_view prefix,
                                                            std::size_t limit) {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return names;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name.substr(0, prefix.size()) == prefix && names.size() < limit)
            names.emplace_back(name);
    }
    ::closedir(d);
    return names;
}

std::optional<std::int64_t> SystemDirectory::modificationTime(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<std::int64_t>(st.st_mtime);
}

std::vector<std::string> MemoryDirectory::namesStartingWith(const std::string& dir,
                                                            std::string_view prefix,
                                                            std::size_t limit) {
    std::vector<std::string> names;
    const std::string lead = dir.empty() ? std::string() : dir + "/";
    for (const auto& [path, modified] : files_) {
        if (path.compare(0, lead.size(), lead) != 0) continue;
        const std::string_view name = std::string_view(path).substr(lead.size());
        if (name.find('/') == std::string_view::npos && name.substr(0, prefix.size()) == prefix &&
            names.size() < limit)
            names.emplace_back(name);
    }
    return names;
}

std::optional<std::int64_t> MemoryDirectory::modificationTime(const std::string& path) {
    auto it = files_.find(path);
    if (it == files_.end()) return std::nullopt;
    return it->second;
}

}  // namespace rv
