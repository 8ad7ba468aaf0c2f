// reefmere run as a program: headless frames and snapshot, the command line's errors
// and help, a broken preference store, and the window under a private Xvfb.
#include <gtest/gtest.h>
#include <stb_image.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "test_support.h"

using testsupport::TempDir;

namespace {

std::string Reefmere() { return testsupport::BinDir() + "/reefmere"; }

std::map<std::string, std::string> IsolatedEnv(const TempDir& dir) {
    return {{"XDG_CONFIG_HOME", dir / "config"}, {"XDG_DATA_HOME", dir / "data"}, {"DISPLAY", ""}};
}

// Decodes a PNG and checks its size; returns the number of pixels that are not black.
int DecodeAndCountLit(const std::string& path, int w, int h) {
    int pw = 0, ph = 0;
    std::vector<uint8_t> px = testsupport::LoadImageRGBA(path, &pw, &ph);
    EXPECT_FALSE(px.empty()) << path;
    EXPECT_EQ(pw, w) << path;
    EXPECT_EQ(ph, h) << path;
    // Frames are what a screen shows: opaque RGB, no alpha holes under translucent fins.
    int iw = 0, ih = 0, channels = 0;
    EXPECT_TRUE(stbi_info(path.c_str(), &iw, &ih, &channels)) << path;
    EXPECT_EQ(channels, 3) << path;
    int lit = 0;
    for (size_t i = 0; i + 3 < px.size(); i += 4) lit += (px[i] | px[i + 1] | px[i + 2]) ? 1 : 0;
    return lit;
}

}  // namespace

TEST(ReefmereProgram, HeadlessWritesDecodableFramesAndASnapshot) {
    TempDir dir;
    std::string out = dir / "frames";
    std::string snap = dir / "last.png";
    testsupport::RunResult r = testsupport::Run(
        {Reefmere(), "--headless", "--size", "160x120", "--seconds", "1.6", "--out", out, "--every", "0.5",
         "--snapshot", snap, "--seed", "3"},
        IsolatedEnv(dir), 120.0);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    // Frames at 0.5, 1.0 and 1.5 s of scene time.
    for (int i = 1; i <= 3; i++) {
        char name[32];
        snprintf(name, sizeof name, "/frame-%04d.png", i);
        ASSERT_TRUE(testsupport::FileExists(out + name)) << r.output;
        DecodeAndCountLit(out + name, 160, 120);
    }
    EXPECT_FALSE(testsupport::FileExists(out + "/frame-0004.png"));
    ASSERT_TRUE(testsupport::FileExists(snap));
    EXPECT_GT(DecodeAndCountLit(snap, 160, 120), 0) << "the snapshot is all black";
    // First run: the store was written with its defaults.
    EXPECT_TRUE(testsupport::FileExists(dir / "config/kpFishSS.plist"));
}

TEST(ReefmereProgram, DefaultsFlagLeavesTheStoreAloneAndOverridesApply) {
    TempDir dir;
    testsupport::RunResult r = testsupport::Run({Reefmere(), "--headless", "--defaults", "--size", "64x48",
                                                 "--seconds", "0.2", "--snapshot", dir / "s.png", "--max-fish",
                                                 "1", "--no-caustic", "--low-cpu"},
                                                IsolatedEnv(dir), 120.0);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(testsupport::FileExists(dir / "s.png"));
    EXPECT_FALSE(testsupport::FileExists(dir / "config/kpFishSS.plist"));
}

TEST(ReefmereProgram, BadArgumentsAreRefusedWithAReason) {
    TempDir dir;
    struct Case {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"--headless", "--size", "0x10", "--out", dir / "f"}, "--size"},
        {{"--headless", "--size", "12by4", "--out", dir / "f"}, "--size"},
        {{"--headless", "--seconds", "-1", "--out", dir / "f"}, "--seconds"},
        {{"--headless", "--seconds"}, "--seconds"},
        {{"--headless"}, "--out"},
        {{"--frobnicate"}, "unknown"},
        {{"--max-fish", "many", "--headless", "--out", dir / "f"}, "max-fish"},
        {{}, "no display"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = {Reefmere()};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        testsupport::RunResult r = testsupport::Run(argv, IsolatedEnv(dir), 60.0);
        EXPECT_EQ(r.exitCode, 2) << c.says << ": " << r.output;
        EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
    }
    EXPECT_FALSE(testsupport::FileExists(dir / "f"));
    testsupport::RunResult help = testsupport::Run({Reefmere(), "--help"}, IsolatedEnv(dir), 60.0);
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"--headless", "--window", "--snapshot", "--every", "--max-fish N", "--low-cpu", "--no-caustic",
                             "--bg-path TEXT", "-window-id", "--main-monitor-only"})
        EXPECT_NE(help.output.find(word), std::string::npos) << word;
}

TEST(ReefmereProgram, CorruptOrUnwritableStoreStillRenders) {
    TempDir dir;
    testsupport::WriteFile(dir / "config", std::string("a file where the folder should be"));
    testsupport::RunResult r = testsupport::Run(
        {Reefmere(), "--headless", "--size", "64x48", "--seconds", "0.6", "--out", dir / "f"}, IsolatedEnv(dir), 120.0);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("cannot write preferences"), std::string::npos) << r.output;
    EXPECT_TRUE(testsupport::FileExists(dir / "f/frame-0001.png"));

    TempDir dir2;
    mkdir((dir2 / "config").c_str(), 0700);
    testsupport::WriteFile(dir2 / "config/kpFishSS.plist", std::string("\x00\x01garbage", 9));
    r = testsupport::Run({Reefmere(), "--headless", "--size", "64x48", "--seconds", "0.6", "--out", dir2 / "f"},
                         IsolatedEnv(dir2), 120.0);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("kept a copy"), std::string::npos) << r.output;
}

TEST(ReefmereProgram, WindowOpensUnderXvfbAndQuits) {
    testsupport::Xvfb xvfb(640, 480);
    ASSERT_TRUE(xvfb.ok());
    TempDir dir;
    auto env = IsolatedEnv(dir);
    env["DISPLAY"] = xvfb.display();
    env["SDL_AUDIODRIVER"] = "dummy";
#if defined(__SANITIZE_ADDRESS__)
    // Mesa's GLX driver is unloaded before the leak check, so its small blocks cannot be
    // suppressed by name: the window process checks memory errors, not leaks (the
    // headless runs above and the in-process view tests do check leaks).
    env["ASAN_OPTIONS"] = "detect_leaks=0:abort_on_error=1:halt_on_error=1";
#endif

    // Ends by itself after --seconds.
    testsupport::RunResult r =
        testsupport::Run({Reefmere(), "--window", "320x200", "--seconds", "1", "--no-play-sound"}, env, 60.0);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_FALSE(r.timedOut);

    // Runs until told to stop; the window exists meanwhile.
    testsupport::Process p;
    ASSERT_TRUE(p.Start({Reefmere(), "--window", "300x200"}, env));
    bool seen = false;
    for (int i = 0; i < 100 && !seen; i++) {
        testsupport::RunResult w = testsupport::Run({"xwininfo", "-name", "Reefmere"}, {{"DISPLAY", xvfb.display()}}, 10);
        seen = w.output.find("IsViewable") != std::string::npos;
        if (!seen) usleep(100000);
    }
    EXPECT_TRUE(seen) << p.Output();
    EXPECT_TRUE(p.Running());
    EXPECT_EQ(p.Stop(SIGTERM, 30.0), 0) << p.Output();
}
