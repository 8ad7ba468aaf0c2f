// reefmere handed hostile surroundings: a FIFO named like a picture under a full-screen
// window that must still quit on Esc, an X server that dies under it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

using testsupport::TempDir;

namespace {

std::string Reefmere() { return testsupport::BinDir() + "/reefmere"; }

std::map<std::string, std::string> IsolatedEnv(const TempDir& dir) {
    return {{"XDG_CONFIG_HOME", dir / "config"},
            {"XDG_DATA_HOME", dir / "data"},
            {"DISPLAY", ""},
            {"HOME", dir.path()},
            {"SDL_AUDIODRIVER", "dummy"}};
}

}  // namespace

// Esc must still end a full-screen run whose picture folder holds a FIFO named like a picture.
TEST(HostileProgram, FifoPicturesNeitherHangNorLockTheFullScreenWindow) {
    testsupport::Xvfb xvfb(640, 480);
    ASSERT_TRUE(xvfb.ok());
    TempDir dir;
    mkdir((dir / "pics").c_str(), 0700);
    ASSERT_EQ(mkfifo((dir / "pics/a.jpg").c_str(), 0600), 0);
    auto env = IsolatedEnv(dir);
    env["DISPLAY"] = xvfb.display();
#if defined(__SANITIZE_ADDRESS__)
    env["ASAN_OPTIONS"] = "detect_leaks=0:abort_on_error=1:halt_on_error=1";  // Mesa's GLX driver
#endif
    testsupport::Process p;
    ASSERT_TRUE(p.Start({Reefmere(), "--window", "--fullscreen", "--defaults", "--no-play-sound", "--bg-type", "2",
                         "--bg-path", dir / "pics"},
                        env));
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
// runs; an X server that dies (Xlib then exits the process) must not leave it behind.
TEST(HostileProgram, ConvertedDesktopPictureGoesWithTheXServer) {
    auto xvfb = std::make_unique<testsupport::Xvfb>(320, 240);
    ASSERT_TRUE(xvfb->ok());
    TempDir dir;
    std::string xfce = dir / "config/xfce4/xfconf/xfce-perchannel-xml";
    ASSERT_EQ(testsupport::Run({"mkdir", "-p", xfce, dir / "run"}).exitCode, 0);
    ASSERT_TRUE(testsupport::WriteFile(dir / "wall.svg",
                                       "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"32\">"
                                       "<rect width=\"64\" height=\"32\" fill=\"#2060a0\"/></svg>"));
    ASSERT_TRUE(testsupport::WriteFile(
        xfce + "/xfce4-desktop.xml",
        "<channel><property name=\"last-image\" type=\"string\" value=\"" + dir / "wall.svg" + "\"/></channel>"));
    auto env = IsolatedEnv(dir);
    env["DISPLAY"] = xvfb->display();
    env["XDG_CURRENT_DESKTOP"] = "XFCE";
    env["XDG_RUNTIME_DIR"] = dir / "run";
#if defined(__SANITIZE_ADDRESS__)
    env["ASAN_OPTIONS"] = "detect_leaks=0:abort_on_error=1:halt_on_error=1";  // Mesa's GLX driver
#endif
    testsupport::Process p;
    ASSERT_TRUE(p.Start({Reefmere(), "--window", "200x150", "--defaults", "--no-play-sound", "--bg-type", "1"}, env));
    auto runEntries = [&dir] { return testsupport::Run({"/bin/sh", "-c", "ls " + dir / "run"}).output; };
    for (int i = 0; i < 300 && runEntries().find("reefmere-desktop-") == std::string::npos; i++) usleep(100000);
    ASSERT_NE(runEntries().find("reefmere-desktop-"), std::string::npos) << p.Output();
    xvfb.reset();  // the X server goes away under the running saver
    p.Stop(0, 20.0);
    EXPECT_EQ(runEntries().find("reefmere-desktop-"), std::string::npos) << runEntries();
}
