// reefmere on several monitors, its sound, the hack's options, a staged install.
#include "hack_support.h"

#include <sys/stat.h>

#include <regex>

using namespace testsupport;
using namespace hacktest;

TEST(Program, AViewPerMonitorWithItsOwnPictureAndSoundOnTheMainOneOnly) {
    XServer xs(1280, 480);
    ASSERT_TRUE(xs.ok());
    Display* dpy = xs.dpy;
    ASSERT_TRUE(SplitIntoTwoMonitors(dpy, 1280, 480));
    // The desktop: orange, read from the root before the windows cover it (the default background).
    PaintRoot(dpy, 0xff8c00);
    Window root = DefaultRootWindow(dpy);
    PrivateHome home;
    auto env = home.Env(xs.display());
    {
        // Main monitor only: the primary (right) animates, the left stays black.
        Process run;
        ASSERT_TRUE(run.Start(
            {Reefmere(), "--window", "--fullscreen", "--defaults", "--main-monitor-only", "--seconds", "60"}, env));
        EXPECT_TRUE(WaitFor(dpy, root, 640, 0, 640, 480, TankOverOrange)) << run.Output();
        EXPECT_LT(LitFraction(Grab(dpy, root, 0, 0, 640, 480)), 0.01);
        EXPECT_EQ(run.Stop(SIGTERM, 5.0), 0) << run.Output();
    }
    {
        // A view per monitor, each with Xfce's picture for it: red on the left, blue on the right.
        for (auto [name, rgb] : {std::pair<std::string, uint32_t>{"red", 0xe61e14}, {"blue", 0x1428e6}}) {
            std::vector<uint8_t> px;
            for (int i = 0; i < 64 * 64; ++i)
                px.insert(px.end(), {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), 255});
            ASSERT_TRUE(WritePNG(home / (name + ".png"), px, 64, 64));
        }
        const std::string channel = home.ConfigDir() + "/xfce4/xfconf/xfce-perchannel-xml";
        ASSERT_EQ(testsupport::Run({"mkdir", "-p", channel}).exitCode, 0);
        ASSERT_TRUE(WriteFile(channel + "/xfce4-desktop.xml",
                              XfceChannel({{"LEFT", home / "red.png"}, {"RIGHT", home / "blue.png"}})));
        env["XDG_CURRENT_DESKTOP"] = "XFCE";
        PaintRoot(dpy, 0);
        Process run;
        ASSERT_TRUE(run.Start(
            {Reefmere(), "--window", "--fullscreen", "--defaults", "--bg-type", "1", "--seconds", "60"}, env));
        const auto mostly = [](int hot, int cold) {
            return [=](const Shot& s) {
                return Fraction(s, [&](const uint8_t* p) { return p[hot] > p[cold] + 60; }) > 0.5;
            };
        };
        EXPECT_TRUE(WaitFor(dpy, root, 0, 0, 640, 480, mostly(0, 2))) << run.Output();
        EXPECT_TRUE(WaitFor(dpy, root, 640, 0, 640, 480, mostly(2, 0))) << run.Output();
        EXPECT_EQ(run.Stop(SIGTERM, 5.0), 0) << run.Output();
    }
    // One saver window per monitor, as the daemon makes them; a hack on each: only the
    // main monitor's plays the sound.
    Process hacks[2];
    for (int i = 0; i < 2; ++i) {
        auto env = home.Env(xs.display());
        env["SDL_AUDIODRIVER"] = "disk";
        env["SDL_DISKAUDIOFILE"] = home / std::to_string(i);
        env["XSCREENSAVER_WINDOW"] = Hex(MakeSaverWindow(dpy, i * 640, 0, 640, 480));
        ASSERT_TRUE(hacks[i].Start({Reefmere(), "-root", "--defaults", "--volume", "100"}, env));
    }
    for (int i = 0; i < 400 && FileSize(home / "1") < 64 * 1024; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GE(FileSize(home / "1"), 64 * 1024) << hacks[1].Output();
    for (Process& p : hacks) EXPECT_EQ(p.Stop(SIGTERM, 5.0), 0);
    EXPECT_LE(FileSize(home / "0"), 0) << "the secondary monitor's hack opened a sound device";
}

TEST(Program, StagedInstallHoldsTheHackFilesAndTakesTheHacksOptions) {
    TempDir stage;
    RunResult r = testsupport::Run({"cmake", "--install", std::string(REEFMERE_BUILD_DIR), "--prefix", "/usr"},
                                   {{"DESTDIR", stage.path()}}, 120);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string usr = stage / "usr";
    for (const char* f :
         {"/bin/reefpack", "/bin/reefmere-config", "/share/reefmere/kelpish.tidewares", "/share/reefmere/kelpish.wav",
          "/share/xscreensaver/config/reefmere.xml", "/share/man/man6/reefmere.6.gz",
          "/share/man/man1/reefmere-config.1.gz", "/share/man/man1/reefpack.1.gz", "/share/doc/reefmere/copyright",
          "/share/doc/reefmere/changelog.gz"})
        EXPECT_TRUE(FileExists(usr + f)) << f;
    // bin/reefmere is a link the manifest lists, so packages and uninstalls see it.
    struct stat link;
    EXPECT_TRUE(lstat((usr + "/bin/reefmere").c_str(), &link) == 0 && S_ISLNK(link.st_mode));
    EXPECT_NE(ReadText(std::string(REEFMERE_BUILD_DIR) + "/install_manifest.txt").find("/usr/bin/reefmere\n"),
              std::string::npos);
    std::string desktop = ReadText(usr + "/share/applications/screensavers/reefmere.desktop");
    EXPECT_NE(desktop.find("Exec=reefmere -root"), std::string::npos);

    PrivateHome home;
    std::map<std::string, std::string> env = home.Env();
    env["REEFMERE_SHARE_DIR"] = "";
    // The staged copy from a new place (not the build tree), with the options the
    // XScreenSaver dialog passes: hack options taken, overrides for this run only.
    r = testsupport::Run(
        {usr + "/libexec/xscreensaver/reefmere", "-install", "-visual", "default", "-no-fps", "--headless", "--size",
         "320x200", "--seconds", "1", "--max-fish", "1", "--no-caustic", "--snapshot", home / "shot.png"},
        env, 120);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output.find("not a readable resource archive"), std::string::npos) << r.output;
    Shot s;
    s.rgba = LoadImageRGBA(home / "shot.png", &s.width, &s.height);
    ASSERT_EQ(s.width, 320);
    EXPECT_TRUE(Lit(s));
    std::string plist = ReadText(home.StorePath());
    EXPECT_TRUE(std::regex_search(plist, std::regex("<key>MaxFish</key>\\s*<integer>3</integer>"))) << plist;
    EXPECT_TRUE(std::regex_search(plist, std::regex("<key>WantCaustic</key>\\s*<true/>"))) << plist;
}
