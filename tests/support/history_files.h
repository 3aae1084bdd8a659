// Histories for whole-run tests, written from record lists
// (tools/record_list.h) into a scratch directory.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/history_type.h"
#include "scratch_dir.h"
#include "tools/history_writer.h"
#include "tools/record_list.h"

namespace rv::testing {

// The bytes of a history of the type from a record list.
inline histgen::Bytes historyBytes(HistoryType type, const std::string& list) {
    histgen::HistoryWriter writer(type);
    const auto error = histgen::writeRecordList(list, writer);
    EXPECT_FALSE(error) << (error ? error->message + " in line " + std::to_string(error->line)
                                  : "");
    writer.defaultBrakeHeaderToFirstRecord();
    return writer.bytes();
}

// Writes a history of the type from a record list into the directory.
inline void writeHistory(const ScratchDir& dir, const std::string& name, HistoryType type,
                         const std::string& list) {
    ASSERT_TRUE(dir.write(name, historyBytes(type, list)));
}

}  // namespace rv::testing
