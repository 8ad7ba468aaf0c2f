// A desktop picture per monitor: the lookups in Xfce's channel file and KDE's applet
// file by monitor name and index, and two RandR monitors showing their own pictures.
#include "hack_support.h"
#include "platform/desktop_picture.h"

using namespace testsupport;
using namespace hacktest;

namespace {

std::string XfceChannel(const std::vector<std::pair<std::string, std::string>>& monitors) {
    std::string xml = "<?xml version=\"1.0\"?>\n<channel name=\"xfce4-desktop\" version=\"1.0\">\n"
                      " <property name=\"backdrop\" type=\"empty\"><property name=\"screen0\" type=\"empty\">\n";
    for (const auto& [monitor, picture] : monitors)
        xml += "  <property name=\"monitor" + monitor + "\" type=\"empty\"><property name=\"workspace0\" type=\"empty\">"
               "<property name=\"image-style\" type=\"int\" value=\"5\"/><property name=\"last-image\" "
               "type=\"string\" value=\"" + picture + "\"/></property></property>\n";
    return xml + " </property></property>\n</channel>\n";
}

}  // namespace

TEST(MonitorPicture, XfceAndKdeLookUpTheMonitorsOwnPicture) {
    const std::string xfce = XfceChannel({{"eDP-1", "/p/laptop.png"}, {"HDMI-1", "file:///p/tv%20set.png"},
                                          {"1", "/p/second.jpg"}});
    const std::string oldXfce = "<channel><property name=\"backdrop\"><property name=\"screen0\">"
                                "<property name=\"monitor0\"><property name=\"image-path\" value=\"/p/old.jpg\"/>"
                                "</property></property></property></channel>";
    const std::string kde = "[Containments][1]\nlastScreen=0\nplugin=org.kde.panel\n\n"
                            "[Containments][2]\nlastScreen=1\n\n[Containments][2][Wallpaper][org.kde.image][General]\n"
                            "Image=file:///p/kde-one.jpg\n\n[Containments][3]\nlastScreen=0\n\n"
                            "[Containments][3][Wallpaper][org.kde.image][General]\nImage=/p/kde-zero/\n";
    const std::string shell = "[ScreenConnectors]\n0=DP-2\n1=HDMI-1\n";
    const struct {
        std::string name;
        int index;
        std::string xfce, old, kde, kdeNoConnectors;
    } cases[] = {
        {"HDMI-1", 0, "/p/tv set.png", "/p/old.jpg", "/p/kde-one.jpg", "/p/kde-zero"},
        {"eDP-1", 1, "/p/laptop.png", "", "/p/kde-one.jpg", "/p/kde-one.jpg"},
        {"DP-2", 1, "/p/second.jpg", "", "/p/kde-zero", "/p/kde-one.jpg"},
        {"", 0, "", "/p/old.jpg", "/p/kde-zero", "/p/kde-zero"},
        {"", -1, "", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + " " + std::to_string(c.index));
        const MonitorId m{c.name, c.index};
        EXPECT_EQ(XfceMonitorImage(xfce, m), c.xfce);
        EXPECT_EQ(XfceMonitorImage(oldXfce, m), c.old);
        EXPECT_EQ(KdeScreenWallpaperImage(kde, shell, m), c.kde);
        EXPECT_EQ(KdeScreenWallpaperImage(kde, "", m), c.kdeNoConnectors);
    }
    // Deep or unterminated nesting ends the walk without harm.
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<property name=\"backdrop\">";
    EXPECT_EQ(XfceMonitorImage(deep + "<property name=\"x\" value=\"/p/x\"/>", {"eDP-1", 0}), "");
}

TEST(MonitorPicture, TwoMonitorsShowTheirOwnXfcePictures) {
    XServer xs(1280, 480);
    ASSERT_TRUE(xs.ok());
    ASSERT_TRUE(SplitIntoTwoMonitors(xs.dpy, 1280, 480));
    PrivateHome home;
    const auto solid = [](uint8_t r, uint8_t g, uint8_t b) {
        std::vector<uint8_t> px;
        for (int i = 0; i < 64 * 64; ++i) px.insert(px.end(), {r, g, b, 255});
        return px;
    };
    ASSERT_TRUE(WritePNG(home / "red.png", solid(230, 30, 20), 64, 64));
    ASSERT_TRUE(WritePNG(home / "blue.png", solid(20, 40, 230), 64, 64));
    const std::string channel = home.ConfigDir() + "/xfce4/xfconf/xfce-perchannel-xml";
    ASSERT_EQ(testsupport::Run({"mkdir", "-p", channel}).exitCode, 0);
    ASSERT_TRUE(WriteFile(channel + "/xfce4-desktop.xml", XfceChannel({{"LEFT", home / "red.png"},
                                                                        {"RIGHT", home / "blue.png"}})));
    auto env = home.Env(xs.display());
    env["XDG_CURRENT_DESKTOP"] = "XFCE";
    Process run;
    ASSERT_TRUE(run.Start({Reefmere(), "--window", "--fullscreen", "--defaults", "--bg-type", "1", "--seconds", "60"},
                          env));
    const auto mostly = [](int hot, int cold) {
        return [=](const Shot& s) { return Fraction(s, [&](const uint8_t* p) { return p[hot] > p[cold] + 60; }) > 0.5; };
    };
    Window root = DefaultRootWindow(xs.dpy);
    EXPECT_TRUE(WaitFor(xs.dpy, root, 0, 0, 640, 480, mostly(0, 2))) << run.Output();
    EXPECT_TRUE(WaitFor(xs.dpy, root, 640, 0, 640, 480, mostly(2, 0))) << run.Output();
    EXPECT_EQ(run.Stop(SIGTERM, 5.0), 0) << run.Output();
}
