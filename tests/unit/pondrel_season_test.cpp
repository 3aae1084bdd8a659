// pondrel's From/To lines show the first and last counted records as their
// history shows them, also when the run falls in the other season than the
// records: the record times are compared after a conversion with the run's
// daylight-saving flag, which puts a summer session an hour off in winter.
#include <gtest/gtest.h>

#include "captured_stream.h"
#include "core/byte_source.h"
#include "pondrel/pondrel_run.h"
#include "ravlog_runs.h"
#include "time_zone_scope.h"
#include "tools/history_writer.h"

namespace rv {
namespace {

using testing::CapturedStream;
using testing::TimeZoneScope;

std::vector<std::uint8_t> historyOf(std::initializer_list<std::uint32_t> starts) {
    histgen::HistoryWriter writer(HistoryType::plain28);
    for (std::uint32_t start : starts) {
        SessionRecord r;
        r.address = {2, 5020, 100, 0};
        r.startTime = start;
        r.duration = 60;
        r.bytesReceived = 1000;
        r.flags = SessionFlags::incoming | SessionFlags::normal;
        writer.session(r);
    }
    return writer.bytes();
}

std::string reportAt(std::time_t now, const std::vector<std::uint8_t>& history) {
    MemoryOpener files;
    const std::string config = "[COMMON]\nAddr 2:*\n[LINE]\nHistory a.his\n";
    files.add("ravlog.ctl", std::vector<std::uint8_t>(config.begin(), config.end()));
    files.add("a.his", history);
    CapturedStream warnings, out;
    pondrel::Run run(now, warnings.get());
    Stop stop = pondrel::runPondrel(run, {}, files, out.get());
    EXPECT_FALSE(stop) << (stop ? stop->message : "");
    return out.text();
}

TEST(PondrelSeason, PeriodLinesShowTheHistoryClockInEitherSeason) {
    if (!testing::hasZoneData("Europe/Berlin")) GTEST_SKIP() << "no zone data for Europe/Berlin";
    TimeZoneScope zone("Europe/Berlin");
    // Sessions at 12:00:00 on 1 July and 18:30:00 on 2 July 2024, wall clock.
    const auto history =
        historyOf({histgen::utcSeconds(2024, 7, 1, 12), histgen::utcSeconds(2024, 7, 2, 18, 30)});
    const std::time_t winterRun = 1733659200;  // 8 December 2024, 12:00 UTC
    const std::time_t summerRun = 1720180800;  // 5 July 2024, 12:00 UTC
    for (std::time_t now : {winterRun, summerRun}) {
        const std::string report = reportAt(now, history);
        EXPECT_NE(report.find("From: 12:00:00, 01 July 2024, Monday\n"), std::string::npos)
            << report;
        EXPECT_NE(report.find("To  : 18:30:00, 02 July 2024, Tuesday\n"), std::string::npos)
            << report;
    }
}

}  // namespace
}  // namespace rv
