// reefmere as an XScreenSaver hack under a private Xvfb, in windows it did not create,
// and its X11 pieces: screenshot, grabDesktopImages, window ids, monitors.
#include "hack_support.h"
#include "platform/x11_monitors.h"
#include "platform/x11_screensaver.h"

using namespace testsupport;
using namespace hacktest;

TEST(X11Pieces, GrabDesktopImagesPreference) {
    const std::pair<const char*, bool> cases[] = {
        {"mode: one\ngrabDesktopImages:\tFalse\r\nlock: False\n", false},
        {"  grabDesktopImages:   false  \n", false},
        {"grabDesktopImages: False\ngrabDesktopImages: True\n", true},
        {"grabVideoFrames: False\n", true},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseGrabDesktopImages(c.first), c.second) << c.first;
}

TEST(X11Pieces, WindowIdsVirtualRootAndCoveredMonitors) {
    Window w = 0;
    for (const char* good : {"0x1a00003", "27262979"}) EXPECT_TRUE(ParseWindowId(good, &w) && w == 0x1a00003u) << good;
    for (const char* bad : {"", "0x", "12ab", "-5", "0", "0x1ffffffff", "99999999999999999999"})
        EXPECT_FALSE(ParseWindowId(bad, &w)) << bad;
    // A hack's window is a full view only when it covers a monitor whole.
    const std::vector<MONITORRECT> two = {{0, 0, 640, 480, false, ""}, {640, 0, 640, 480, false, ""}};
    struct {
        int x, y, w, h;
        bool covers;
    } rects[] = {{0, 0, 640, 480, true},   {640, 0, 640, 480, true},   {0, 0, 1280, 480, true},
                 {-5, -5, 700, 500, true}, {700, 20, 665, 373, false}, {1, 0, 640, 480, false},
                 {0, 0, 640, 479, false},  {320, 0, 640, 480, false}};
    for (const auto& r : rects)
        EXPECT_EQ(RectCoversMonitor(two, r.x, r.y, r.w, r.h), r.covers)
            << r.x << "," << r.y << " " << r.w << "x" << r.h;

    XServer xs(640, 480);
    ASSERT_TRUE(xs.ok());
    Display* dpy = xs.dpy;
    // A stale screenshot pixmap: no picture and no X error.
    Pixmap pix = XCreatePixmap(dpy, DefaultRootWindow(dpy), 64, 32, static_cast<unsigned>(DefaultDepth(dpy, 0)));
    Window saver = MakeSaverWindow(dpy, 0, 0, 320, 240);
    int cw = 0, ch = 0;
    EXPECT_EQ(CaptureSaverScreenshot(dpy, saver, &cw, &ch), nullptr);  // no property yet
    unsigned long id = pix;
    XChangeProperty(dpy, saver, XInternAtom(dpy, "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&id), 1);
    XFreePixmap(dpy, pix);
    XSync(dpy, False);
    EXPECT_EQ(CaptureSaverScreenshot(dpy, saver, &cw, &ch), nullptr);
    EXPECT_EQ(CaptureRootRect(dpy, 0, 600, 200, 100, 100, &cw, &ch), nullptr);  // outside the screen
    XDestroyWindow(dpy, saver);
    ScopedEnv noWindow({{"XSCREENSAVER_WINDOW", std::string()}});
    unsetenv("XSCREENSAVER_WINDOW");
    std::string why;
    EXPECT_EQ(ResolveHackWindow(dpy, 0, true, nullptr, &why), DefaultRootWindow(dpy));
    // A desktop window marks itself as the virtual root.
    Window desk = MakeSaverWindow(dpy, 0, 0, 640, 480);
    Window vroot = MakeSaverWindow(dpy, 0, 0, 640, 480);
    id = vroot;
    XChangeProperty(dpy, desk, XInternAtom(dpy, "__SWM_VROOT", False), XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&id), 1);
    XSync(dpy, False);
    EXPECT_EQ(ResolveHackWindow(dpy, 0, true, nullptr, &why), vroot);
    EXPECT_EQ(ResolveHackWindow(dpy, 0, false, Hex(desk).c_str(), &why), desk);
    setenv("XSCREENSAVER_WINDOW", Hex(desk).c_str(), 1);
    bool fromVar = false;
    EXPECT_EQ(ResolveHackWindow(dpy, 0, true, nullptr, &why, &fromVar), desk);  // -root means the variable
    EXPECT_TRUE(fromVar);
    EXPECT_EQ(ResolveHackWindow(dpy, 0, false, "junk", &why), None);
}

// One window, in turn: the daemon's screenshot (grabs allowed, then off), the window
// from the variable with -fps; then a bad id.
TEST(Hack, PicturesItShowsAndWindowsItTakes) {
    XServer xs(800, 600);
    ASSERT_TRUE(xs.ok());
    Display* dpy = xs.dpy;
    PrivateHome home;
    auto env = home.Env(xs.display());
    // A window it resizes with, and ends with when the daemon destroys it.
    {
        Window small = MakeSaverWindow(dpy, 0, 0, 400, 300);
        Process hack;
        ASSERT_TRUE(hack.Start({Reefmere(), "-window-id", Hex(small), "--defaults", "--seed", "3"}, env));
        ASSERT_TRUE(WaitFor(dpy, small, 0, 0, 400, 300, Lit)) << hack.Output();
        // Larger: the part beyond the old 400 x 300 gets drawn once the view resized.
        XResizeWindow(dpy, small, 800, 600);
        XSync(dpy, False);
        ASSERT_TRUE(WaitFor(dpy, small, 450, 350, 300, 200, Lit, 20.0)) << hack.Output();
        // The daemon destroys the window: the hack ends by itself, cleanly.
        XDestroyWindow(dpy, small);
        XSync(dpy, False);
        EXPECT_EQ(hack.Stop(0, 20.0), 0) << hack.Output();  // a kill after the wait (-1): it hung on
    }
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
    const auto magenta = [](const Shot& s) { return Fraction(s, Magenta) > 0.2; };
    for (bool grabsOff : {false, true}) {
        SCOPED_TRACE(grabsOff ? "grabDesktopImages off" : "grabs allowed");
        if (grabsOff) {
            ASSERT_TRUE(WriteFile(home / ".xscreensaver", "mode: random\ngrabDesktopImages:\tFalse\n"));
        }
        XClearWindow(dpy, win);  // the last run's frame would count as drawn
        XSync(dpy, False);
        Process hack;
        ASSERT_TRUE(hack.Start({Reefmere(), "-window-id", Hex(win), "--defaults", "--bg-type", "0"}, env));
        Shot shot;
        EXPECT_TRUE(WaitFor(dpy, win, 0, 0, 800, 600, grabsOff ? Lit : +magenta, 40.0, &shot)) << hack.Output();
        if (grabsOff) {
            EXPECT_LT(Fraction(shot, Magenta), 0.01);
        }
        EXPECT_EQ(hack.Stop(SIGTERM, 5.0), 0);
        EXPECT_EQ(hack.Output().find("grabDesktopImages is off") != std::string::npos, grabsOff) << hack.Output();
    }
    {
        env["XSCREENSAVER_WINDOW"] = Hex(win);
        Process hack;
        ASSERT_TRUE(hack.Start({Reefmere(), "--defaults", "-fps"}, env));
        EXPECT_TRUE(WaitFor(dpy, win, 0, 0, 800, 600, Lit)) << hack.Output();
        // The -fps text: white pixels in the lower left corner.
        const auto white = [](const uint8_t* p) { return p[0] > 240 && p[1] > 240 && p[2] > 240; };
        EXPECT_TRUE(WaitFor(
            dpy, win, 0, 560, 200, 40, [&](const Shot& s) { return Fraction(s, white) > 0.01; }, 10.0))
            << hack.Output();
        // SIGTERM ends it, leaving the daemon's window mapped.
        EXPECT_EQ(hack.Stop(SIGTERM, 5.0), 0) << hack.Output();
        XWindowAttributes wa;
        ASSERT_TRUE(XGetWindowAttributes(dpy, win, &wa));
        EXPECT_EQ(wa.map_state, IsViewable);
    }
    XDestroyWindow(dpy, win);
    env["XSCREENSAVER_WINDOW"] = "0x7ffff00";  // names no window: an error, not a hang
    RunResult r = testsupport::Run({Reefmere(), "--defaults"}, env, 20);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("names no window"), std::string::npos) << r.output;
}
