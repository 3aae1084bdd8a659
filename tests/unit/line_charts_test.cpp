// The busy chart blocks of the sessions history file. Each line's figures
// and busy arrays are built from sessions with known times; the chart rows
// and side figures below were worked out from those times on paper.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "captured_stream.h"
#include "core/busy_mask.h"
#include "core/session_record.h"
#include "ravlog/line_charts.h"
#include "ravlog/ravlog_run.h"
#include "stats/chart_layout.h"
#include "stats/line_stats.h"

namespace rv {
namespace {

using namespace ravlog;

using testing::CapturedStream;
using namespace SessionFlags;

std::string sp(std::size_t n) {
    return std::string(n, ' ');
}

const std::string b15 = sp(15);
const std::string b46 = sp(46);
const std::string rule12 = "────────────";
const std::string rule13 = "─────────────";
const std::string head = "\n           100%┬" + b46;
const std::string bottomC2 = "             0%┼─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┬─┐";
const std::string labels24 = "               0   2   4   6   8  10  12  14  16  18  20  22  24";
// An empty chart row: the left axis and 48 blanks.
const std::string emptyRow = "│" + sp(48);

constexpr std::uint32_t at(int h, int m, int s) {
    return static_cast<std::uint32_t>(h * 3600 + m * 60 + s);
}

struct Session {
    std::uint32_t start;  // seconds on the chart axis
    std::uint32_t duration;
    std::uint16_t flags;
    std::uint32_t received = 0;
    std::uint32_t sent = 0;
    std::uint32_t cost = 0;
};

// A line that read the sessions, every one accounted and drawn.
LineResult collected(HistoryType type, const std::vector<Session>& sessions,
                     const ChartLayout& layout = chooseChartLayout(24)) {
    LineResult line;
    line.opened = true;
    line.type = type;
    for (const Session& s : sessions) {
        SessionRecord r;
        r.address = {2, 5020, 1, 0};
        r.duration = s.duration;
        r.flags = s.flags;
        r.bytesReceived = s.received;
        r.bytesSent = s.sent;
        r.cost = s.cost;
        addToLineTotals(line.totals, r, false, type);
        addToBusyHistogram(line.busy, {s.start, std::uint64_t{s.start} + s.duration}, s.flags,
                           layout);
    }
    return line;
}

Line lineWith(std::uint8_t mask, HistoryType type = HistoryType::plain28, std::uint16_t n = 0,
              std::uint16_t m = 0) {
    Line line;
    line.source.path = "history";
    line.source.type = type;
    line.source.n = n;
    line.source.m = m;
    line.busyHistMask = mask;
    return line;
}

LineResult notOpened(HistoryType parsedType = HistoryType::plain28) {
    LineResult line;
    line.type = parsedType;
    return line;
}

// Splits the charts text into blocks, each starting at its title line.
struct Block {
    std::string title;  // without its centring blanks
    std::string text;   // title line included
};

std::vector<Block> blocksOf(const std::string& text) {
    std::vector<Block> blocks;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        const std::string line = text.substr(pos, end - pos);
        if (line.size() > 10 && line.compare(line.size() - 10, 10, " Histogram") == 0) {
            blocks.push_back({line.substr(line.find_first_not_of(' ')), ""});
        }
        if (!blocks.empty()) blocks.back().text += text.substr(pos, end + 1 - pos);
        pos = end + 1;
    }
    return blocks;
}

std::vector<std::string> titlesOf(const std::string& text) {
    std::vector<std::string> titles;
    for (const Block& b : blocksOf(text))
        titles.push_back(b.title);
    return titles;
}

// The 49-cell chart rows of a block (r0 first): 15 columns of left text, then the row.
std::vector<std::string> chartRowsOf(const std::string& block) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < block.size()) {
        const std::size_t end = block.find('\n', pos);
        lines.push_back(block.substr(pos, end - pos));
        pos = end + 1;
    }
    std::vector<std::string> rows;
    for (std::size_t i = 3; i < 13 && i < lines.size(); ++i) {
        const std::string& line = lines[i];
        std::size_t byte = 0, chars = 0;
        auto skipChar = [&] {
            ++byte;
            while (byte < line.size() && (static_cast<unsigned char>(line[byte]) & 0xC0) == 0x80)
                ++byte;
            ++chars;
        };
        while (chars < 15)
            skipChar();
        const std::size_t from = byte;
        while (chars < 15 + 49)
            skipChar();
        rows.push_back(line.substr(from, byte - from));
    }
    return rows;
}

class LineCharts : public ::testing::Test {
  protected:
    void SetUp() override { useWindow(24, 0); }

    void useWindow(int windowHours, std::uint16_t startHour) {
        run.period.windowHours = windowHours;
        run.layout = &chooseChartLayout(static_cast<unsigned>(windowHours));
        run.config.settings.timeWindow.startHour = startHour;
    }
    void addLine(const Line& config, const LineResult& result) {
        run.config.lines.push_back(config);
        run.lines.push_back(result);
        if (result.opened) ++run.openedLines;
    }
    std::string charts() {
        CapturedStream out;
        run.book = std::make_unique<AddressBook>(run.config.addresses, run.layout);
        writeLineCharts(out.get(), makeReport(run));
        return out.text();
    }

