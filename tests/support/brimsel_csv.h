// brimsel's CSV dump read back: the rows of one history file, each split
// at its commas (no field of a dump of these histories holds one).
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace rv::testing {

// The columns of brimsel's CSV (docs/json.md).
enum BrimselColumn {
    csvFile,
    csvType,
    csvAddress,
    csvStart = 7,
    csvDuration,
    csvReceived,
    csvSent,
    csvIncoming,
    csvOutgoing,
    csvNormal,
    csvProtected,
    csvKind,
    csvAborted
};

inline std::vector<std::vector<std::string>> brimselCsvRows(const std::string& csv,
                                                            const std::string& file) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(csv);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(file + ",", 0) != 0) continue;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');)
            fields.push_back(cell);
        // A last field left empty is a field too.
        if (line.back() == ',') fields.emplace_back();
        rows.push_back(fields);
    }
    return rows;
}

}  // namespace rv::testing
