// reefmere's own options as a user meets them: --version, -h, values out of range refused
// with the range named, and a stored fish size past the range still shows fish.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_support.h"

using testsupport::TempDir;

TEST(ReefmereOptions, VersionHelpAndRangesAsAUserMeetsThem) {
    TempDir dir;
    std::map<std::string, std::string> env = {
        {"XDG_CONFIG_HOME", dir / "config"}, {"XDG_DATA_HOME", dir / "data"}, {"DISPLAY", ""}};
    std::string reefmere = testsupport::BinDir() + "/reefmere";
    testsupport::RunResult r = testsupport::Run({reefmere, "--version"}, env, 30);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output.rfind("reefmere 1.", 0), 0u) << r.output;
    r = testsupport::Run({reefmere, "-h"}, env, 30);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("--fish-size N"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("-geometry"), std::string::npos);

    const struct {
        std::vector<std::string> args;
        const char* says;
    } refused[] = {{{"--volume", "500"}, "(0 to 100)"},
                   {{"--bg-type", "9"}, "(0 to 2)"},
                   {{"--max-fish", "0"}, "(1 to 3)"},
                   {{"--water-res=30"}, "(5 to 6)"},
                   {{"--fish-size", "200"}, "(50 to 150)"},
                   {{"-geometry", "640x"}, "bad value"}};
    for (const auto& c : refused) {
        std::vector<std::string> argv = {reefmere, "--headless", "--snapshot", dir / "x.png"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        r = testsupport::Run(argv, env, 30);
        EXPECT_EQ(r.exitCode, 2) << c.args[0];
        EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
    }

    // Stored by an older dialog: 200 divided the species scale by zero. Now limited.
    ASSERT_EQ(mkdir((dir / "config").c_str(), 0700), 0);
    ASSERT_TRUE(testsupport::WriteFile(dir / "config/kpFishSS.plist",
                                       "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                                       "<key>version</key><string>1.7</string>"
                                       "<key>FishSize</key><integer>200</integer>"
                                       "<key>MaxFish</key><integer>3</integer></dict></plist>"));
    r = testsupport::Run({reefmere, "--headless", "--size", "160x90", "--seconds", "0.5", "--snapshot",
                          dir / "big.png", "--seed", "4"},
                         env, 120);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("\"FishSize\" 200 is outside 50 to 150; using 150"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("no fish species"), std::string::npos) << r.output;
}