    ravlog::Run run{1709625600};  // 2024-03-05 08:00 UTC; the charts do not read it
};

// A T-Mail-style line (type 1) over the whole day, quarter-hour slots.
// Slot by slot (percent of 900 s):
//   0: 450 s of S1 (50)            1: 900 of S1 (100)
//   3: S2 and S3 both whole (200)  4: 450 of S3 (50)
//   5: the 5 s of S4 (1)           7: 855 of S5 (95)   8: 820 of S5 (91)
//  10: 300 of S6 (33)             11: 900 (100)       12: 300 (33)
//  14: the 405 s of S8 (45)       95: the 599 s of S7 (66)
// Totals: 8 sessions, 7784 s online (4974 in, 2810 out), 1 744 334 bytes
// received and 2 785 000 sent in 6434 s with traffic (S3 moved nothing):
// CPS 703; aborted S3 and S7; protected S1, S3, S6.
std::vector<Session> tmailDay() {
    return {
        {at(0, 7, 30), 1350, incoming | normal | protectedSession, 1500000, 20000},   // S1
        {at(0, 45, 0), 900, outgoing | normal, 3000, 700000},                         // S2
        {at(0, 45, 0), 1350, incoming | protectedSession, 0, 0},                      // S3
        {at(1, 20, 0), 5, outgoing | normal, 100, 0},                                 // S4
        {at(1, 45, 45), 1675, incoming | normal, 40000, 60000},                       // S5
        {at(2, 40, 0), 1500, outgoing | normal | protectedSession, 200000, 2000000},  // S6
        {at(3, 30, 0), 405, outgoing | normal, 0, 5000},                              // S8
        {at(23, 50, 0), 599, incoming, 1234, 0},                                      // S7
    };
}

