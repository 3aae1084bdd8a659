#include "core/rotated_files.h"

#include <algorithm>
#include <string_view>

#include "core/gzip_source.h"

namespace rv {

namespace {

constexpr std::string_view gzipSuffix = ".gz";

// The copy of path with the given ending, plain or compressed, when it exists.
bool findCopy(const std::string& plain, FileDirectory& directory, std::vector<LogFile>& out) {
    if (directory.modificationTime(plain)) {
        out.push_back({plain, false});
        return true;
    }
    const std::string compressed = plain + std::string(gzipSuffix);
    if (directory.modificationTime(compressed)) {
        out.push_back({compressed, true});
        return true;
    }
    return false;
}

// "-YYYYMMDD" with nothing or ".gz" after it: logrotate's default dateformat.
bool isDateEnding(std::string_view rest) {
    if (rest.size() >= gzipSuffix.size() &&
        rest.substr(rest.size() - gzipSuffix.size()) == gzipSuffix)
        rest.remove_suffix(gzipSuffix.size());
    return rest.size() == 9 && rest[0] == '-' &&
           std::all_of(rest.begin() + 1, rest.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::vector<LogFile> logFilesOldestFirst(const std::string& path, FileDirectory& directory) {
    std::vector<LogFile> newestFirst;
    for (std::size_t n = 1; n <= maxRotatedCopies; ++n)
        if (!findCopy(path + "." + std::to_string(n), directory, newestFirst)) break;

    if (newestFirst.empty()) {
        const std::size_t slash = path.rfind('/');
        const std::string dir = slash == std::string::npos ? std::string()
                                : slash == 0               ? std::string("/")
                                                           : path.substr(0, slash);
        const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
        std::vector<std::string> names =
            directory.namesStartingWith(dir, base + "-", 2 * maxRotatedCopies);
        names.erase(
            std::remove_if(names.begin(), names.end(),
                           [&](const std::string& name) {
                               return !isDateEnding(std::string_view(name).substr(base.size()));
                           }),
            names.end());
        // By date, newest first; of a date's two names the plain one
        // (shorter) comes first and stands for both.
        const auto dateOf = [&](const std::string& name) {
            return std::string_view(name).substr(0, base.size() + 9);
        };
        std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
            return dateOf(a) != dateOf(b) ? dateOf(a) > dateOf(b) : a.size() < b.size();
        });
        const std::string lead = path.substr(0, slash == std::string::npos ? 0 : slash + 1);
        std::string_view lastDate;
        for (const std::string& name : names) {
            const std::string_view date = dateOf(name);
            if (date == lastDate) continue;
            lastDate = date;
            newestFirst.push_back({lead + name, name.size() > date.size()});
            if (newestFirst.size() == maxRotatedCopies) break;
        }
    }
    std::vector<LogFile> files(newestFirst.rbegin(), newestFirst.rend());
    files.push_back({path, false});
    return files;
}

std::unique_ptr<ByteSource> openLogFile(const LogFile& file, SourceOpener& opener) {
    std::unique_ptr<ByteSource> source = opener.open(file.path);
    if (!source || !file.compressed) return source;
    return gzipSource(std::move(source));
}

}  // namespace rv
