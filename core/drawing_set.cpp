#include "core/drawing_set.h"

#include "core/format.h"
#include "core/utf8_text.h"

namespace rv {

namespace {

const DrawingSet utf8Set{
    "║",
    "│",
    "─",
    "┌",
    "┐",
    "└",
    "┘",
    "│ ░░░▒▒▒▓▓▓███  ",
    "  ███▓▓▓▒▒▒░░░ │\n",
    "┌──────────────────────────┬───────────────────────┬──────────────────────────┐\n",
    "└──────────────────────────┴───────────────────────┴──────────────────────────┘\n",
    "┌─────────────────┬──────────────────────────┬───────┬────────┬────────┬──────┐\n"
    "│     Address     │      Date of Session     │Time(s)│Received│  Sent  │ PNOI │\n"
    "├─────────────────┼──────────────────────────┼───────┼────────┼────────┼──────┤\n",
    "└─────────────────┴──────────────────────────┴───────┴────────┴────────┴──────┘\n"
    "           Protected session; not used in BinkD and some other mailers ──┘│││\n"
    "           Normal (non-aborted) session; not used in BinkD ───────────────┘││\n"
    "                                          Outgoing session ────────────────┘│\n"
    "                                          Incoming session ─────────────────┘\n",
};

const DrawingSet asciiSet{
    "|",
    "|",
    "-",
    "+",
    "+",
    "+",
    "+",
    "| ############  ",
    "  ############ |\n",
    "+-----------------------------------------------------------------------------+\n",
    "+-----------------------------------------------------------------------------+\n",
    "+-----------------------------------------------------------------------------+\n"
    "|     Address     |      Date of Session     |Time(s)|Received|  Sent  | PNOI |\n"
    "|-----------------+--------------------------+-------+--------+--------+------|\n",
    "+-----------------------------------------------------------------------------+\n"
    "           Protected session; not used in BinkD and some other mailers __||||\n"
    "           Normal (non-aborted) session; not used in BinkD _______________|||\n"
    "                                          Outgoing session ________________||\n"
    "                                          Incoming session _________________|\n",
};

}  // namespace

const DrawingSet& drawingSet(bool ascii) {
    return ascii ? asciiSet : utf8Set;
}

std::string titleBox(const DrawingSet& set, std::size_t indent, std::string_view title) {
    const std::string margin(indent, ' ');
    std::string rule;
    for (std::size_t i = displayWidth(title) + 30; i > 0; --i)
        rule += set.rule;
    std::string box = margin + set.topLeft + rule + set.topRight + "\n";
    box += margin + set.headingLeft;
    box += title;
    box += set.headingRight;
    return box + margin + set.bottomLeft + rule + set.bottomRight;
}

}  // namespace rv