TEST_F(LineCharts, AllFiveBlocksOfOneLine) {
    addLine(lineWith(BusyMask::all, HistoryType::long100),
            collected(HistoryType::long100, tmailDay()));

    // Busy: every slot. Cell 0 shows slot 0 on its right; cell c slots 2c-1 and 2c.
    // Row 0 (90 %): 95 % is half (3) and 91 % a trace (1): "▄" in cell 4.
    // Row 3 (60 %): 66 % is half in cell 48. Row 5 (40 %): 45 % half, 50 % full.
    // Row 9: the 1 % slot is a trace beside an empty slot: "▌" in cell 3.
    const std::string busy[10] = {"│▌▌ ▄ ▌ " + sp(41),       "│▌▌ █ ▌ " + sp(41),
                                  "│▌▌ █ ▌ " + sp(41),       "│▌▌ █ ▌ " + sp(40) + "▌",
                                  "│▌▌ █ ▌ " + sp(40) + "▌", "▐▌█ █ ▌▐" + sp(40) + "▌",
                                  "▐▌█ █▐█▐" + sp(40) + "▌", "▐▌█ █▐█▐" + sp(40) + "▌",
                                  "▐▌█ █▐█▐" + sp(40) + "▌", "▐▌█▌█▐█▐" + sp(40) + "▌"};
    const std::string busyBlock = sp(33) + "Busy Histogram\n" +                           //
                                  head + "    Rcvd:    1.6M\n" +                          //
                                  b15 + busy[0] + "  Sent:    2.6M\n" +                   //
                                  "   Sessions    " + busy[1] + "  " + rule13 + "\n" +    //
                                  b15 + busy[2] + "  Average\n" +                         //
                                  " Total:     8  " + busy[3] + "  CPS:      703\n" +     //
                                  " " + rule12 + "  " + busy[4] + "  " + rule13 + "\n" +  //
                                  " In:        4  " + busy[5] + "  Time Online:\n" +      //
                                  " Out:       4  " + busy[6] + "        2:09:44\n" +     //
                                  " " + rule12 + "  " + busy[7] + "  " + rule13 + "\n" +  //
                                  " Aborted:   2  " + busy[8] + "  In:   1:22:54\n" +     //
                                  " Protect:   3  " + busy[9] + "  Out:  0:46:50\n" +     //
                                  bottomC2 + "  " + rule13 + "\n" +                       //
                                  labels24 + "  Usage:   9.0%\n\n";  // 7784 of 86400 s

    // Incoming: S1, S3, S5, S7.
    const std::string in[10] = {"│▌▌ ▄" + sp(44),       "│▌▌ █" + sp(44),
                                "│▌▌ █" + sp(44),       "│▌▌ █" + sp(43) + "▌",
                                "│▌▌ █" + sp(43) + "▌", "▐▌█ █" + sp(43) + "▌",
                                "▐▌█ █" + sp(43) + "▌", "▐▌█ █" + sp(43) + "▌",
                                "▐▌█ █" + sp(43) + "▌", "▐▌█ █" + sp(43) + "▌"};
    const std::string inBlock = sp(31) + "Incoming Histogram\n" +                    //
                                head + "      Incoming\n" +                          //
                                b15 + in[0] + "      Time\n" +                       //
                                "   Incoming    " + in[1] + "\n" +                   //
                                "   Sessions    " + in[2] + "  Total In:\n" +        //
                                b15 + in[3] + "        1:22:54\n" +                  //
                                " Total:     4  " + in[4] + "  " + rule13 + "\n" +   //
                                " " + rule12 + "  " + in[5] + "  Protected:\n" +     //
                                " Protect:   2  " + in[6] + "        0:45:00\n" +    //
                                " UnProt:    2  " + in[7] + "  UnProtected:\n" +     //
                                " " + rule12 + "  " + in[8] + "        0:37:54\n" +  //
                                " Aborted:   2  " + in[9] + "  " + rule13 + "\n" +   //
                                bottomC2 + "  % of time\n" +                         //
                                labels24 + "  online: 63.9%\n\n";  // 4974 of 7784 s

    // Outgoing: S2, S4, S6, S8; the 1 % slot shows in row 9 only.
    const std::string out[10] = {"│ ▌   ▌ " + sp(41), "│ ▌   ▌ " + sp(41), "│ ▌   ▌ " + sp(41),
                                 "│ ▌   ▌ " + sp(41), "│ ▌   ▌ " + sp(41), "│ ▌   ▌▐" + sp(41),
                                 "│ ▌  ▐█▐" + sp(41), "│ ▌  ▐█▐" + sp(41), "│ ▌  ▐█▐" + sp(41),
                                 "│ ▌▌ ▐█▐" + sp(41)};
    const std::string outBlock = sp(31) + "Outgoing Histogram\n" +                     //
                                 head + "      Outgoing\n" +                           //
                                 b15 + out[0] + "      Time\n" +                       //
                                 "   Outgoing    " + out[1] + "\n" +                   //
                                 "   Sessions    " + out[2] + "  Total Out:\n" +       //
                                 b15 + out[3] + "        0:46:50\n" +                  //
                                 " Total:     4  " + out[4] + "  " + rule13 + "\n" +   //
                                 " " + rule12 + "  " + out[5] + "  Protected:\n" +     //
                                 " Protect:   1  " + out[6] + "        0:25:00\n" +    //
                                 " UnProt:    3  " + out[7] + "  UnProtected:\n" +     //
                                 " " + rule12 + "  " + out[8] + "        0:21:50\n" +  //
                                 " Aborted:   0  " + out[9] + "  " + rule13 + "\n" +   //
                                 bottomC2 + "  % of time\n" +                          //
                                 labels24 + "  online: 36.0%\n\n";  // 2810 of 7784 s

    // Protected: S1, S3, S6.
    const std::string prot[10] = {"│▌▌   ▌" + sp(42), "│▌▌   ▌" + sp(42), "│▌▌   ▌" + sp(42),
                                  "│▌▌   ▌" + sp(42), "│▌▌   ▌" + sp(42), "▐▌█   ▌" + sp(42),
                                  "▐▌█  ▐█" + sp(42), "▐▌█  ▐█" + sp(42), "▐▌█  ▐█" + sp(42),
                                  "▐▌█  ▐█" + sp(42)};
    const std::string protBlock = sp(30) + "Protected Histogram\n" +                     //
                                  head + "      Protected\n" +                           //
                                  b15 + prot[0] + "     Traffic\n" +                     //
                                  "   Protected   " + prot[1] + "  Rcvd:    1.6M\n" +    //
                                  "   Sessions    " + prot[2] + "  Sent:    1.9M\n" +    //
                                  b15 + prot[3] + "  " + rule13 + "\n" +                 //
                                  " Total:     3  " + prot[4] + "    Protected\n" +      //
                                  " " + rule12 + "  " + prot[5] + "      Time\n" +       //
                                  " In:        2  " + prot[6] + "  Tot:  1:10:00\n" +    //
                                  " Out:       1  " + prot[7] + "  In:   0:45:00\n" +    //
                                  " " + rule12 + "  " + prot[8] + "  Out:  0:25:00\n" +  //
                                  " Aborted:   1  " + prot[9] + "  " + rule13 + "\n" +   //
                                  bottomC2 + "  % of time\n" +                           //
                                  labels24 + "  online: 53.9%\n\n";  // 4200 of 7784 s

    // UnProtected: S2, S4, S5, S7, S8.
    const std::string unprot[10] = {"│ ▌ ▄   " + sp(41),       "│ ▌ █   " + sp(41),
                                    "│ ▌ █   " + sp(41),       "│ ▌ █   " + sp(40) + "▌",
                                    "│ ▌ █   " + sp(40) + "▌", "│ ▌ █  ▐" + sp(40) + "▌",
                                    "│ ▌ █  ▐" + sp(40) + "▌", "│ ▌ █  ▐" + sp(40) + "▌",
                                    "│ ▌ █  ▐" + sp(40) + "▌", "│ ▌▌█  ▐" + sp(40) + "▌"};
    const std::string unprotBlock = sp(29) + "UnProtected Histogram\n" +                     //
                                    head + "     UnProtected\n" +                            //
                                    b15 + unprot[0] + "     Traffic\n" +                     //
                                    "  UnProtected  " + unprot[1] + "  Rcvd:   44334\n" +    //
                                    "   Sessions    " + unprot[2] + "  Sent:  765000\n" +    //
                                    b15 + unprot[3] + "  " + rule13 + "\n" +                 //
                                    " Total:     5  " + unprot[4] + "   UnProtected\n" +     //
                                    " " + rule12 + "  " + unprot[5] + "      Time\n" +       //
                                    " In:        2  " + unprot[6] + "  Tot:  0:59:44\n" +    //
                                    " Out:       3  " + unprot[7] + "  In:   0:37:54\n" +    //
                                    " " + rule12 + "  " + unprot[8] + "  Out:  0:21:50\n" +  //
                                    " Aborted:   1  " + unprot[9] + "  " + rule13 + "\n" +   //
                                    bottomC2 + "  % of time\n" +                             //
                                    labels24 + "  online: 46.0%\n\n";  // 3584 of 7784 s

    const std::vector<Block> blocks = blocksOf(charts());
    ASSERT_EQ(blocks.size(), 5u);
    EXPECT_EQ(blocks[0].text, busyBlock);
    EXPECT_EQ(blocks[1].text, inBlock);
    EXPECT_EQ(blocks[2].text, outBlock);
    EXPECT_EQ(blocks[3].text, protBlock);
    EXPECT_EQ(blocks[4].text, unprotBlock);
}

