#include "archive/history_name.h"

namespace rv {

std::string archivedHistoryName(std::string_view path) {
    const bool rooted = !path.empty() && path.front() == '/';
    std::string name(rooted ? 1 : 0, '/');
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (name.size() > (rooted ? 1u : 0u)) name.push_back('/');
        name.append(part.data(), part.size());
    }
    if (name.empty()) name.push_back('.');
    return name;
}

}  // namespace rv
