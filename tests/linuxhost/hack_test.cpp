// reefmere as an XScreenSaver hack under a private Xvfb: a window it did not create (by
// id and by the variable), -root, a resize, SIGTERM, the daemon's screenshot as the
// background and grabDesktopImages.
#include "hack_support.h"

using namespace testsupport;
using namespace hacktest;

TEST(Hack, DrawsIntoAForeignWindowByIdFollowsResizeAndEndsOnSigterm) {
    XServer xs(1024, 768);
    ASSERT_TRUE(xs.ok());
    Display* dpy = xs.dpy;
    Window win = MakeSaverWindow(dpy, 0, 0, 400, 300);
    TempDir home;
    Process hack;
    ASSERT_TRUE(hack.Start({Reefmere(), "-window-id", Hex(win), "--defaults", "--seed", "3"}, HackEnv(home, xs.display())));
    Shot shot;
    ASSERT_TRUE(WaitFor(dpy, win, 0, 0, 400, 300, Lit, 40.0, &shot))
        << "lit " << LitFraction(shot) << "\n" << hack.Output();

    // Larger window: the part beyond the old 400 x 300 gets drawn once the view resized.
    XResizeWindow(dpy, win, 800, 600);
    XSync(dpy, False);
    ASSERT_TRUE(WaitFor(dpy, win, 450, 350, 300, 200, Lit, 20.0, &shot))
        << "lit " << LitFraction(shot) << "\n" << hack.Output();

    double took = 0;
    EXPECT_EQ(hack.Stop(SIGTERM, 5.0, &took), 0) << hack.Output();
    EXPECT_LT(took, kTermSeconds);
    // The window is the daemon's: still there, still mapped.
    XWindowAttributes wa;
    ASSERT_TRUE(XGetWindowAttributes(dpy, win, &wa));
    EXPECT_EQ(wa.map_state, IsViewable);
    EXPECT_EQ(wa.width, 800);
}

