// reefmere on several monitors, its sound on the main one only, the options the
// screen saver's settings pass, and a staged install run headless.
#include "hack_support.h"

#include <sys/stat.h>

#include <regex>
#include <sstream>

using namespace testsupport;
using namespace hacktest;

TEST(Program, FullScreenMakesAViewPerMonitorAndHonoursMainMonitorOnly) {
    XServer xs(1280, 480);
    ASSERT_TRUE(xs.ok());
    Display* dpy = xs.dpy;
    ASSERT_TRUE(SplitIntoTwoMonitors(dpy, 1280, 480));
    // The desktop: orange, read from the root before the windows cover it (--bg-type 0).
    PaintRoot(dpy, 0xff8c00);
    Window root = DefaultRootWindow(dpy);
    PrivateHome home;
    auto env = home.Env(xs.display());
    {
        Process run;
        ASSERT_TRUE(run.Start(
            {Reefmere(), "--window", "--fullscreen", "--defaults", "--bg-type", "0", "--seconds", "60"}, env));
        EXPECT_TRUE(WaitFor(dpy, root, 0, 0, 640, 480, TankOverOrange)) << run.Output();
        EXPECT_TRUE(WaitFor(dpy, root, 640, 0, 640, 480, TankOverOrange)) << run.Output();
        // One window per monitor, each exactly over its monitor.
        Window r, parent, *kids = nullptr;
        unsigned n = 0;
        ASSERT_TRUE(XQueryTree(dpy, root, &r, &parent, &kids, &n));
        int covering = 0;
        for (unsigned i = 0; i < n; ++i) {
            XWindowAttributes wa;
            if (XGetWindowAttributes(dpy, kids[i], &wa) && wa.map_state == IsViewable && wa.width == 640 &&
                wa.height == 480 && (wa.x == 0 || wa.x == 640))
                covering++;
        }
        if (kids) XFree(kids);
        EXPECT_EQ(covering, 2);
        double took = 0;
        EXPECT_EQ(run.Stop(SIGTERM, 5.0, &took), 0) << run.Output();
        EXPECT_LT(took, kTermSeconds);
    }
    {
        // Main monitor only: the primary (right) animates, the left stays black.
        Process run;
        ASSERT_TRUE(run.Start(
            {Reefmere(), "--window", "--fullscreen", "--defaults", "--main-monitor-only", "--seconds", "60"}, env));
        EXPECT_TRUE(WaitFor(dpy, root, 640, 0, 640, 480, TankOverOrange)) << run.Output();
        Shot left = Grab(dpy, root, 0, 0, 640, 480);
        EXPECT_LT(LitFraction(left), 0.01);
        EXPECT_EQ(run.Stop(SIGTERM, 5.0), 0) << run.Output();
    }
}

