// reefmere handed hostile files: a deep binary preference store, FIFOs named like
// pictures (in the picture folder and in a desktop slideshow) under a full-screen window
// that must still quit on Esc, and pictures whose headers claim gigabytes.
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
    return {{"XDG_CONFIG_HOME", dir / "config"}, {"XDG_DATA_HOME", dir / "data"}, {"DISPLAY", ""},
            {"HOME", dir.path()}, {"SDL_AUDIODRIVER", "dummy"}};
}

// {"x": [[[...]]]} with 110,000 nested arrays, as a binary property list of about 1 MB.
std::vector<uint8_t> DeepBinaryStore() {
    const uint32_t depth = 110000;
    std::vector<uint8_t> b = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<uint32_t> offsets;
    auto put = [&b](uint64_t v, int n) {
        for (int i = n - 1; i >= 0; i--) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    offsets.push_back(b.size());
    b.push_back(0xD1);
    put(1, 4);
    put(2, 4);
    offsets.push_back(b.size());
    b.insert(b.end(), {0x51, 'x'});
    for (uint32_t i = 0; i < depth; i++) {
        offsets.push_back(b.size());
        b.push_back(i + 1 < depth ? 0xA1 : 0xA0);
        if (i + 1 < depth) put(i + 3, 4);
    }
    const uint64_t table = b.size();
    for (uint32_t o : offsets) put(o, 4);
    b.insert(b.end(), {0, 0, 0, 0, 0, 0, 4, 4});
    put(offsets.size(), 8);
    put(0, 8);
    put(table, 8);
    return b;
}

// A JPEG header of 17 bytes claiming 16384 x 16384 pixels, one component.
const std::vector<uint8_t> kClaimingJpeg = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x40, 0x00,
                                            0x40, 0x00, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xD9};

}  // namespace

TEST(HostileProgram, DeepBinaryStoreIsKeptAsideAndTheSaverRuns) {
    TempDir dir;
    mkdir((dir / "config").c_str(), 0700);
    const std::vector<uint8_t> deep = DeepBinaryStore();
    ASSERT_TRUE(testsupport::WriteFile(dir / "config/kpFishSS.plist", deep));
    for (int run = 0; run < 2; run++) {  // and again: the next start finds a good store
        testsupport::RunResult r = testsupport::Run(
            {Reefmere(), "--headless", "--size", "64x48", "--seconds", "0.3", "--snapshot", dir / "s.png"},
            IsolatedEnv(dir), 120.0);
        ASSERT_EQ(r.exitCode, 0) << r.output.substr(0, 2000);
    }
    int kept = 0;
    testsupport::RunResult ls = testsupport::Run({"/bin/sh", "-c", "ls " + dir / "config"});
    for (size_t at = 0; (at = ls.output.find("kpFishSS.plist.unreadable-", at)) != std::string::npos; at++) kept++;
    EXPECT_EQ(kept, 1) << ls.output;
}

TEST(HostileProgram, HugePictureHeadersAreRefusedBeforeDecoding) {
    TempDir dir;
    mkdir((dir / "pics").c_str(), 0700);
    ASSERT_TRUE(testsupport::WriteFile(dir / "pics/huge.jpg", kClaimingJpeg));
    testsupport::RunResult r = testsupport::Run(
        {Reefmere(), "--headless", "--defaults", "--size", "64x48", "--seconds", "0.3", "--bg-type", "2",
         "--bg-res", "2", "--bg-path", dir / "pics", "--snapshot", dir / "s.png"},
        IsolatedEnv(dir), 120.0);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("16384 x 16384 pixels is larger"), std::string::npos) << r.output;
}

// Esc must still end a full-screen run whose background is a FIFO named like a picture:
// in the picture folder (type 2), and as the <file> of the desktop's slideshow (type 1).
TEST(HostileProgram, FifoPicturesNeitherHangNorLockTheFullScreenWindow) {
    testsupport::Xvfb xvfb(640, 480);
    ASSERT_TRUE(xvfb.ok());
    for (const char* type : {"2", "1"}) {
        SCOPED_TRACE(std::string("background type ") + type);
        TempDir dir;
        mkdir((dir / "pics").c_str(), 0700);
        ASSERT_EQ(mkfifo((dir / "pics/a.jpg").c_str(), 0600), 0);
        std::string xfce = dir / "config/xfce4/xfconf/xfce-perchannel-xml";
        ASSERT_EQ(testsupport::Run({"mkdir", "-p", xfce}).exitCode, 0);
        ASSERT_TRUE(testsupport::WriteFile(dir / "pics/show.xml",
                                           "<background><static><file>" + dir / "pics/a.jpg" +
                                               "</file></static></background>"));
        ASSERT_TRUE(testsupport::WriteFile(
            xfce + "/xfce4-desktop.xml",
            "<channel><property name=\"last-image\" type=\"string\" value=\"" + dir / "pics/show.xml" + "\"/></channel>"));
        auto env = IsolatedEnv(dir);
        env["DISPLAY"] = xvfb.display();
        env["XDG_CURRENT_DESKTOP"] = "XFCE";
#if defined(__SANITIZE_ADDRESS__)
        env["ASAN_OPTIONS"] = "detect_leaks=0:abort_on_error=1:halt_on_error=1";  // Mesa's GLX driver
#endif
        testsupport::Process p;
        ASSERT_TRUE(p.Start({Reefmere(), "--window", "--fullscreen", "--defaults", "--no-play-sound", "--bg-type", type,
                             "--bg-path", dir / "pics"},
                            env));
        // Once the full-screen window (no name, 640x480 at 0,0) is viewable: Esc, as a
        // person would press it.
        testsupport::RunResult key = testsupport::Run(
            {"/bin/sh", "-c",
             "for i in $(seq 300); do id=$(xwininfo -root -children | awk '/640x480\\+0\\+0/{print $1; exit}'); "
             "[ -n \"$id\" ] && xwininfo -id $id | grep -q IsViewable && break; sleep 0.1; done; "
             "sleep 1; xdotool key Escape"},
            {{"DISPLAY", xvfb.display()}}, 60.0);
        EXPECT_EQ(key.exitCode, 0) << key.output;
        // Esc ends it; a kill after the wait (-1) means the keyboard was dead.
        EXPECT_EQ(p.Stop(0, 20.0), 0) << p.Output();
    }
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
