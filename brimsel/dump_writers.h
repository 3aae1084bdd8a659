// The three forms of brimsel's dump, each fed the rows of every file in
// order: the classic text tables (one per file), JSON Lines (one object
// per record) and CSV (one header, one row per record).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

#include "brimsel/dump_row.h"
#include "core/drawing_set.h"
#include "core/out_buffer.h"
#include "core/report_format.h"

namespace rv::brimsel {

class DumpWriter {
  public:
    explicit DumpWriter(std::FILE* out) : out_(out) {}
    virtual ~DumpWriter() = default;
    DumpWriter(const DumpWriter&) = delete;
    DumpWriter& operator=(const DumpWriter&) = delete;

    virtual void beginFile(std::string_view path, HistoryType type) = 0;
    virtual void row(const DumpRow& row) = 0;
    virtual void endFile() = 0;
    // After endFile, when a filter chose the rows: how many the file had.
    virtual void shownCount(std::uint64_t /*shown*/, std::uint64_t /*total*/) {}
    // Hands the collected text to the stream, before a message on another.
    void flush() { out_.flush(); }

  protected:
    OutBuffer out_;
};

std::unique_ptr<DumpWriter> makeDumpWriter(ReportFormat format, const DrawingSet& set,
                                           std::FILE* out);

}  // namespace rv::brimsel