// A line of type 2: one incoming session filling slot 0 and an outgoing
// one of 450 s in slot 1.
std::vector<Session> plainDay(std::uint16_t extraFlags = 0) {
    return {
        {at(0, 0, 0), 900, incoming | normal, 1000, 500, 12},
        {at(0, 15, 0), 450, static_cast<std::uint16_t>(outgoing | normal | extraFlags), 0, 0, 7}};
}

TEST_F(LineCharts, TypeTwoHasNoProtectionFigures) {
    addLine(lineWith(BusyMask::all), collected(HistoryType::plain28, plainDay()));
    const std::vector<Block> blocks = blocksOf(charts());
    // Without a protected session a type 2 line has no protected charts.
    ASSERT_EQ(titlesOf(charts()), (std::vector<std::string>{"Busy Histogram", "Incoming Histogram",
                                                            "Outgoing Histogram"}));
    const std::string r = "▐" + sp(48);
    EXPECT_EQ(blocks[1].text,
              sp(31) + "Incoming Histogram\n" +                    //
                  head + "      Incoming\n" +                      //
                  b15 + r + "      Time\n" +                       //
                  "   Incoming    " + r + "\n" +                   //
                  "   Sessions    " + r + "  Total In:\n" +        //
                  b15 + r + "        0:15:00\n" +                  //
                  " Total:     1  " + r + "  " + rule13 + "\n" +   //
                  " " + rule12 + "  " + r + "  Protected:\n" +     //
                  " Protect: N/A  " + r + "            N/A\n" +    //
                  " UnProt:  N/A  " + r + "  UnProtected:\n" +     //
                  " " + rule12 + "  " + r + "            N/A\n" +  //
                  " Aborted:   0  " + r + "  " + rule13 + "\n" +   //
                  bottomC2 + "  % of time\n" +                     //
                  labels24 + "  online: 66.6%\n\n");               // 900 of 1350 s
    // The Busy block leaves the place of the protected count blank.
    const std::string busyRow9 = "▐▌" + sp(47);
    EXPECT_NE(blocks[0].text.find("\n" + b15 + busyRow9 + "  Out:  0:07:30\n"), std::string::npos)
        << blocks[0].text;
}

TEST_F(LineCharts, TypeOneShowsProtectionFiguresEvenWithoutProtectedSessions) {
    // An incoming session fills slot 0; an aborted outgoing one takes 450 s
    // of slot 1 (50 %) and a normal outgoing one 300 s of slot 2 (33 %).
    addLine(lineWith(BusyMask::busy | BusyMask::incoming, HistoryType::long100),
            collected(HistoryType::long100, {{at(0, 0, 0), 900, incoming | normal, 1, 1},
                                             {at(0, 15, 0), 450, outgoing, 1, 1},
                                             {at(0, 30, 0), 300, outgoing | normal, 1, 1}}));
    const std::vector<Block> blocks = blocksOf(charts());
    ASSERT_EQ(blocks.size(), 2u);
    const std::string low = "▐█" + sp(47);
    // Aborted counts every direction: the one aborted session is outgoing.
    EXPECT_NE(blocks[0].text.find(" Aborted:   1  " + low + "  In:   0:15:00\n" +  //
                                  " Protect:   0  " + low + "  Out:  0:12:30\n"),
              std::string::npos)
        << blocks[0].text;
    const std::string r = "▐" + sp(48);
    EXPECT_NE(blocks[1].text.find(" " + rule12 + "  " + r + "  Protected:\n" +     //
                                  " Protect:   0  " + r + "        0:00:00\n" +    //
                                  " UnProt:    1  " + r + "  UnProtected:\n" +     //
                                  " " + rule12 + "  " + r + "        0:15:00\n" +  //
                                  " Aborted:   0  " + r + "  " + rule13 + "\n"),
              std::string::npos)
        << blocks[1].text;
}

