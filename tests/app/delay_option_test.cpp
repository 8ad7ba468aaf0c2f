// -delay, XScreenSaver's frame spacing in microseconds: its range edges on the command
// line, and the settings dialog's slider passes values inside that range.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>

#include "test_support.h"

TEST(DelayOption, RangeEdgesAreAcceptedAndValuesBeyondRefusedWithTheRange) {
    testsupport::TempDir dir;
    std::map<std::string, std::string> env = {{"XDG_CONFIG_HOME", dir / "config"}, {"DISPLAY", ""}};
    struct {
        const char* value;
        int status;
    } cases[] = {{"0", 0}, {"1000000", 0}, {"-1", 2}, {"1000001", 2}, {"20ms", 2}, {"", 2}};
    for (const auto& c : cases) {
        testsupport::RunResult r =
            testsupport::Run({testsupport::BinDir() + "/reefmere", "-delay", c.value, "--help"}, env, 30.0);
        EXPECT_EQ(r.exitCode, c.status) << c.value << ": " << r.output;
        if (c.status == 2) {
            EXPECT_NE(r.output.find("0 to 1000000 microseconds"), std::string::npos) << r.output;
        }
    }
    // The dialog's slider: low and high inside what the command line takes.
    std::string xml = testsupport::ReadText(testsupport::SourceDir() + "/packaging/reefmere.xml");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(xml, m, std::regex(R"re(arg="-delay %"[^>]*low="(\d+)" high="(\d+)")re")));
    EXPECT_GE(std::stol(m[1]), 0);
    EXPECT_LE(std::stol(m[2]), 1000000);
}
