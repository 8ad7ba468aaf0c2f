// reefmere run as a program: headless frames and snapshot, the command line's errors and
// help, an unwritable preference store; then hostile surroundings: a FIFO named like a
// picture under a full-screen window that must still quit on Esc, an X server that dies.
#include <gtest/gtest.h>
#include <signal.h>
#include <stb_image.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
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
    EXPECT_EQ(std::make_pair(pw, ph), std::make_pair(w, h)) << path;
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
    for (int i = 1; i <= 3; i++) LitPixels(home / "frames/frame-000" + std::to_string(i) + ".png", 160, 120);
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

// Esc must still end a full-screen run whose picture folder holds a FIFO named like a picture.
TEST(HostileProgram, FifoPicturesNeitherHangNorLockTheFullScreenWindow) {
    testsupport::Xvfb xvfb(640, 480);
    ASSERT_TRUE(xvfb.ok());
    PrivateHome home;
    mkdir((home / "pics").c_str(), 0700);
    ASSERT_EQ(mkfifo((home / "pics/a.jpg").c_str(), 0600), 0);
    testsupport::Process p;
    ASSERT_TRUE(p.Start({Program("reefmere"), "--window", "--fullscreen", "--defaults", "--no-play-sound", "--bg-type",
                         "2", "--bg-path", home / "pics"},
                        home.Env(xvfb.display())));
    // Once the full-screen window (no name, 640x480 at 0,0) is viewable: Esc, as a person would press it.
    testsupport::RunResult key = testsupport::Run(
        {"/bin/sh", "-c",
         "for i in $(seq 300); do id=$(xwininfo -root -children | awk '/640x480\\+0\\+0/{print $1; exit}'); "
         "[ -n \"$id\" ] && xwininfo -id $id | grep -q IsViewable && break; sleep 0.1; done; "
         "sleep 1; xdotool key Escape"},
        {{"DISPLAY", xvfb.display()}}, 60.0);
    EXPECT_EQ(key.exitCode, 0) << key.output;
    EXPECT_EQ(p.Stop(0, 20.0), 0) << p.Output();  // a kill after the wait (-1): the keyboard was dead
}

// The desktop picture converted from SVG lives in the runtime folder while the saver
// runs; it goes when the saver is ended, and when the X server dies (Xlib then exits
// the process past every cleanup).
TEST(HostileProgram, ConvertedDesktopPictureGoesWithTheSaverAndWithTheXServer) {
    auto xvfb = std::make_unique<testsupport::Xvfb>(320, 240);
    ASSERT_TRUE(xvfb->ok());
    PrivateHome home;
    std::string xfce = home.ConfigDir() + "/xfce4/xfconf/xfce-perchannel-xml";
    ASSERT_EQ(testsupport::Run({"mkdir", "-p", xfce, home / "run"}).exitCode, 0);
    ASSERT_TRUE(testsupport::WriteFile(home / "wall.svg",
                                       "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"32\">"
                                       "<rect width=\"64\" height=\"32\" fill=\"#2060a0\"/></svg>"));
    ASSERT_TRUE(testsupport::WriteFile(
        xfce + "/xfce4-desktop.xml",
        "<channel><property name=\"last-image\" type=\"string\" value=\"" + home / "wall.svg" + "\"/></channel>"));
    auto env = home.Env(xvfb->display());
    env["XDG_CURRENT_DESKTOP"] = "XFCE";
    env["XDG_RUNTIME_DIR"] = home / "run";
    const auto converted = [&home] {
        for (const std::string& n : testsupport::ListFolder(home / "run"))
            if (n.rfind("reefmere-desktop-", 0) == 0) return home / ("run/" + n);
        return std::string();
    };
    for (bool killServer : {false, true}) {
        SCOPED_TRACE(killServer ? "X server gone" : "SIGTERM");
        testsupport::Process p;
        ASSERT_TRUE(p.Start(
            {Program("reefmere"), "--window", "200x150", "--defaults", "--no-play-sound", "--bg-type", "1"}, env));
        std::vector<uint8_t> px;
        int w = 0, h = 0;
        for (int i = 0; i < 300 && (px = testsupport::LoadImageRGBA(converted(), &w, &h)).empty(); i++) usleep(100000);
        ASSERT_FALSE(px.empty()) << p.Output();
        EXPECT_EQ(std::vector<int>(px.begin(), px.begin() + 3), (std::vector<int>{0x20, 0x60, 0xa0}));
        if (killServer) xvfb.reset();  // the saver then ends by itself
        p.Stop(killServer ? 0 : SIGTERM, 20.0);
        EXPECT_EQ(converted(), "");
    }
}