TEST_F(LineCharts, CostTypesShowCostsUnlessProtected) {
    // Type 5: incoming sessions of cost 12 and 30, an outgoing one of cost 7.
    std::vector<Session> sessions = plainDay();
    sessions.push_back({at(1, 0, 0), 600, incoming | normal, 0, 100, 30});
    addLine(lineWith(BusyMask::incoming | BusyMask::outgoing),
            collected(HistoryType::pair116, sessions));
    const std::vector<Block> blocks = blocksOf(charts());
    ASSERT_EQ(blocks.size(), 2u);
    // Incoming: slot 0 full, slot 4 at 600 s (66 %): half in row 3.
    const std::string in[10] = {"▐" + sp(48),   "▐" + sp(48),   "▐" + sp(48),   "▐ ▐" + sp(46),
                                "▐ ▐" + sp(46), "▐ ▐" + sp(46), "▐ ▐" + sp(46), "▐ ▐" + sp(46),
                                "▐ ▐" + sp(46), "▐ ▐" + sp(46)};
    EXPECT_EQ(blocks[0].text, sp(31) + "Incoming Histogram\n" +                       //
                                  head + "      Incoming\n" +                         //
                                  b15 + in[0] + "      Time\n" +                      //
                                  "   Incoming    " + in[1] + "\n" +                  //
                                  "   Sessions    " + in[2] + "  Total In:\n" +       //
                                  b15 + in[3] + "        0:25:00\n" +                 //
                                  " Total:     2  " + in[4] + "  " + rule13 + "\n" +  //
                                  " " + rule12 + "  " + in[5] + "\n" +                //
                                  " Protect: N/A  " + in[6] + "  Cost In:   42\n" +   //
                                  " UnProt:  N/A  " + in[7] + "\n" +                  //
                                  " " + rule12 + "  " + in[8] + "\n" +                //
                                  " Aborted:   0  " + in[9] + "  " + rule13 + "\n" +  //
                                  bottomC2 + "  % of time\n" +                        //
                                  labels24 + "  online: 76.9%\n\n");  // 1500 of 1950 s
    // Outgoing: 450 s in slot 1 (50 %), the left half of cell 1 from row 5 down.
    const std::string out[10] = {emptyRow,      emptyRow,      emptyRow,      emptyRow,
                                 emptyRow,      "│▌" + sp(47), "│▌" + sp(47), "│▌" + sp(47),
                                 "│▌" + sp(47), "│▌" + sp(47)};
    EXPECT_EQ(blocks[1].text, sp(31) + "Outgoing Histogram\n" +                        //
                                  head + "      Outgoing\n" +                          //
                                  b15 + out[0] + "      Time\n" +                      //
                                  "   Outgoing    " + out[1] + "\n" +                  //
                                  "   Sessions    " + out[2] + "  Total Out:\n" +      //
                                  b15 + out[3] + "        0:07:30\n" +                 //
                                  " Total:     1  " + out[4] + "  " + rule13 + "\n" +  //
                                  " " + rule12 + "  " + out[5] + "\n" +                //
                                  " Protect: N/A  " + out[6] + "  Cost Out:   7\n" +   //
                                  " UnProt:  N/A  " + out[7] + "\n" +                  //
                                  " " + rule12 + "  " + out[8] + "\n" +                //
                                  " Aborted:   0  " + out[9] + "  " + rule13 + "\n" +  //
                                  bottomC2 + "  % of time\n" +                         //
                                  labels24 + "  online: 23.0%\n\n");  // 450 of 1950 s
}

TEST_F(LineCharts, CostTypeWithProtectedSessionsShowsProtection) {
    // The outgoing session of 450 s is protected: the blocks show the
    // protected figures in place of the costs.
    addLine(lineWith(BusyMask::incoming | BusyMask::outgoing),
            collected(HistoryType::dated104, plainDay(protectedSession)));
    const std::string text = charts();
    EXPECT_EQ(text.find("Cost"), std::string::npos);
    const std::vector<Block> blocks = blocksOf(text);
    ASSERT_EQ(blocks.size(), 2u);
    const std::string r = "▐" + sp(48);
    EXPECT_NE(blocks[0].text.find(" " + rule12 + "  " + r + "\n" +               //
                                  " Protect:   0  " + r + "        0:00:00\n" +  //
                                  " UnProt:    1  " + r + "  UnProtected:\n" +   //
                                  " " + rule12 + "  " + r + "        0:15:00\n"),
              std::string::npos)
        << blocks[0].text;
    const std::string o = "│▌" + sp(47);
    EXPECT_NE(blocks[1].text.find(" " + rule12 + "  " + o + "\n" +               //
                                  " Protect:   1  " + o + "        0:07:30\n" +  //
                                  " UnProt:    0  " + o + "  UnProtected:\n" +   //
                                  " " + rule12 + "  " + o + "        0:00:00\n"),
              std::string::npos)
        << blocks[1].text;
}

