// The X11 pieces of the hack under a private Xvfb: RandR monitors and the main screen, the
// daemon's screenshot pixmap, the root window capture, grabDesktopImages, window ids,
// the virtual root.
#include "hack_support.h"
#include "platform/x11_monitors.h"
#include "platform/x11_screensaver.h"

using namespace testsupport;
using namespace hacktest;

namespace {

Window MakeWindow(Display* dpy, int x, int y, int w, int h, unsigned long bg) {
    Window win = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), x, y, static_cast<unsigned>(w),
                                     static_cast<unsigned>(h), 0, 0, bg);
    XSync(dpy, False);
    return win;
}

}  // namespace

TEST(X11Pieces, MonitorsAndTheMainScreen) {
    XServer xs(1280, 480);
    ASSERT_TRUE(xs.ok());
    Display* dpy = xs.dpy;
    auto mons = QueryMonitors(dpy, DefaultRootWindow(dpy));
    ASSERT_GE(mons.size(), 1u);
    ASSERT_TRUE(SplitIntoTwoMonitors(dpy, 1280, 480));
    mons = QueryMonitors(dpy, DefaultRootWindow(dpy));
    ASSERT_EQ(mons.size(), 2u);
    int left = -1, right = -1;
    for (size_t i = 0; i < mons.size(); ++i) {
        if (mons[i].name == "LEFT") left = static_cast<int>(i);
        if (mons[i].name == "RIGHT") right = static_cast<int>(i);
    }
    ASSERT_GE(left, 0);
    ASSERT_GE(right, 0);
    EXPECT_EQ(mons[right].x, 640);
    EXPECT_EQ(MainMonitorIndex(mons), right);
    EXPECT_EQ(MonitorUnderRect(mons, 700, 10, 300, 300), right);
    EXPECT_EQ(MonitorUnderRect(mons, 400, 10, 300, 300), left);  // 240 px on the left, 60 right
    EXPECT_EQ(MonitorUnderRect(mons, 500, 10, 300, 300), right);  // 140 left, 160 right
    EXPECT_EQ(MonitorUnderRect(mons, 5000, 10, 30, 30), -1);

    Window onLeft = MakeWindow(dpy, 10, 10, 200, 200, 0);
    Window onRight = MakeWindow(dpy, 900, 10, 200, 200, 0);
    EXPECT_FALSE(WindowOnMainMonitor(dpy, onLeft));
    EXPECT_TRUE(WindowOnMainMonitor(dpy, onRight));
    EXPECT_TRUE(WindowOnMainMonitor(dpy, DefaultRootWindow(dpy)));  // spans both, main included

    // Without flags and with a single list entry everything is the main screen.
    std::vector<MonitorRect> two(2);
    two[1].x = 100;
    two[0].width = two[1].width = two[0].height = two[1].height = 100;
    EXPECT_EQ(MainMonitorIndex(two), 0);
    EXPECT_EQ(MainMonitorIndex({}), -1);
}

TEST(X11Pieces, ScreenshotPixmapAndRootCapture) {
    XServer xs(320, 240);
    ASSERT_TRUE(xs.ok());
    Display* dpy = xs.dpy;
    int scr = DefaultScreen(dpy);
    Window root = RootWindow(dpy, scr);
    // A "desktop" the daemon copied: left half red, right half blue, a green top row.
    Pixmap pix = XCreatePixmap(dpy, root, 64, 32, static_cast<unsigned>(DefaultDepth(dpy, scr)));
    GC gc = XCreateGC(dpy, pix, 0, nullptr);
    XSetForeground(dpy, gc, 0xff0000);
    XFillRectangle(dpy, pix, gc, 0, 0, 32, 32);
    XSetForeground(dpy, gc, 0x0000ff);
    XFillRectangle(dpy, pix, gc, 32, 0, 32, 32);
    XSetForeground(dpy, gc, 0x00ff00);
    XFillRectangle(dpy, pix, gc, 0, 0, 64, 1);
    Window saver = MakeWindow(dpy, 0, 0, 320, 240, 0);
    Window child = XCreateSimpleWindow(dpy, saver, 0, 0, 100, 100, 0, 0, 0);
    int w = 0, h = 0;
    EXPECT_EQ(CaptureSaverScreenshot(dpy, child, &w, &h), nullptr);  // no property yet
    Atom prop = XInternAtom(dpy, "_SCREENSAVER_SCREENSHOT", False);
    unsigned long id = pix;
    XChangeProperty(dpy, saver, prop, XA_PIXMAP, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&id), 1);
    XSync(dpy, False);

    for (Window from : {saver, child}) {  // found on the window itself or on its parent
        uint8_t* rgba = CaptureSaverScreenshot(dpy, from, &w, &h);
        ASSERT_NE(rgba, nullptr);
        ASSERT_EQ(w, 64);
        ASSERT_EQ(h, 32);
        const uint8_t* bottomLeft = rgba;
        EXPECT_EQ(bottomLeft[0], 255);
        EXPECT_EQ(bottomLeft[2], 0);
        const uint8_t* bottomRight = rgba + 63 * 4;
        EXPECT_EQ(bottomRight[2], 255);
        const uint8_t* topRow = rgba + static_cast<size_t>(31) * 64 * 4;  // last row is the top
        EXPECT_EQ(topRow[1], 255);
        EXPECT_EQ(topRow[0], 0);
        EXPECT_EQ(topRow[3], 255);
        std::free(rgba);
    }
    // A stale pixmap id is a missing picture, not an X error that ends the process.
    XFreePixmap(dpy, pix);
    XSync(dpy, False);
    EXPECT_EQ(CaptureSaverScreenshot(dpy, saver, &w, &h), nullptr);
    EXPECT_EQ(w, 0);

    // Root capture: paint the root and read a rectangle of it.
    PaintRoot(dpy, 0x336699);
    uint8_t* rgba = CaptureRootRect(dpy, scr, 300, 200, 16, 8, &w, &h);
    ASSERT_NE(rgba, nullptr);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(rgba[0], 0x33);
    EXPECT_EQ(rgba[1], 0x66);
    EXPECT_EQ(rgba[2], 0x99);
    std::free(rgba);
    EXPECT_EQ(CaptureRootRect(dpy, scr, 300, 200, 100, 100, &w, &h), nullptr);  // outside the screen
    XFreeGC(dpy, gc);
}

