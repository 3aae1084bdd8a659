// How the data reports and pages are asked for: -f<format> of pondrel and
// brimsel, ravlog's -j<file>/JsonReport and -w<file>/HtmlReport with their
// refusal of '+', and the runs around them: brimsel's banner out of the way
// of the data, and ravlog's JSON and HTML reports written whole or not at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "brimsel/brimsel_run.h"
#include "captured_stream.h"
#include "core/config_reader.h"
#include "pondrel/options.h"
#include "ravlog/options.h"
#include "ravlog_runs.h"

namespace rv {
namespace {

using testing::CapturedStream;

std::string unknown(const std::string& arg) {
    return "Unknown option or invalid value: " + arg + "\nUse -? or --help to help\n";
}

TEST(DataOptions, FormatOfPondrelAndBrimsel) {
    const RunClock clock = makeRunClock(0);
    for (const bool dump : {false, true}) {
        const auto parse = [&](const std::string& arg, ReportFormat& format) {
            const std::vector<std::string_view> args{arg};
            if (dump) {
                brimsel::DumpSettings settings;
                const Stop stop = brimsel::parseOptions(args, settings);
                format = settings.format;
                return stop;
            }
            Configuration config;
            pondrel::Options options;
            const Stop stop = pondrel::parseOptions(args, config, options, clock, nullptr);
            format = options.format;
            return stop;
        };
        for (const auto& [arg, expected] :
             {std::pair{"-fjson", ReportFormat::json}, std::pair{"/fCSV", ReportFormat::csv},
              std::pair{"-fText", ReportFormat::text}, std::pair{"-fJsOn", ReportFormat::json}}) {
            ReportFormat format = ReportFormat::text;
            EXPECT_FALSE(parse(arg, format)) << arg;
            EXPECT_EQ(format, expected) << arg;
        }
        for (const char* bad : {"-f", "-fxml", "-fjsonl", "-f json", "-F"}) {
            ReportFormat format;
            const Stop stop = parse(bad, format);
            ASSERT_TRUE(stop) << bad;
            EXPECT_EQ(stop->message, unknown(bad));
        }
    }
}

// ravlog's options, then its configuration, as a run reads them.
struct JsonSetting {
    std::string path;
    Stop stop;
    Settings settings;
};

JsonSetting jsonSetting(const std::vector<std::string>& args, const std::string& common) {
    const RunClock clock = makeRunClock(0);
    Configuration config;
    ravlog::Options options;
    const std::vector<std::string_view> views(args.begin(), args.end());
    JsonSetting result;
    result.stop = parseOptions(views, config, options, clock, nullptr);
    if (result.stop) return result;
    const std::string text = "[COMMON]\n" + common + "[LINE]\nHISTORY a.his\n";
    auto source = memorySource(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    ConfigContext context;
    context.fixed = options.fixed;
    context.clock = &clock;
    result.stop = readConfig(*source, config, context);
    result.path = config.settings.jsonReportPath;
    result.settings = config.settings;
    return result;
}

TEST(DataOptions, JsonReportOfRavlog) {
    EXPECT_EQ(jsonSetting({}, "").path, "");
    EXPECT_EQ(jsonSetting({}, "JSONREPORT day%D.json ;comment\n").path, "day%D.json");
    EXPECT_EQ(jsonSetting({"-jx.json"}, "JsonReport day.json\n").path, "x.json");
    // A bare -j turns the keyword's report off; the keyword's '+' is then not looked at.
    EXPECT_EQ(jsonSetting({"-j"}, "JsonReport +day.json\n").path, "");
    EXPECT_EQ(jsonSetting({"-jx.json,y"}, "").path, "x.json");

    const JsonSetting keyword = jsonSetting({}, "Group Yes\nJsonReport +day.json\n");
    ASSERT_TRUE(keyword.stop);
    EXPECT_EQ(keyword.stop->message,
              "Config error, line 3: JSON report is always written whole, '+' (append) not "
              "allowed\n");
    const JsonSetting option = jsonSetting({"-j+day.json"}, "");
    ASSERT_TRUE(option.stop);
    EXPECT_EQ(option.stop->message,
              "JSON report is always written whole, '+' (append) not allowed: -j+day.json\n");
    // A keyword of [COMMON] only.
    const std::string inLine = "[LINE]\nHISTORY a.his\nJSONREPORT x.json\n";
    const JsonSetting misplaced = jsonSetting({}, "GROUP No\n" + inLine);
    ASSERT_TRUE(misplaced.stop);
    EXPECT_EQ(misplaced.stop->message,
              "Config error, line 5: parameter not allowed in [LINE] section\n");
}

// The JSON and the HTML report take their names alike.
TEST(DataOptions, WholeReportsOfRavlog) {
    struct Report {
        std::string option, keyword, name;
        std::string Settings::*path;
    };
    for (const Report& r : {Report{"-j", "JsonReport", "JSON", &Settings::jsonReportPath},
                            Report{"-w", "HtmlReport", "HTML", &Settings::htmlReportPath}}) {
        const auto path = [&](std::vector<std::string> args, const std::string& common) {
            const JsonSetting s = jsonSetting(args, common);
            EXPECT_FALSE(s.stop) << r.option << ": " << s.stop->message;
            return s.settings.*r.path;
        };
        EXPECT_EQ(path({}, ""), "") << r.name;
        EXPECT_EQ(path({}, r.keyword + " day%D.x ;comment\n"), "day%D.x") << r.name;
        EXPECT_EQ(path({r.option + "x.x"}, r.keyword + " day.x\n"), "x.x") << r.name;
        EXPECT_EQ(path({r.option}, r.keyword + " +day.x\n"), "") << r.name;
        // Each keyword sets its own report only.
        EXPECT_EQ(path({}, "JsonReport a.json\nHtmlReport a.html\n"),
                  r.name == "JSON" ? "a.json" : "a.html");
        const std::string refusal =
            r.name + " report is always written whole, '+' (append) not allowed";
        const JsonSetting keyword = jsonSetting({}, "Group Yes\n" + r.keyword + " +day.x\n");
        ASSERT_TRUE(keyword.stop) << r.name;
        EXPECT_EQ(keyword.stop->message, "Config error, line 3: " + refusal + "\n");
        const JsonSetting option = jsonSetting({r.option + "+day.x"}, "");
        ASSERT_TRUE(option.stop) << r.name;
        EXPECT_EQ(option.stop->message, refusal + ": " + r.option + "+day.x\n");
        const JsonSetting misplaced =
            jsonSetting({}, "[LINE]\nHISTORY a.his\n" + r.keyword + " x\n");
        ASSERT_TRUE(misplaced.stop) << r.name;
        EXPECT_EQ(misplaced.stop->message,
                  "Config error, line 4: parameter not allowed in [LINE] section\n");
    }
    // pondrel writes a page where its text would go; brimsel's dump is none.
    const RunClock clock = makeRunClock(0);
    Configuration config;
    pondrel::Options options;
    EXPECT_FALSE(pondrel::parseOptions({"-fHtml"}, config, options, clock, nullptr));
    EXPECT_EQ(options.format, ReportFormat::html);
    brimsel::DumpSettings settings;
    const Stop refused = brimsel::parseOptions({"-fhtml"}, settings);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->message, unknown("-fhtml"));
}

TEST(DataOptions, BrimselBannerLeavesTheDataAlone) {
    MemoryOpener opener;
    const std::string config = "[LINE]\nHISTORY a.his\n";
    opener.add("ravlog.ctl", std::vector<std::uint8_t>(config.begin(), config.end()));
    opener.add("a.his", std::vector<std::uint8_t>(28, 0));  // one record, zone 0
    for (const char* format : {"-ftext", "-fjson", "-fcsv"}) {
        CapturedStream out, err;
        brimsel::DumpSettings settings;
        const Stop stop = brimsel::runBrimsel(settings, {format}, opener, 0, out.get(), err.get());
        EXPECT_FALSE(stop) << format;
        const bool text = std::string(format) == "-ftext";
        const std::string banner = "Brimsel " RV_VERSION "/Linux - History Dump";
        EXPECT_EQ(out.text().find(banner) == 0, text) << format;
        EXPECT_EQ(err.text().find(banner) == 0, !text) << format;
        if (!text) {
            EXPECT_EQ(out.text().find("Brimsel"), std::string::npos) << format;
        }
    }
    // A refused format still gets the banner first, on standard output.
    CapturedStream out, err;
    brimsel::DumpSettings settings;
    const Stop stop = brimsel::runBrimsel(settings, {"-fxml"}, opener, 0, out.get(), err.get());
    ASSERT_TRUE(stop);
    EXPECT_EQ(out.text().find("Brimsel"), 0u);
}

TEST(DataOptionsRuns, RavlogJsonReportWholeOrNotAtAll) {
    using namespace testing;
    ScratchDir dir;
    writeHistory(dir, "a.his", HistoryType::plain28,
                 "2:5020/1 2024-03-05T10:00:00 dur=10 rcvd=100 flags=0x05\n");
    ASSERT_TRUE(
        dir.write("ravlog.ctl", std::string("[COMMON]\nADDR 2:*\n[LINE]\nHISTORY a.his\n")));
    ASSERT_TRUE(dir.write("old.json", std::string(100000, 'x')));
    ProgramResult r = testing::ravlog(dir, {"-d5.3.2024", "-jold.json"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string json = slurp(dir.file("old.json"));
    EXPECT_EQ(json.substr(0, 11), "{\"period\":{") << json.substr(0, 40);
    EXPECT_EQ(json.back(), '\n');
    EXPECT_EQ(json.find('x'), std::string::npos);  // replaced, not written over
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().rfind("old.json.", 0), std::string::npos)
            << entry.path() << " left beside the report";

    r = testing::ravlog(dir, {"-d5.3.2024", "-jno/such/dir/x.json"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_NE(r.err.find("Can't open no/such/dir/x.json"), std::string::npos) << r.err;

    // The page is written whole the same way; a write that fails fails the run.
    ASSERT_TRUE(dir.write("old.html", std::string(100000, 'x')));
    r = testing::ravlog(dir, {"-d5.3.2024", "-wold.html"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string page = slurp(dir.file("old.html"));
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u) << page.substr(0, 40);
    EXPECT_EQ(page.find("xxxxxxxx"), std::string::npos);  // replaced, not written over
    EXPECT_EQ(page.substr(page.size() - 15), "</body></html>\n");
    r = testing::ravlog(dir, {"-d5.3.2024", "-w/dev/full"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_NE(r.err.find("Can't write /dev/full: No space left on device"), std::string::npos)
        << r.err;

    // No address with a session: the JSON report is not made, like the other two.
    ASSERT_TRUE(dir.write("none.ctl", std::string("[COMMON]\nADDR 1:*\n[LINE]\nHISTORY a.his\n")));
    r = testing::ravlog(dir, {"-cnone.ctl", "-d5.3.2024", "-jnone.json", "-wnone.html"});
    EXPECT_EQ(r.status, exitFailure);
    EXPECT_FALSE(exists(dir, "none.json"));
    EXPECT_FALSE(exists(dir, "none.html"));
}

}  // namespace
}  // namespace rv