TEST_F(LineCharts, TheBrakeShowsExternalAndBbsCounts) {
    // A mail session, a BBS event, two External events (counted as
    // sessions) and an Answer event (not counted, but drawn).
    addLine(lineWith(BusyMask::busy, HistoryType::brake),
            collected(HistoryType::brake, {{at(0, 0, 0), 900, incoming | normal, 1000, 1000},
                                           {at(0, 15, 0), 900, kindBbs},
                                           {at(0, 30, 0), 300, kindExternal},
                                           {at(0, 35, 0), 300, kindExternal},
                                           {at(1, 0, 0), 60, kindAnswer}}));
    // Slots 0 and 1 full, slot 2 at 600 s (66 %), slot 4 at 60 s (6 %: half in row 9).
    const std::string r[10] = {"▐▌" + sp(47), "▐▌" + sp(47), "▐▌" + sp(47), "▐█" + sp(47),
                               "▐█" + sp(47), "▐█" + sp(47), "▐█" + sp(47), "▐█" + sp(47),
                               "▐█" + sp(47), "▐█▐" + sp(46)};
    EXPECT_EQ(charts(), sp(33) + "Busy Histogram\n" +                            //
                            head + "    Rcvd:    1000\n" +                       //
                            b15 + r[0] + "  Sent:    1000\n" +                   //
                            "   Sessions    " + r[1] + "  " + rule13 + "\n" +    //
                            b15 + r[2] + "  Average\n" +                         //
                            " Total:     4  " + r[3] + "  CPS:        2\n" +     //
                            " " + rule12 + "  " + r[4] + "  " + rule13 + "\n" +  //
                            " In:        1  " + r[5] + "  Time Online:\n" +      //
                            " Out:       0  " + r[6] + "        0:41:00\n" +     //
                            " " + rule12 + "  " + r[7] + "  " + rule13 + "\n" +  //
                            " External:  2  " + r[8] + "  In:   0:15:00\n" +     //
                            " BBS:       1  " + r[9] + "  Out:  0:00:00\n" +     //
                            bottomC2 + "  " + rule13 + "\n" +                    //
                            labels24 + "  Usage:   2.8%\n\n");                   // 2460 of 86400 s
}

TEST_F(LineCharts, BinkdChannelsScaleTheCharts) {
    // n = 2 incoming channels, m = 1 outgoing. Slot 0: two incoming
    // sessions (both channels full) and one outgoing; slot 2 one incoming
    // session (one of two channels); slot 3 one outgoing.
    const std::uint16_t inOk = incoming | normal;
    addLine(
        lineWith(BusyMask::busy | BusyMask::incoming | BusyMask::outgoing | BusyMask::protectedOnly,
                 HistoryType::binkd, 2, 1),
        collected(HistoryType::binkd,
                  {{at(0, 0, 0), 900, static_cast<std::uint16_t>(inOk | protectedSession)},
                   {at(0, 0, 0), 900, inOk},
                   {at(0, 0, 0), 900, outgoing | normal},
                   {at(0, 30, 0), 900, inOk},
                   {at(0, 45, 0), 900, outgoing | normal}}));
    const std::vector<Block> blocks = blocksOf(charts());
    ASSERT_EQ(blocks.size(), 4u);
    // Busy: slot 0 = 1800 / 2 + 900 / 1 (200 %), slot 2 = 900 / 2 (50 %),
    // slot 3 = 900 (100 %).
    const std::string busyTop = "▐ ▌" + sp(46), busyLow = "▐▐▌" + sp(46);
    EXPECT_EQ(chartRowsOf(blocks[0].text),
              (std::vector<std::string>{busyTop, busyTop, busyTop, busyTop, busyTop, busyLow,
                                        busyLow, busyLow, busyLow, busyLow}));
    // Usage against 24 h of n + m = 3 channels: 4500 of 259200 s.
    EXPECT_NE(blocks[0].text.find(labels24 + "  Usage:   1.7%\n\n"), std::string::npos)
        << blocks[0].text;
    // Incoming: slot 0 = 1800 / 2 (100 %), slot 2 = 450 (50 %).
    const std::string inTop = "▐" + sp(48), inLow = "▐▐" + sp(47);
    EXPECT_EQ(chartRowsOf(blocks[1].text),
              (std::vector<std::string>{inTop, inTop, inTop, inTop, inTop, inLow, inLow, inLow,
                                        inLow, inLow}));
    EXPECT_EQ(chartRowsOf(blocks[2].text), std::vector<std::string>(10, "▐ ▌" + sp(46)));
    // Protected: the one protected incoming session over two channels (50 %).
    const std::string protTop = emptyRow, protLow = "▐" + sp(48);
    EXPECT_EQ(blocks[3].title, "Protected Histogram");
    EXPECT_EQ(chartRowsOf(blocks[3].text),
              (std::vector<std::string>{protTop, protTop, protTop, protTop, protTop, protLow,
                                        protLow, protLow, protLow, protLow}));
}

