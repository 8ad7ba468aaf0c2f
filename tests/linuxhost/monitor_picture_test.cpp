// A desktop picture per monitor: Xfce's and KDE's lookups by monitor name and index, and
// two RandR monitors showing their own pictures.
#include "hack_support.h"
#include "platform/desktop_picture.h"

using namespace testsupport;
using namespace hacktest;

namespace {

std::string XfceChannel(const std::vector<std::pair<std::string, std::string>>& monitors) {
    std::string xml = "<channel name=\"xfce4-desktop\"><property name=\"backdrop\"><property name=\"screen0\">\n";
    for (const auto& [monitor, picture] : monitors)
        xml += "<property name=\"monitor" + monitor + "\"><property name=\"workspace0\"><property name=\"last-image\" "
               "type=\"string\" value=\"" + picture + "\"/></property></property>\n";
    return xml + "</property></property></channel>\n";
}

}  // namespace

TEST(MonitorPicture, XfceAndKdeLookUpTheMonitorsOwnPicture) {
    const std::string xfce = XfceChannel({{"eDP-1", "/p/lap.png"}, {"HDMI-1", "file:///p/tv%20set.png"}, {"1", "/p/1.jpg"}});
    const std::string oldXfce = "<property name=\"backdrop\"><property name=\"screen0\"><property name=\"monitor0\">"
                                "<property name=\"image-path\" value=\"/p/old.jpg\"/></property></property></property>";
    const std::string kde = "[Containments][1]\nlastScreen=0\n\n[Containments][2]\nlastScreen=1\n\n"
                            "[Containments][2][Wallpaper][org.kde.image][General]\nImage=file:///p/k1.jpg\n\n"
                            "[Containments][3]\nlastScreen=0\n\n[Containments][3][Wallpaper][org.kde.image][General]\n"
                            "Image=/p/k0/\n";
    const std::string shell = "[ScreenConnectors]\n0=DP-2\n1=HDMI-1\n";
    const struct {
        MonitorId m;
        std::string xfce, old, kde, kdeByIndex;
    } cases[] = {
        {{"HDMI-1", 0}, "/p/tv set.png", "/p/old.jpg", "/p/k1.jpg", "/p/k0"},
        {{"eDP-1", 1}, "/p/lap.png", "", "/p/k1.jpg", "/p/k1.jpg"},
        {{"DP-2", 1}, "/p/1.jpg", "", "/p/k0", "/p/k1.jpg"},
        {{"", -1}, "", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m.name);
        EXPECT_EQ(XfceMonitorImage(xfce, c.m), c.xfce);
        EXPECT_EQ(XfceMonitorImage(oldXfce, c.m), c.old);
        EXPECT_EQ(KdeScreenWallpaperImage(kde, shell, c.m), c.kde);
        EXPECT_EQ(KdeScreenWallpaperImage(kde, "", c.m), c.kdeByIndex);
    }
    std::string deep;  // nesting without end stops the walk
    for (int i = 0; i < 100000; ++i) deep += "<property name=\"backdrop\">";
    EXPECT_EQ(XfceMonitorImage(deep, {"eDP-1", 0}), "");
}

TEST(MonitorPicture, TwoMonitorsShowTheirOwnXfcePictures) {
    XServer xs(1280, 480);
    ASSERT_TRUE(xs.ok() && SplitIntoTwoMonitors(xs.dpy, 1280, 480));
    PrivateHome home;
    for (auto [name, rgb] : {std::pair<std::string, uint32_t>{"red", 0xe61e14}, {"blue", 0x1428e6}}) {
        std::vector<uint8_t> px;
        for (int i = 0; i < 64 * 64; ++i) px.insert(px.end(), {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), 255});
        ASSERT_TRUE(WritePNG(home / (name + ".png"), px, 64, 64));
    }
    const std::string channel = home.ConfigDir() + "/xfce4/xfconf/xfce-perchannel-xml";
    ASSERT_EQ(testsupport::Run({"mkdir", "-p", channel}).exitCode, 0);
    ASSERT_TRUE(WriteFile(channel + "/xfce4-desktop.xml",
                          XfceChannel({{"LEFT", home / "red.png"}, {"RIGHT", home / "blue.png"}})));
    auto env = home.Env(xs.display());
    env["XDG_CURRENT_DESKTOP"] = "XFCE";
    Process run;
    ASSERT_TRUE(run.Start({Reefmere(), "--window", "--fullscreen", "--defaults", "--bg-type", "1", "--seconds", "60"}, env));
    const auto mostly = [](int hot, int cold) {
        return [=](const Shot& s) { return Fraction(s, [&](const uint8_t* p) { return p[hot] > p[cold] + 60; }) > 0.5; };
    };
    Window root = DefaultRootWindow(xs.dpy);
    EXPECT_TRUE(WaitFor(xs.dpy, root, 0, 0, 640, 480, mostly(0, 2))) << run.Output();
    EXPECT_TRUE(WaitFor(xs.dpy, root, 640, 0, 640, 480, mostly(2, 0))) << run.Output();
    EXPECT_EQ(run.Stop(SIGTERM, 5.0), 0) << run.Output();
}
