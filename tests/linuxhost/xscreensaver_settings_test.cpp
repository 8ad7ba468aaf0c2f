// Which settings store wins under the real XScreenSaver daemon. A programs: line that
// xscreensaver-settings wrote carries --xscreensaver-options and only what differs from
// the dialog's defaults: then the dialog's values rule, defaults included, whatever
// kpFishSS.plist holds. A line without it (MATE, by hand) takes kpFishSS.plist. The
// background shows which: the orange desktop copy (type 0) or a magenta picture from
// the folder (type 2).
#include "hack_support.h"

#include <pwd.h>

using namespace testsupport;
using namespace hacktest;

TEST(XScreenSaver, TheDialogsOptionsOrTheStoredPreferencesAsDocumented) {
    ASSERT_TRUE(geteuid() != 0 || getpwnam("nobody"));
    XServer xs(640, 480);
    ASSERT_TRUE(xs.ok());
    PaintRoot(xs.dpy, 0xff8c00);
    auto magenta = [](const Shot& s) { return LitFraction(s) > 0.5 && Fraction(s, Magenta) > 0.2; };
    auto orange = [](const Shot& s) { return TankOverOrange(s) && Fraction(s, Magenta) < 0.01; };
    const struct {
        const char* how;
        const char* storedType;  // what reefmere-config saved
        const char* options;     // what xscreensaver-settings (or a person) wrote
        bool pictureShows;
    } cases[] = {
        {"stored picture folder, XScreenSaver's dialog left at its default", "2", " --xscreensaver-options", false},
        {"stored desktop copy, XScreenSaver's dialog chose the folder", "0",
         " --xscreensaver-options --bg-type 2 --bg-path PICS", true},
        {"stored picture folder, a line without the dialog's options", "2", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        TempDir dir;
        std::string pics = dir / "pics";
        std::string options = c.options;
        size_t at = options.find("PICS");
        if (at != std::string::npos) options.replace(at, 4, pics);
        auto env = DaemonHome(dir, xs.display(), dir.path() + "/inst/bin/reefmere -root" + options);
        ASSERT_FALSE(env.empty());
        ASSERT_EQ(testsupport::Run({"mkdir", "-p", pics}).exitCode, 0);
        std::vector<uint8_t> rgba(64 * 64 * 4);
        for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = 224, rgba[i + 1] = 16, rgba[i + 2] = 224, rgba[i + 3] = 255;
        ASSERT_TRUE(WritePNG(pics + "/m.png", rgba, 64, 64));
        ASSERT_TRUE(WriteFile(dir / "home/.config/kpFishSS.plist",
                              std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                                          "<key>version</key><string>1.7</string><key>MaxFish</key><integer>3</integer>"
                                          "<key>FishSize</key><integer>100</integer>"
                                          "<key>WaterRes</key><integer>6</integer>"
                                          "<key>WantedWaterLevel</key><integer>85</integer>"
                                          "<key>BGRes</key><integer>1</integer><key>BGType</key><integer>") +
                                  c.storedType + "</integer><key>BGPath</key><string>" + pics +
                                  "</string></dict></plist>"));
        ASSERT_EQ(testsupport::Run({"chmod", "-R", "a+rwX", dir / "home", pics}).exitCode, 0);

        Process daemon;
        std::string why;
        ASSERT_TRUE(StartDaemonAndActivate(&daemon, env, &why)) << why;
        Shot shot;
        EXPECT_TRUE(WaitFor(xs.dpy, DefaultRootWindow(xs.dpy), 0, 0, 640, 480, c.pictureShows ? +magenta : +orange,
                            60.0, &shot))
            << "orange " << Fraction(shot, Orange) << " magenta " << Fraction(shot, Magenta) << "\n"
            << daemon.Output();
        StopDaemon(&daemon, env);
    }
}