TEST(Program, SoundPlaysOnlyOnTheMainMonitorAndLoops) {
    ASSERT_TRUE(FileExists(ShareDir() + "/kelpish.wav"));
    XServer xs(1280, 860);
    ASSERT_TRUE(xs.ok());
    Display* dpy = xs.dpy;
    ASSERT_TRUE(SplitIntoTwoMonitors(dpy, 1280, 480));
    // One saver window per monitor, as the daemon makes them; a hack on each.
    Window left = MakeSaverWindow(dpy, 0, 0, 640, 480);
    Window right = MakeSaverWindow(dpy, 640, 0, 640, 480);
    // xscreensaver-settings' preview pane (below the monitors, so that no window hides
    // another): larger than 640 x 360, yet a preview.
    Window small = MakeSaverWindow(dpy, 615, 485, 665, 373);
    PrivateHome home;
    auto envLeft = home.Env(xs.display());
    envLeft["SDL_AUDIODRIVER"] = "disk";
    envLeft["SDL_DISKAUDIOFILE"] = home / "left.raw";
    envLeft["REEFMERE_DEBUG"] = "1";
    auto envRight = envLeft;
    envRight["SDL_DISKAUDIOFILE"] = home / "right.raw";
    auto envSmall = envLeft;
    envSmall["SDL_DISKAUDIOFILE"] = home / "small.raw";
    envLeft["XSCREENSAVER_WINDOW"] = Hex(left);
    envRight["XSCREENSAVER_WINDOW"] = Hex(right);
    Process a, b;
    ASSERT_TRUE(a.Start({Reefmere(), "-root", "--defaults", "--volume", "100"}, envLeft));
    ASSERT_TRUE(b.Start({Reefmere(), "-root", "--defaults", "--volume", "100"}, envRight));
    Process c;
    ASSERT_TRUE(c.Start({Reefmere(), "-window-id", Hex(small), "--defaults"}, envSmall));
    EXPECT_TRUE(WaitFor(dpy, left, 0, 0, 640, 480, Lit)) << a.Output();
    EXPECT_TRUE(WaitFor(dpy, right, 0, 0, 640, 480, Lit)) << b.Output();
    // The disk driver writes in real time, so the loop itself is covered by the SdlSound
    // test; here: it plays.
    for (int i = 0; i < 400 && FileSize(home / "right.raw") < 64 * 1024; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(WaitFor(dpy, small, 0, 0, 665, 373, Lit)) << c.Output();
    EXPECT_EQ(a.Stop(SIGTERM, 5.0), 0);
    EXPECT_EQ(b.Stop(SIGTERM, 5.0), 0);
    EXPECT_EQ(c.Stop(SIGTERM, 5.0), 0);
    EXPECT_LE(FileSize(home / "small.raw"), 0) << "the preview opened a sound device";
    EXPECT_NE(c.Output().find("665x373: preview"), std::string::npos) << c.Output();
    EXPECT_NE(b.Output().find("640x480: full view"), std::string::npos) << b.Output();
    std::vector<uint8_t> raw = ReadFile(home / "right.raw");
    ASSERT_GE(raw.size(), 64u * 1024) << b.Output();
    size_t loud = 0;
    for (size_t i = 0; i + 1 < raw.size(); i += 2) loud += std::abs(static_cast<int16_t>(raw[i] | raw[i + 1] << 8)) > 500;
    EXPECT_GT(loud, raw.size() / 50);
    EXPECT_LE(FileSize(home / "left.raw"), 0) << "the secondary monitor's hack opened a sound device";
}

TEST(Program, TheConfigXmlUsesOnlyAcceptedOverridesWhichApplyForTheRunOnly) {
    PrivateHome home;
    std::map<std::string, std::string> env = home.Env();
    // Every option the settings dialog can pass parses (--help after them exits 0).
    std::string xml = ReadText(SourceDir() + "/packaging/reefmere.xml");
    ASSERT_FALSE(xml.empty());
    std::vector<std::string> args = {Reefmere()};
    std::regex attr("arg(-set|-unset)?=\"([^\"]*)\"");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), attr); it != std::sregex_iterator(); ++it) {
        // A slider's "%" takes its low end (the ranges themselves: tests/config/xml_test.cpp).
        size_t open = xml.rfind('<', static_cast<size_t>(it->position()));
        std::smatch low;
        std::string element = xml.substr(open, xml.find('>', open) - open);
        std::string fill = std::regex_search(element, low, std::regex("low=\"(-?[0-9]+)\"")) ? low[1].str() : "2";
        std::istringstream words((*it)[2].str());
        std::string w;
        while (words >> w) args.push_back(w == "%" ? fill : w);
    }
    ASSERT_GT(args.size(), 20u);
    // Standard hack options from the screen saver's side are accepted too.
    for (const char* a : {"-install", "-visual", "default", "-no-fps", "-fps"}) args.push_back(a);
    args.push_back("--help");
    RunResult r = testsupport::Run(args, env, 30);
    EXPECT_EQ(r.exitCode, 0) << r.output;

    // Overrides apply for the run only: the store keeps its values.
    r = testsupport::Run({Reefmere(), "--headless", "--seconds", "0.2", "--max-fish", "1", "--no-caustic", "--snapshot",
             home / "x.png"},
            env, 120);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::string plist = ReadText(home.StorePath());
    ASSERT_FALSE(plist.empty());
    EXPECT_TRUE(std::regex_search(plist, std::regex("<key>MaxFish</key>\\s*<integer>3</integer>"))) << plist;
    EXPECT_TRUE(std::regex_search(plist, std::regex("<key>WantCaustic</key>\\s*<true/>"))) << plist;
}

TEST(Program, StagedInstallRunsHeadlessAndHoldsTheHackFiles) {
    TempDir stage;
    RunResult r = testsupport::Run({"cmake", "--install", std::string(REEFMERE_BUILD_DIR), "--prefix", "/usr"},
                      {{"DESTDIR", stage.path()}}, 120);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string usr = stage / "usr";
    for (const char* f : {"/libexec/xscreensaver/reefmere", "/bin/reefmere", "/bin/reefpack", "/bin/reefmere-config",
                          "/share/reefmere/kelpish.tidewares", "/share/reefmere/kelpish.wav",
                          "/share/xscreensaver/config/reefmere.xml",
                          "/share/applications/screensavers/reefmere.desktop", "/share/man/man6/reefmere.6.gz",
                          "/share/man/man1/reefmere-config.1.gz", "/share/man/man1/reefpack.1.gz",
                          "/share/doc/reefmere/copyright", "/share/doc/reefmere/changelog.gz"})
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
    // The build tree must not be what it finds: run the staged copy from a new place.
    r = testsupport::Run({usr + "/libexec/xscreensaver/reefmere", "--headless", "--defaults", "--size", "320x200", "--seconds",
             "1", "--snapshot", home / "shot.png"},
            env, 120);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output.find("not a readable resource archive"), std::string::npos) << r.output;
    Shot s;
    s.rgba = LoadImageRGBA(home / "shot.png", &s.width, &s.height);
    ASSERT_EQ(s.width, 320);
    EXPECT_TRUE(Lit(s));
}
