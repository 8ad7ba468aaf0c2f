// The X11 pieces of the hack under a private Xvfb: RandR monitors and the main screen,
// the daemon's screenshot pixmap, the root window capture, grabDesktopImages, window ids
// and the virtual root.
#include <array>

#include "hack_support.h"
#include "platform/x11_monitors.h"
#include "platform/x11_screensaver.h"

using namespace testsupport;
using namespace hacktest;

namespace {
Window MakeWindow(Display* dpy, Window parent, int x, int y, int w, int h) {
    Window win = XCreateSimpleWindow(dpy, parent, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 0, 0, 0);
    XSync(dpy, False);
    return win;
}
}  // namespace

TEST(X11Pieces, MonitorsAndTheMainScreen) {
    XServer xs(1280, 480);
    ASSERT_TRUE(xs.ok());
    Display* dpy = xs.dpy;
    ASSERT_TRUE(SplitIntoTwoMonitors(dpy, 1280, 480));
    auto mons = QueryMonitors(dpy, DefaultRootWindow(dpy));
    ASSERT_EQ(mons.size(), 2u);
    const int right = mons[0].name == "RIGHT" ? 0 : 1, left = 1 - right;
    EXPECT_EQ(mons[right].x, 640);
    EXPECT_EQ(MainMonitorIndex(mons), right);
    EXPECT_EQ(MonitorUnderRect(mons, 400, 10, 300, 300), left);   // 240 px on the left, 60 right
    EXPECT_EQ(MonitorUnderRect(mons, 500, 10, 300, 300), right);  // 140 left, 160 right
    EXPECT_EQ(MonitorUnderRect(mons, 5000, 10, 30, 30), -1);
    EXPECT_FALSE(WindowOnMainMonitor(dpy, MakeWindow(dpy, DefaultRootWindow(dpy), 10, 10, 200, 200)));
    EXPECT_TRUE(WindowOnMainMonitor(dpy, MakeWindow(dpy, DefaultRootWindow(dpy), 900, 10, 200, 200)));
    EXPECT_TRUE(WindowOnMainMonitor(dpy, DefaultRootWindow(dpy)));  // spans both, main included
    // Without a primary flag the first monitor is the main one.
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
    const int scr = DefaultScreen(dpy);
    // The daemon's copy of the desktop: left half red, right half blue, a green top row.
    Pixmap pix = XCreatePixmap(dpy, RootWindow(dpy, scr), 64, 32, static_cast<unsigned>(DefaultDepth(dpy, scr)));
    GC gc = XCreateGC(dpy, pix, 0, nullptr);
    for (auto [rgb, x, y, w, h] : {std::array<int, 5>{0xff0000, 0, 0, 32, 32}, {0x0000ff, 32, 0, 32, 32}, {0x00ff00, 0, 0, 64, 1}}) {
        XSetForeground(dpy, gc, static_cast<unsigned long>(rgb));
        XFillRectangle(dpy, pix, gc, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
    }
    XFreeGC(dpy, gc);
    Window saver = MakeWindow(dpy, RootWindow(dpy, scr), 0, 0, 320, 240);
    Window child = MakeWindow(dpy, saver, 0, 0, 100, 100);
    int w = 0, h = 0;
    EXPECT_EQ(CaptureSaverScreenshot(dpy, child, &w, &h), nullptr);  // no property yet
    unsigned long id = pix;
    XChangeProperty(dpy, saver, XInternAtom(dpy, "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&id), 1);
    XSync(dpy, False);
    for (Window from : {saver, child}) {  // on the window itself or on its parent
        uint8_t* rgba = CaptureSaverScreenshot(dpy, from, &w, &h);
        ASSERT_NE(rgba, nullptr);
        ASSERT_EQ(w * 1000 + h, 64032);
        auto px = [&](int x, int y) { return std::vector<int>(rgba + (y * 64 + x) * 4, rgba + (y * 64 + x) * 4 + 4); };
        EXPECT_EQ(px(0, 0), (std::vector<int>{255, 0, 0, 255}));   // bottom row first
        EXPECT_EQ(px(63, 0), (std::vector<int>{0, 0, 255, 255}));
        EXPECT_EQ(px(0, 31), (std::vector<int>{0, 255, 0, 255}));  // the top row last
        std::free(rgba);
    }
    // A stale pixmap id is a missing picture, not an X error that ends the process.
    XFreePixmap(dpy, pix);
    XSync(dpy, False);
    EXPECT_EQ(CaptureSaverScreenshot(dpy, saver, &w, &h), nullptr);

    PaintRoot(dpy, 0x336699);
    uint8_t* rgba = CaptureRootRect(dpy, scr, 300, 200, 16, 8, &w, &h);
    ASSERT_NE(rgba, nullptr);
    EXPECT_EQ(std::vector<int>(rgba, rgba + 3), (std::vector<int>{0x33, 0x66, 0x99}));
    std::free(rgba);
    EXPECT_EQ(CaptureRootRect(dpy, scr, 300, 200, 100, 100, &w, &h), nullptr);  // outside the screen
}

TEST(X11Pieces, GrabDesktopImagesPreference) {
    const std::pair<const char*, bool> cases[] = {{"", true},
                                                  {"mode: one\ngrabDesktopImages:\tTrue\n", true},
                                                  {"mode: one\ngrabDesktopImages:\tFalse\r\nlock: False\n", false},
                                                  {"  grabDesktopImages:   false  \n", false},
                                                  {"grabDesktopImages: False\ngrabDesktopImages: True\n", true},
                                                  {"grabVideoFrames: False\n", true}};
    for (const auto& c : cases) EXPECT_EQ(ParseGrabDesktopImages(c.first), c.second) << c.first;
    PrivateHome home;
    EXPECT_TRUE(GrabDesktopImagesAllowed());  // no file: the daemon's default
    ASSERT_TRUE(WriteFile(home / ".xscreensaver", "grabDesktopImages: False\n"));
    EXPECT_FALSE(GrabDesktopImagesAllowed());
}

TEST(X11Pieces, WindowIdsVirtualRootAndCoveredMonitors) {
    Window w = 0;
    for (const char* good : {"0x1a00003", "27262979"}) EXPECT_TRUE(ParseWindowId(good, &w) && w == 0x1a00003u) << good;
    for (const char* bad : {"", "0x", "12ab", "-5", "0", "0x1ffffffff", "99999999999999999999"})
        EXPECT_FALSE(ParseWindowId(bad, &w)) << bad;
    // A hack's window is a full view only when it covers a monitor whole.
    std::vector<MonitorRect> two(2);
    two[0].width = two[1].width = 640;
    two[0].height = two[1].height = 480;
    two[1].x = 640;
    struct {
        int x, y, w, h;
        bool covers;
    } rects[] = {{0, 0, 640, 480, true},    {640, 0, 640, 480, true}, {0, 0, 1280, 480, true},
                 {-5, -5, 700, 500, true},  {700, 20, 665, 373, false}, {1, 0, 640, 480, false},
                 {0, 0, 640, 479, false},   {320, 0, 640, 480, false}};
    for (const auto& r : rects)
        EXPECT_EQ(RectCoversMonitor(two, r.x, r.y, r.w, r.h), r.covers) << r.x << "," << r.y << " " << r.w << "x" << r.h;

    XServer xs(640, 480);
    ASSERT_TRUE(xs.ok());
    Display* dpy = xs.dpy;
    ScopedEnv noWindow({{"XSCREENSAVER_WINDOW", std::string()}});
    unsetenv("XSCREENSAVER_WINDOW");
    std::string why;
    EXPECT_EQ(ResolveHackWindow(dpy, 0, true, nullptr, &why), DefaultRootWindow(dpy));
    // A desktop window marks itself as the virtual root.
    Window desk = MakeWindow(dpy, DefaultRootWindow(dpy), 0, 0, 640, 480);
    Window vroot = MakeWindow(dpy, desk, 0, 0, 640, 480);
    unsigned long id = vroot;
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