TEST_F(LineCharts, BinkdWithoutChannelsOnOneSideDrawsNoChartForIt) {
    // Line 1: n = 0 (its incoming sessions count as outgoing), line 2: m = 0.
    const std::uint8_t tio = BusyMask::busy | BusyMask::incoming | BusyMask::outgoing;
    addLine(lineWith(tio, HistoryType::binkd, 0, 1),
            collected(HistoryType::binkd, {{at(0, 0, 0), 900, outgoing | normal}}));
    addLine(lineWith(tio, HistoryType::binkd, 1, 0),
            collected(HistoryType::binkd, {{at(0, 0, 0), 900, incoming | normal}}));
    const std::string text = charts();
    // Kinds first, lines within each kind.
    EXPECT_EQ(titlesOf(text), (std::vector<std::string>{
                                  "Line 1 - Busy Histogram", "Line 2 - Busy Histogram",
                                  "Line 2 - Incoming Histogram", "Line 1 - Outgoing Histogram"}));
    // One channel each: 900 of 86400 s.
    const std::vector<Block> blocks = blocksOf(text);
    EXPECT_NE(blocks[0].text.find("  Usage:   1.0%\n"), std::string::npos);
    EXPECT_NE(blocks[1].text.find("  Usage:   1.0%\n"), std::string::npos);
    EXPECT_EQ(chartRowsOf(blocks[0].text), std::vector<std::string>(10, "▐" + sp(48)));
}

TEST_F(LineCharts, DollarLeavesOutEmptyCharts) {
    const std::vector<Session> onlyIn = {{at(0, 0, 0), 900, incoming | normal, 10, 10}};
    const std::uint8_t tio = BusyMask::busy | BusyMask::incoming | BusyMask::outgoing;
    addLine(lineWith(tio | BusyMask::skipEmpty), collected(HistoryType::plain28, onlyIn));
    addLine(lineWith(tio), collected(HistoryType::plain28, onlyIn));
    const std::string text = charts();
    EXPECT_EQ(titlesOf(text), (std::vector<std::string>{
                                  "Line 1 - Busy Histogram", "Line 2 - Busy Histogram",
                                  "Line 1 - Incoming Histogram", "Line 2 - Incoming Histogram",
                                  "Line 2 - Outgoing Histogram"}));
    // Without '$' the empty chart is drawn, with a 0 % share of the time online.
    const std::string e = emptyRow;
    EXPECT_EQ(blocksOf(text)[4].text,
              sp(26) + "Line 2 - Outgoing Histogram\n" +           //
                  head + "      Outgoing\n" +                      //
                  b15 + e + "      Time\n" +                       //
                  "   Outgoing    " + e + "\n" +                   //
                  "   Sessions    " + e + "  Total Out:\n" +       //
                  b15 + e + "        0:00:00\n" +                  //
                  " Total:     0  " + e + "  " + rule13 + "\n" +   //
                  " " + rule12 + "  " + e + "  Protected:\n" +     //
                  " Protect: N/A  " + e + "            N/A\n" +    //
                  " UnProt:  N/A  " + e + "  UnProtected:\n" +     //
                  " " + rule12 + "  " + e + "            N/A\n" +  //
                  " Aborted:   0  " + e + "  " + rule13 + "\n" +   //
                  bottomC2 + "  % of time\n" +                     //
                  labels24 + "  online:    0%\n\n");
}

