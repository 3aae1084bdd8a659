// ravlog's JSON report: the period, every line that was read with its
// totals, busy slots and sessions rows, the links and group rows and the
// totals box. The sessions rows are written while the lines are read,
// into a spool file (an unnamed temporary file), so that memory does not
// grow with the history; the report itself is written whole at the end.
#pragma once

#include <cstdio>
#include <memory>
#include <vector>

#include "core/out_buffer.h"
#include "ravlog/report_model.h"

namespace rv::ravlog {

class JsonReport {
  public:
    JsonReport();
    ~JsonReport();
    JsonReport(const JsonReport&) = delete;
    JsonReport& operator=(const JsonReport&) = delete;

    // False when no spool file can be made.
    bool open();
    // The rows of the line at index line of the configuration follow.
    void beginLine(std::size_t line);
    void sessionRow(const SessionRow& row);
    void endLine();
    // The whole report into file; false, told on err, when the spool could
    // not be written or read back.
    bool write(std::FILE* file, const Report& report, std::FILE* err);

  private:
    struct Rows {
        std::size_t line;
        long begin;
        long end;
    };

    std::FILE* spool_ = nullptr;
    std::unique_ptr<OutBuffer> out_;
    std::vector<Rows> lines_;
    bool firstRow_ = true;
};

}  // namespace rv::ravlog
