// reefmere handed hostile surroundings: a FIFO named like a picture under a full-screen
// window that must still quit on Esc, an X server that dies under it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

using testsupport::PrivateHome;
using testsupport::Program;

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