TEST(Hack, EndsCleanlyWhenTheDaemonDestroysItsWindow) {
    XServer xs(800, 600);
    ASSERT_TRUE(xs.ok());
    Window win = MakeSaverWindow(xs.dpy, 0, 0, 800, 600);
    TempDir home;
    Process hack;
    ASSERT_TRUE(hack.Start({Reefmere(), "-window-id", Hex(win), "--defaults"}, HackEnv(home, xs.display())));
    ASSERT_TRUE(WaitFor(xs.dpy, win, 0, 0, 800, 600, Lit)) << hack.Output();
    XDestroyWindow(xs.dpy, win);
    XSync(xs.dpy, False);
    // Exited (a zombie until reaped, so its own status is still there to read).
    auto exited = [&] {
        std::string stat = ReadText("/proc/" + std::to_string(hack.pid()) + "/stat");
        size_t paren = stat.rfind(')');
        return paren == std::string::npos || (paren + 2 < stat.size() && stat[paren + 2] == 'Z');
    };
    for (int i = 0; i < 200 && !exited(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(exited()) << hack.Output();
    EXPECT_EQ(hack.Stop(SIGKILL, 5.0), 0) << hack.Output();  // its own exit status, not the kill
}

TEST(Hack, TakesItsWindowFromTheVariableAndFromRoot) {
    XServer xs(800, 600);
    ASSERT_TRUE(xs.ok());
    Display* dpy = xs.dpy;
    Window win = MakeSaverWindow(dpy, 0, 0, 800, 600);
    TempDir home;
    auto env = HackEnv(home, xs.display());
    env["XSCREENSAVER_WINDOW"] = Hex(win);
    {
        Process hack;
        ASSERT_TRUE(hack.Start({Reefmere(), "--defaults", "-fps"}, env));
        EXPECT_TRUE(WaitFor(dpy, win, 0, 0, 800, 600, Lit)) << hack.Output();
        // The -fps text sits in the lower left corner: white pixels there.
        EXPECT_TRUE(WaitFor(dpy, win, 0, 560, 200, 40, [](const Shot& s) {
            return Fraction(s, [](const uint8_t* p) { return p[0] > 240 && p[1] > 240 && p[2] > 240; }) > 0.01;
        }, 10.0)) << hack.Output();
        double took = 0;
        EXPECT_EQ(hack.Stop(SIGTERM, 5.0, &took), 0) << hack.Output();
        EXPECT_LT(took, kTermSeconds);
    }
    XDestroyWindow(dpy, win);
    {
        // -root without the variable: the root window itself (black, or Xvfb's grey
        // weave would count as drawn).
        env["XSCREENSAVER_WINDOW"] = "";
        PaintRoot(dpy, 0);
        Process hack;
        ASSERT_TRUE(hack.Start({Reefmere(), "-root", "--defaults"}, env));
        EXPECT_TRUE(WaitFor(dpy, DefaultRootWindow(dpy), 0, 0, 800, 600, Lit)) << hack.Output();
        EXPECT_EQ(hack.Stop(SIGTERM, 5.0), 0) << hack.Output();
    }
    // A variable naming no window is an error, not a hang.
    env["XSCREENSAVER_WINDOW"] = "0x7ffff00";
    RunResult r = testsupport::Run({Reefmere(), "--defaults"}, env, 20);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("names no window"), std::string::npos) << r.output;
}

TEST(Hack, ShowsTheDaemonsScreenshotUnlessGrabsAreOff) {
    XServer xs(800, 600);
    ASSERT_TRUE(xs.ok());
    Display* dpy = xs.dpy;
    Window win = MakeSaverWindow(dpy, 0, 0, 800, 600);
    // The daemon's copy of the desktop: magenta.
    Pixmap pix = XCreatePixmap(dpy, win, 800, 600, static_cast<unsigned>(DefaultDepth(dpy, 0)));
    GC gc = XCreateGC(dpy, pix, 0, nullptr);
    XSetForeground(dpy, gc, 0xe010e0);
    XFillRectangle(dpy, pix, gc, 0, 0, 800, 600);
    XFreeGC(dpy, gc);
    unsigned long id = pix;
    XChangeProperty(dpy, win, XInternAtom(dpy, "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&id), 1);
    XSync(dpy, False);
    TempDir home;
    for (bool grabsOff : {false, true}) {
        SCOPED_TRACE(grabsOff ? "grabDesktopImages off" : "grabs allowed");
        // Off: the user keeps the desktop private and the picture never shows.
        if (grabsOff) {
            ASSERT_TRUE(WriteFile(home / ".xscreensaver", "mode: random\ngrabDesktopImages:\tFalse\n"));
        }
        XClearWindow(dpy, win);  // the last run's frame would count as drawn
        XSync(dpy, False);
        Process hack;
        ASSERT_TRUE(hack.Start({Reefmere(), "-window-id", Hex(win), "--defaults", "--bg-type", "0"},
                               HackEnv(home, xs.display())));
        Shot shot;
        if (!grabsOff) {
            EXPECT_TRUE(WaitFor(dpy, win, 0, 0, 800, 600, [](const Shot& s) { return Fraction(s, Magenta) > 0.2; },
                                40.0, &shot))
                << "magenta " << Fraction(shot, Magenta) << "\n" << hack.Output();
        } else {
            EXPECT_TRUE(WaitFor(dpy, win, 0, 0, 800, 600, Lit, 40.0, &shot)) << hack.Output();
            EXPECT_LT(Fraction(shot, Magenta), 0.01);
        }
        EXPECT_EQ(hack.Stop(SIGTERM, 5.0), 0);
        EXPECT_EQ(hack.Output().find("grabDesktopImages is off") != std::string::npos, grabsOff) << hack.Output();
    }
}

TEST(Hack, ShowsTheDesktopPictureFromTheDesktopsSettingsEvenAsSvg) {
    XServer xs(800, 600);
    ASSERT_TRUE(xs.ok());
    Window win = MakeSaverWindow(xs.dpy, 0, 0, 800, 600);
    TempDir home;
    // GNOME's setting, through a schema and a keyfile written here, names an SVG.
    ASSERT_TRUE(CompileWallpaperSchemas(home / "schemas"));
    ASSERT_EQ(testsupport::Run({"mkdir", "-p", home / "config/glib-2.0/settings"}).exitCode, 0);
    ASSERT_TRUE(WriteFile(home / "wall.svg",
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"640\" height=\"400\">"
                          "<rect width=\"640\" height=\"400\" fill=\"#e010e0\"/></svg>"));
    ASSERT_TRUE(WriteFile(home / "config/glib-2.0/settings/keyfile",
                          "[org/gnome/desktop/background]\npicture-uri='file://" + home.path() + "/wall.svg'\n"));
    auto env = HackEnv(home, xs.display());
    env["GSETTINGS_BACKEND"] = "keyfile";
    env["GSETTINGS_SCHEMA_DIR"] = home / "schemas";
    env["XDG_CURRENT_DESKTOP"] = "GNOME";
    env["XDG_RUNTIME_DIR"] = home.path();
    Process hack;
    ASSERT_TRUE(hack.Start({Reefmere(), "-window-id", Hex(win), "--defaults", "--bg-type", "1"}, env));
    Shot shot;
    EXPECT_TRUE(WaitFor(xs.dpy, win, 0, 0, 800, 600, [](const Shot& s) { return Fraction(s, Magenta) > 0.2; }, 40.0,
                        &shot))
        << "magenta " << Fraction(shot, Magenta) << "\n" << hack.Output();
    EXPECT_EQ(hack.Stop(SIGTERM, 5.0), 0);
    // The converted picture is gone with the process.
    RunResult left = testsupport::Run({"sh", "-c", "ls " + home.path() + " | grep -c reefmere-desktop || true"});
    EXPECT_EQ(left.output, "0\n");
}
