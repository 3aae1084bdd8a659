// The two character sets the reports are drawn in: UTF-8 box drawing (the
// default) and plain ASCII for terminals and mail that cannot show it.
// Every frame piece of pondrel's totals box, brimsel's table and the title
// boxes of all three programs comes from one set (the links tables' frames
// stand beside their rows, stats/link_table_text.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rv {

struct DrawingSet {
    const char* outerBar;  // between the cells of a links table
    const char* innerBar;  // within a cell; the column bar of the dump
    // The title box: corners and rule of its frame, the shaded ends of its
    // middle line (the right one ends the line).
    const char* rule;
    const char* topLeft;
    const char* topRight;
    const char* bottomLeft;
    const char* bottomRight;
    const char* headingLeft;
    const char* headingRight;
    // pondrel's totals box.
    const char* boxTop;
    const char* boxBottom;
    // brimsel's dump table: its head, and its foot with the flag legend.
    const char* dumpHead;
    const char* dumpFoot;
};

const DrawingSet& drawingSet(bool ascii);

// A title in its box, three lines each indented by indent blanks, the last
// one without its line end: the rules are 30 columns wider than the title.
std::string titleBox(const DrawingSet& set, std::size_t indent, std::string_view title);

}  // namespace rv
