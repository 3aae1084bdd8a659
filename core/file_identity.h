// Which file a name stands for, however it is spelled: "plain28.his",
// "./plain28.his", a hard link or a symbolic link to it are one file, told
// by its device and inode. A run never writes an output over a file it
// reads as a history.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/config_model.h"

namespace rv {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The file path names, links followed; none when there is no such file.
std::optional<FileIdentity> identityOf(const std::string& path);

// The reason an output is refused when it is one of them.
inline constexpr std::string_view historyRefusal = "a history the run reads";

// The files the run reads as histories: every line's history and the twin
// of a pair, as they are when it is made.
class HistoryFiles {
  public:
    explicit HistoryFiles(const std::vector<Line>& lines);
    // Whether path names one of them (a file not there yet names none).
    bool holds(const std::string& path) const;

  private:
    std::vector<FileIdentity> files_;
};

}  // namespace rv
