#include "cli/file_report.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

namespace velanox::cli {
namespace {

TEST(JsonReport, EscapesAndReplacesWhatIsNotText) {
    EXPECT_EQ(jsonString("a\"b\\c\n\t\x01"), "\"a\\\"b\\\\c\\n\\t\\u0001\"");
    EXPECT_EQ(jsonString("caf\xc3\xa9"), "\"caf\xc3\xa9\"");
    // A lone continuation byte and a truncated sequence each become U+FFFD.
    const auto parsed = nlohmann::json::parse(jsonString("a\x80z\xe2\x82"));
    EXPECT_EQ(parsed.get<std::string>(), "a\xef\xbf\xbdz\xef\xbf\xbd");
}

TEST(JsonReport, OneObjectPerFileWithItsKeysInOrder) {
    FileReport report;
    report.input = "in/p\xff.png";
    report.width = 40;
    report.height = 30;
    report.format = "PNG";
    report.seconds = 1.23456;
    report.status = FileStatus::Skipped;
    report.message = "exists";
    const std::string line = jsonLine(report, false);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.rfind("{\"input\":", 0), 0u);
    const auto o = nlohmann::ordered_json::parse(line);
    std::vector<std::string> keys;
    for (const auto& item : o.items())
        keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"input", "output", "width", "height", "format",
                                              "seconds", "status", "message"}));
    EXPECT_TRUE(o["output"].is_null());
    EXPECT_EQ(o["seconds"].get<double>(), 1.235);
    EXPECT_EQ(o["status"], "skipped");
    EXPECT_EQ(o["input"], "in/p\xef\xbf\xbd.png");

    report.output = "out/p_NR.png";
    report.info = "40 x 30";
    const auto withInfo = nlohmann::json::parse(jsonLine(report, true));
    EXPECT_EQ(withInfo["output"], "out/p_NR.png");
    EXPECT_EQ(withInfo["info"], "40 x 30");
}

} // namespace
} // namespace velanox::cli
