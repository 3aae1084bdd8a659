// binkd text logs for tests: the case files of tests/data/binkd_log/ and
// the memory opener and directory a reader takes them from. A case file
// holds, after its '#' comments, steps that begin with "@@":
//
//   @@ file NAME YYYY-MM-DDTHH:MM:SS [unterminated]   the lines after it are the
//                                  file NAME, modified then (read as UTC); a
//                                  name ending in .gz is compressed; unterminated
//                                  drops the last newline
//   @@ append NAME YYYY-MM-DDTHH:MM:SS               the lines after it go on NAME
//   @@ records                     the records a reading of the files as they
//                                  stand gives, one a line ('#' lines skipped)
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/byte_source.h"
#include "core/dates.h"
#include "core/file_directory.h"

namespace rv::testing {

// YYYY-MM-DDTHH:MM:SS as seconds since 1970, UTC.
inline std::int64_t utcSeconds(const std::string& text) {
    int y = 0;
    unsigned mo = 0, d = 0, h = 0, mi = 0, s = 0;
    std::sscanf(text.c_str(), "%d-%u-%uT%u:%u:%u", &y, &mo, &d, &h, &mi, &s);
    return daysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
}

// The whole of text as one gzip member, as logrotate's gzip writes it.
inline std::vector<std::uint8_t> gzipped(const std::string& text) {
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<std::uint8_t> out(deflateBound(&z, text.size()) + 32);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct LogDirectory {
    struct File {
        std::string text;
        std::int64_t modified = 0;
    };
    std::map<std::string, File> files;  // by name within dir

    // The files served from memory as they stand.
    void serve(const std::string& dir, MemoryOpener& opener, MemoryDirectory& directory) const {
        for (const auto& [name, file] : files) {
            const std::string path = dir + "/" + name;
            const bool compressed = name.size() > 3 && name.substr(name.size() - 3) == ".gz";
            opener.add(path, compressed
                                 ? gzipped(file.text)
                                 : std::vector<std::uint8_t>(file.text.begin(), file.text.end()));
            directory.add(path, file.modified);
        }
    }
};

struct LogCaseStep {
    LogDirectory files;                 // as they stand at this step
    std::vector<std::string> expected;  // the records
};

// The steps of tests/data/binkd_log/<name>.txt, one per "@@ records".
inline std::vector<LogCaseStep> readLogCase(const std::string& name) {
    std::ifstream in(std::string(RV_SOURCE_DIR) + "/tests/data/binkd_log/" + name + ".txt");
    std::vector<LogCaseStep> steps;
    LogDirectory files;
    LogDirectory::File* writing = nullptr;
    bool unterminated = false;
    std::vector<std::string>* records = nullptr;
    const auto endFile = [&] {
        if (writing && unterminated && !writing->text.empty()) writing->text.pop_back();
        writing = nullptr;
    };
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("@@ ", 0) == 0) {
            endFile();
            records = nullptr;
            std::istringstream words(line.substr(3));
            std::string step, file, when, flag;
            words >> step >> file >> when >> flag;
            if (step == "records") {
                steps.push_back({files, {}});
                records = &steps.back().expected;
                continue;
            }
            writing = &files.files[file];
            if (step == "file") writing->text.clear();
            writing->modified = utcSeconds(when);
            unterminated = flag == "unterminated";
        } else if (writing) {
            writing->text += line + "\n";
        } else if (records && !line.empty() && line[0] != '#') {
            records->push_back(line);
        }
    }
    return steps;
}

}  // namespace rv::testing