TEST(X11Pieces, GrabDesktopImagesPreference) {
    EXPECT_TRUE(ParseGrabDesktopImages(""));
    EXPECT_TRUE(ParseGrabDesktopImages("mode: one\ngrabDesktopImages:\tTrue\n"));
    EXPECT_FALSE(ParseGrabDesktopImages("mode: one\ngrabDesktopImages:\tFalse\r\nlock: False\n"));
    EXPECT_FALSE(ParseGrabDesktopImages("  grabDesktopImages:   false  \n"));
    EXPECT_TRUE(ParseGrabDesktopImages("grabDesktopImages: False\ngrabDesktopImages: True\n"));
    EXPECT_TRUE(ParseGrabDesktopImages("grabVideoFrames: False\n"));
    TempDir home;
    ScopedEnv env({{"HOME", home.path()}});
    EXPECT_TRUE(GrabDesktopImagesAllowed());  // no file: the daemon's default
    ASSERT_TRUE(WriteFile(home / ".xscreensaver", "grabDesktopImages: False\n"));
    EXPECT_FALSE(GrabDesktopImagesAllowed());
}

TEST(X11Pieces, WindowIdsVirtualRootAndPreviewSize) {
    Window w = 0;
    for (const char* hexOrDecimal : {"0x1a00003", "27262979"}) {
        EXPECT_TRUE(ParseWindowId(hexOrDecimal, &w));
        EXPECT_EQ(w, 0x1a00003u);
    }
    for (const char* bad : {"", "0x", "12ab", "-5", "0", "0x1ffffffff", "99999999999999999999"})
        EXPECT_FALSE(ParseWindowId(bad, &w)) << bad;
    EXPECT_TRUE(IsPreviewSized(320, 240));
    EXPECT_TRUE(IsPreviewSized(1000, 200));
    EXPECT_FALSE(IsPreviewSized(1280, 720));

    XServer xs(640, 480);
    ASSERT_TRUE(xs.ok());
    Display* dpy = xs.dpy;
    unsetenv("XSCREENSAVER_WINDOW");
    std::string why;
    EXPECT_EQ(ResolveHackWindow(dpy, 0, true, nullptr, &why), DefaultRootWindow(dpy));
    EXPECT_EQ(VirtualRoot(dpy, 0), DefaultRootWindow(dpy));
    // A desktop window marks itself as the virtual root.
    Window desk = MakeWindow(dpy, 0, 0, 640, 480, 0);
    Window vroot = XCreateSimpleWindow(dpy, desk, 0, 0, 640, 480, 0, 0, 0);
    Atom a = XInternAtom(dpy, "__SWM_VROOT", False);
    unsigned long id = vroot;
    XChangeProperty(dpy, desk, a, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&id), 1);
    XSync(dpy, False);
    EXPECT_EQ(ResolveHackWindow(dpy, 0, true, nullptr, &why), vroot);

    Window given = MakeWindow(dpy, 0, 0, 100, 100, 0);
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%lx", given);
    EXPECT_EQ(ResolveHackWindow(dpy, 0, false, hex, &why), given);
    setenv("XSCREENSAVER_WINDOW", hex, 1);
    bool fromVar = false;
    EXPECT_EQ(ResolveHackWindow(dpy, 0, true, nullptr, &why, &fromVar), given);  // -root means the variable
    EXPECT_TRUE(fromVar);
    setenv("XSCREENSAVER_WINDOW", "0x7fffff0", 1);
    EXPECT_EQ(ResolveHackWindow(dpy, 0, true, nullptr, &why), None);
    EXPECT_NE(why.find("names no window"), std::string::npos);
    unsetenv("XSCREENSAVER_WINDOW");
    EXPECT_EQ(ResolveHackWindow(dpy, 0, false, "junk", &why), None);
}
