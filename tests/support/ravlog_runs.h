// Helpers of the ravlog end-to-end tests: histories written from record
// lists and the built program run in a scratch directory. Whole reports
// are expected outputs (tests/expected), not assembled here.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "history_files.h"
#include "report_texts.h"
#include "run_program.h"
#include "same_text.h"
#include "scratch_dir.h"
#include "tools/history_writer.h"
#include "tools/record_list.h"

namespace rv::testing {

inline const std::string ravlogPath = builtProgram("ravlog");

inline ProgramResult ravlog(const ScratchDir& dir, const std::vector<std::string>& args,
                            const std::string& zone = "UTC") {
    return runProgram(ravlogPath, args, dir.path(), {"TZ=" + zone});
}

inline bool exists(const ScratchDir& dir, const std::string& name) {
    return std::filesystem::exists(dir.file(name));
}

// Whether the machine has the zone's rules (a missing zone would silently be UTC).
inline bool hasZoneData(const std::string& zone) {
    if (zone == "UTC") return true;
    for (const char* root :
         {"/usr/share/zoneinfo/", "/usr/lib/zoneinfo/", "/usr/share/lib/zoneinfo/"})
        if (std::filesystem::exists(root + zone)) return true;
    return false;
}

}  // namespace rv::testing
