// reefmere as an XScreenSaver hack under a private Xvfb, in windows it did not create.
#include "hack_support.h"

using namespace testsupport;
using namespace hacktest;

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
        EXPECT_TRUE(WaitFor(
            dpy, win, 0, 560, 200, 40,
            [](const Shot& s) {
                return Fraction(s, [](const uint8_t* p) { return p[0] > 240 && p[1] > 240 && p[2] > 240; }) > 0.01;
            },
            10.0))
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
