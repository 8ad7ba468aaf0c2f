// reefmere run as a program: headless frames and snapshot, the command line's errors and
// help, an unwritable preference store.
#include <gtest/gtest.h>
#include <stb_image.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"

using testsupport::PrivateHome;
using testsupport::Program;

namespace {

// Decodes an opaque RGB frame of the given size; the number of pixels that are not black.
int LitPixels(const std::string& path, int w, int h) {
    int pw = 0, ph = 0, channels = 0;
    std::vector<uint8_t> px = testsupport::LoadImageRGBA(path, &pw, &ph);
    EXPECT_EQ(pw, w) << path;
    EXPECT_EQ(ph, h) << path;
    EXPECT_TRUE(stbi_info(path.c_str(), &pw, &ph, &channels) && channels == 3) << path;
    int lit = 0;
    for (size_t i = 0; i + 3 < px.size(); i += 4) lit += (px[i] | px[i + 1] | px[i + 2]) ? 1 : 0;
    return lit;
}

}  // namespace

TEST(ReefmereProgram, HeadlessWritesFramesAndASnapshot) {
    PrivateHome home;
    testsupport::RunResult r =
        testsupport::Run({Program("reefmere"), "--headless", "--size", "160x120", "--seconds", "1.6", "--out",
                          home / "frames", "--every", "0.5", "--snapshot", home / "last.png", "--seed", "3"},
                         home.Env(), 120.0);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    // Frames at 0.5, 1.0 and 1.5 s of scene time.
    for (int i = 1; i <= 3; i++) {
        char name[32];
        snprintf(name, sizeof name, "/frame-%04d.png", i);
        LitPixels(home / "frames" + name, 160, 120);
    }
    EXPECT_FALSE(testsupport::FileExists(home / "frames/frame-0004.png"));
    EXPECT_GT(LitPixels(home / "last.png", 160, 120), 160 * 120 / 2);
    EXPECT_TRUE(testsupport::FileExists(home.StorePath()));  // first run: the defaults written

    // --defaults leaves the store alone.
    PrivateHome other;
    r = testsupport::Run({Program("reefmere"), "--headless", "--defaults", "--size", "64x48", "--seconds", "0.2",
                          "--snapshot", other / "s.png", "--max-fish", "1", "--no-caustic"},
                         other.Env(), 120.0);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(testsupport::FileExists(other / "s.png"));
    EXPECT_FALSE(testsupport::FileExists(other.StorePath()));
}

TEST(ReefmereProgram, BadArgumentsAreRefusedWithAReason) {
    PrivateHome home;
    const std::string out = home / "f";
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"--headless", "--size", "0x10", "--out", out}, "--size"},
        {{"--headless", "--size", "64x16385", "--out", out}, "--size"},
        {{"--headless", "--size", "16385x64", "--out", out}, "--size"},
        {{"--headless", "--seconds", "-1", "--out", out}, "--seconds"},
        {{"--headless", "--seconds"}, "--seconds"},
        {{"--headless"}, "--out"},
        {{"--frobnicate"}, "unknown"},
        {{}, "no display"},
        {{"--max-fish", "0", "--headless", "--out", out}, "(1 to 3)"},  // out of range: names the range
        {{"-geometry", "640x", "--headless", "--out", out}, "bad value"},
        {{"-delay", "1000001", "--help"}, "0 to 1000000 microseconds"},
        {{"-delay", "20ms", "--help"}, "0 to 1000000 microseconds"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {Program("reefmere")};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        testsupport::RunResult r = testsupport::Run(argv, home.Env(), 60.0);
        EXPECT_EQ(r.exitCode, 2) << c.args.back() << ": " << r.output;
        EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
    }
    EXPECT_FALSE(testsupport::FileExists(out));
    testsupport::RunResult help =
        testsupport::Run({Program("reefmere"), "-delay", "0", "-delay", "1000000", "-h"}, home.Env(), 60.0);
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"--headless", "--window", "--max-fish N", "--no-caustic", "--bg-path TEXT", "-window-id"})
        EXPECT_NE(help.output.find(word), std::string::npos) << word;
    testsupport::RunResult version = testsupport::Run({Program("reefmere"), "--version"}, home.Env(), 60.0);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output.rfind("reefmere 1.", 0), 0u) << version.output;
}

// Out-of-range stores are limited as they load: tests/view/preferences_test.cpp.
TEST(ReefmereProgram, AnUnwritableStoreStillRenders) {
    PrivateHome home;
    testsupport::WriteFile(home.ConfigDir(), std::string("a file where the folder should be"));
    testsupport::RunResult r = testsupport::Run(
        {Program("reefmere"), "--headless", "--size", "64x48", "--seconds", "0.6", "--out", home / "f"}, home.Env(),
        120.0);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("cannot write preferences"), std::string::npos) << r.output;
    EXPECT_TRUE(testsupport::FileExists(home / "f/frame-0001.png"));
}
