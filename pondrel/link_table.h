// pondrel's report: the links table, the group table and the totals box,
// in UTF-8 box drawing or plain ASCII.
#pragma once

#include <cstdio>

#include "pondrel/run_state.h"

namespace rv::pondrel {

struct DrawingSet {
    const char* outerBar;
    const char* innerBar;
    const char* headingTop;
    const char* headingBottom;
    const char* headingLeft;
    const char* headingRight;
    const char* tableHeader;
    const char* tableBottom;
    const char* boxTop;
    const char* boxBottom;
};

const DrawingSet& drawingSet(bool ascii);

void writeReport(std::FILE* out, const Run& run);

// One row of an entry (exposed for tests).
void writeEntryRow(std::FILE* out, const AddrEntry& entry, const DrawingSet& set);

}  // namespace rv::pondrel