TEST_F(LineCharts, TitlesNumberEveryConfiguredLine) {
    // Three lines, the second of which could not be opened: its block is
    // drawn from zero figures, and the third line is still number 3.
    const std::vector<Session> one = {{at(0, 0, 0), 900, incoming | normal, 10, 10}};
    addLine(lineWith(BusyMask::busy), collected(HistoryType::plain28, one));
    addLine(lineWith(BusyMask::busy), notOpened());
    addLine(lineWith(BusyMask::busy), collected(HistoryType::plain28, one));
    const std::string text = charts();
    ASSERT_EQ(titlesOf(text),
              (std::vector<std::string>{"Line 1 - Busy Histogram", "Line 2 - Busy Histogram",
                                        "Line 3 - Busy Histogram"}));
    const std::string e = emptyRow;
    EXPECT_EQ(blocksOf(text)[1].text,
              sp(28) + "Line 2 - Busy Histogram\n" +                //
                  head + "    Rcvd:       0\n" +                    //
                  b15 + e + "  Sent:       0\n" +                   //
                  "   Sessions    " + e + "  " + rule13 + "\n" +    //
                  b15 + e + "  Average\n" +                         //
                  " Total:     0  " + e + "  CPS:        0\n" +     //
                  " " + rule12 + "  " + e + "  " + rule13 + "\n" +  //
                  " In:        0  " + e + "  Time Online:\n" +      //
                  " Out:       0  " + e + "        0:00:00\n" +     //
                  " " + rule12 + "  " + e + "  " + rule13 + "\n" +  //
                  " Aborted:   0  " + e + "  In:   0:00:00\n" +     //
                  b15 + e + "  Out:  0:00:00\n" +                   //
                  bottomC2 + "  " + rule13 + "\n" +                 //
                  labels24 + "  Usage:     0%\n\n");

    // With '$' the unopened line's block goes; the numbers stay.
    run.config.lines[1].busyHistMask |= BusyMask::skipEmpty;
    EXPECT_EQ(titlesOf(charts()),
              (std::vector<std::string>{"Line 1 - Busy Histogram", "Line 3 - Busy Histogram"}));
}

TEST_F(LineCharts, OneOpenedLineGivesUnnumberedTitles) {
    addLine(lineWith(BusyMask::busy), notOpened());
    addLine(lineWith(BusyMask::busy),
            collected(HistoryType::plain28, {{at(0, 0, 0), 900, incoming | normal}}));
    const std::string text = charts();
    EXPECT_EQ(titlesOf(text), (std::vector<std::string>{"Busy Histogram", "Busy Histogram"}));
    EXPECT_EQ(text.substr(0, 48), sp(33) + "Busy Histogram\n");
}

TEST_F(LineCharts, NamedLinesCentreTheirTitles) {
    Line named = lineWith(BusyMask::busy | BusyMask::incoming);
    named.hasName = true;
    named.name = "Узел Москва";  // 11 characters, 21 bytes
    named.nameWidth = 11;
    addLine(named, collected(HistoryType::plain28, {}));
    Line wide = lineWith(BusyMask::busy);
    wide.hasName = true;
    wide.name = std::string(61, 'x');  // 61 + 4 + 13 = 78: one blank
    wide.nameWidth = 61;
    addLine(wide, collected(HistoryType::plain28, {}));
    Line wider = wide;
    wider.name = std::string(62, 'y');  // 79: no blank
    wider.nameWidth = 62;
    addLine(wider, collected(HistoryType::plain28, {}));

    std::vector<std::string> titleLines;
    for (const Block& b : blocksOf(charts()))
        titleLines.push_back(b.text.substr(0, b.text.find('\n')));
    EXPECT_EQ(titleLines,
              (std::vector<std::string>{sp(26) + "Узел Москва - Busy Histogram",
                                        " " + std::string(61, 'x') + " - Busy Histogram",
                                        std::string(62, 'y') + " - Busy Histogram",
                                        sp(24) + "Узел Москва - Incoming Histogram"}));
}

TEST_F(LineCharts, ProtectedChartsNeedTypeOneOrProtectedSessions) {
    const std::uint8_t pu = BusyMask::protectedOnly | BusyMask::unprotected;
    const std::vector<Session> plain = {{at(0, 0, 0), 900, incoming | normal}};
    addLine(lineWith(pu, HistoryType::long100), collected(HistoryType::long100, plain));
    addLine(lineWith(pu, HistoryType::status64), collected(HistoryType::status64, plain));
    addLine(lineWith(pu), collected(HistoryType::plain28,
                                    {{at(0, 0, 0), 900, incoming | normal | protectedSession}}));
    addLine(lineWith(pu), notOpened());
    EXPECT_EQ(titlesOf(charts()),
              (std::vector<std::string>{
                  "Line 1 - Protected Histogram", "Line 3 - Protected Histogram",
                  "Line 1 - UnProtected Histogram", "Line 3 - UnProtected Histogram"}));
}

TEST_F(LineCharts, UsageCountsTheWindowNotTheChartSpan) {
    // 08:00-13:00 is 5 hours drawn on the 6-hour layout (225 s slots).
    useWindow(5, 8);
    addLine(
        lineWith(BusyMask::busy),
        collected(HistoryType::plain28, {{0, 225, incoming | normal, 1, 1}}, chooseChartLayout(6)));
    const std::vector<Block> blocks = blocksOf(charts());
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(chartRowsOf(blocks[0].text), std::vector<std::string>(10, "▐" + sp(48)));
    // 225 of 5 × 3600 s; the labels run 8 to 14 under the 6-hour ruler.
    EXPECT_NE(blocks[0].text.find("\n" + bottomC2 + "  " + rule13 +
                                  "\n               8       9      10      11      12      13"
                                  "      14  Usage:   1.2%\n\n"),
              std::string::npos)
        << blocks[0].text;
}

}  // namespace
}  // namespace rv
