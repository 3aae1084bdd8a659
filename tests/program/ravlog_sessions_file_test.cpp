// ravlog's sessions statistic file beyond what an expected output can hold:
// 70,000 rows. Its whole texts over small histories are expected outputs
// (tests/expected/ravlog_sessions_*).
#include <gtest/gtest.h>

#include <string>

#include "ravlog_runs.h"

namespace rv {
namespace {

using namespace testing;

// 70,000 sessions of 64 KiB each: beyond 16-bit session counts and beyond
// 4 GiB of traffic, the totals show the true figures.
TEST(RavlogSessionsFile, TotalsBeyondSixteenAndThirtyTwoBits) {
    ScratchDir dir;
    histgen::HistoryWriter writer(HistoryType::plain28);
    SessionRecord s;
    s.address = {2, 5020, 1, 0};
    s.duration = 1;
    s.bytesReceived = 65536;
    s.flags = 0x05;
    const std::uint32_t midnight = histgen::utcSeconds(2024, 3, 5);
    for (std::uint32_t i = 0; i < 70000; ++i) {
        s.startTime = midnight + i;
        writer.session(s);
    }
    ASSERT_TRUE(dir.write("big.his", writer.bytes()));
    ASSERT_TRUE(dir.write("ravlog.ctl", "[COMMON]\nADDR 2:5020/*\n[LINE]\nHISTORY big.his\n"));
    const ProgramResult r = ravlog(dir, {"-d5.3.2024"});
    EXPECT_EQ(r.status, 0);
    const std::string text = slurp(dir.file("ravlog.ses"));
    EXPECT_NE(text.find("╣\n║  00:00:00  │ In  │  2:5020/1.0        │  0:00:01 │  65536 │      0 │ "
                        " 65536 ║\n"),
              std::string::npos);
    EXPECT_NE(text.find("║  19:26:39  │ In  │  2:5020/1.0        │  0:00:01 │  65536 │      0 │ "
                        " 65536 ║\n╟"),
              std::string::npos);
    std::size_t rows = 0;
    for (std::size_t at = 0; (at = text.find("│ In  │", at)) != std::string::npos; ++at)
        ++rows;
    EXPECT_EQ(rows, 70000u);
    // 70000 × 65536 bytes = 4,587,520,000 = 4375 MiB; 70000 s = 19:26:40.
    EXPECT_NE(text.find("║   Total: 70k    In: 70k    Out:   0   │ 19:26:40 │  4375M │      0 │  "
                        "65536 ║\n"),
              std::string::npos);
}

}  // namespace
}  // namespace rv
