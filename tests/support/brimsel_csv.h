// brimsel's CSV dump read back: the rows of one history file, each split
// at its commas (no field of a dump of these histories holds one).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
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

// A start as the data forms write it ("2026-12-09T10:15:00"), as seconds
// of the same clock; 0 for a text that is none.
inline std::int64_t csvSeconds(const std::string& iso) {
    std::tm parts{};
    if (std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%d", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
                    &parts.tm_hour, &parts.tm_min, &parts.tm_sec) != 6)
        return 0;
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    return ::timegm(&parts);
}

// A text log's row t against binkd's binlog row b of the same session, the
// binlog read with SwapInOut: the address and bytes exact, the start and
// duration within a second (the text log has the second of a line, the
// binlog its own rounding), one direction, and an OK session's that of the
// binlog's bits as stored, turned.
inline void expectTextRowIsBinlogRow(const std::vector<std::string>& t,
                                     const std::vector<std::string>& b) {
    ASSERT_GT(t.size(), static_cast<std::size_t>(csvNormal));
    ASSERT_GT(b.size(), static_cast<std::size_t>(csvNormal));
    EXPECT_EQ(t[csvType], "9");
    for (const BrimselColumn c : {csvAddress, csvReceived, csvSent})
        EXPECT_EQ(t[c], b[c]) << "column " << c;
    EXPECT_LE(std::llabs(csvSeconds(t[csvStart]) - csvSeconds(b[csvStart])), 1);
    EXPECT_LE(std::labs(std::stol(t[csvDuration]) - std::stol(b[csvDuration])), 1);
    EXPECT_NE(t[csvIncoming], t[csvOutgoing]);
    if (t[csvNormal] == "1" && b[csvIncoming] != b[csvOutgoing]) {
        EXPECT_EQ(t[csvIncoming], b[csvOutgoing]);
        EXPECT_EQ(t[csvOutgoing], b[csvIncoming]);
    }
}

}  // namespace rv::testing
