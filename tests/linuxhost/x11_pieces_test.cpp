// The X11 pieces of the hack: screenshot, grabDesktopImages, window ids, monitors.
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
    std::vector<MONITORRECT> two(2);
    two[0].width = two[1].width = 640;
    two[0].height = two[1].height = 480;
    two[1].x = 640;
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
