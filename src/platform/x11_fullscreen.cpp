// Standalone full screen: one window, GLX context and view per RandR monitor in one
// process. The windows bypass the window manager (override-redirect) so each covers
// exactly its monitor; the keyboard is grabbed so that Esc or q still quits.
#include <GL/glx.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#include <time.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/x11_glx.h"
#include "platform/x11_monitors.h"
#include "platform/x11_screensaver_host.h"
#include "platform/x11_services.h"

namespace {

double Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

struct SCREENVIEW {
    X11SURFACE surface;
    X11SERVICES services;
    std::unique_ptr<ReefmereView> view;
};

Window MakeMonitorWindow(Display* dpy, XVisualInfo* vi, const MonitorRect& m) {
    XSetWindowAttributes a;
    a.colormap = XCreateColormap(dpy, RootWindow(dpy, vi->screen), vi->visual, AllocNone);
    a.background_pixel = 0;
    a.border_pixel = 0;
    a.override_redirect = True;
    a.event_mask = StructureNotifyMask | ExposureMask | KeyPressMask;
    return XCreateWindow(dpy, RootWindow(dpy, vi->screen), m.x, m.y, static_cast<unsigned>(m.width),
                         static_cast<unsigned>(m.height), 0, vi->depth, InputOutput, vi->visual,
                         CWColormap | CWBackPixel | CWBorderPixel | CWOverrideRedirect | CWEventMask, &a);
}

// Routes pending events to their views; true when the user asked to quit.
bool Pump(Display* dpy, std::vector<std::unique_ptr<SCREENVIEW>>& views) {
    bool quit = false;
    while (XPending(dpy) > 0) {
        XEvent e;
        XNextEvent(dpy, &e);
        if (e.type == KeyPress) {
            KeySym sym = XLookupKeysym(&e.xkey, 0);
            if (sym == XK_Escape || sym == XK_q || sym == XK_Q) quit = true;
            continue;
        }
        for (auto& sv : views) {
            if (e.xany.window != sv->surface.win) continue;
            if (e.type == DestroyNotify) quit = true;
            if (e.type == ConfigureNotify && e.xconfigure.width > 0 && e.xconfigure.height > 0 &&
                (e.xconfigure.width != sv->surface.width || e.xconfigure.height != sv->surface.height)) {
                sv->surface.width = e.xconfigure.width;
                sv->surface.height = e.xconfigure.height;
                if (sv->view) sv->view->setFrameSize(e.xconfigure.width, e.xconfigure.height);
            }
        }
    }
    return quit;
}

}  // namespace

int RunAllMonitors(const X11RUNOPTIONS& o, const VIEWOPTIONS& viewOptions) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "reefmere: cannot open the X display (is DISPLAY set?)\n");
        return 1;
    }
    int screen = DefaultScreen(dpy);
    XVisualInfo* vi = GlxChooseVisual(dpy, screen);
    std::vector<MonitorRect> monitors = QueryMonitors(dpy, RootWindow(dpy, screen));
    std::vector<std::unique_ptr<SCREENVIEW>> views;
    int status = 0;
    if (!vi || monitors.empty()) status = 1;
    // Every monitor's desktop is read before any of our windows covers it.
    for (size_t i = 0; status == 0 && i < monitors.size(); ++i) {
        auto sv = std::make_unique<SCREENVIEW>();
        X11PrepareRootCapture(&sv->services, dpy, screen, monitors[i].x, monitors[i].y, monitors[i].width,
                              monitors[i].height);
        sv->services.showFps = o.fps;
        views.push_back(std::move(sv));
    }
    for (size_t i = 0; status == 0 && i < views.size(); ++i) {
        X11SURFACE& s = views[i]->surface;
        s.dpy = dpy;
        s.win = MakeMonitorWindow(dpy, vi, monitors[i]);
        s.ctx = s.win ? GlxCreateContext(dpy, vi) : nullptr;
        s.width = monitors[i].width;
        s.height = monitors[i].height;
        s.services = &views[i]->services;
        if (!s.win || !s.ctx) status = 1;
    }
    if (status == 0) {
        for (auto& sv : views) XMapRaised(dpy, sv->surface.win);
        XSync(dpy, False);
        XGrabKeyboard(dpy, views[0]->surface.win, True, GrabModeAsync, GrabModeAsync, CurrentTime);
        X11InstallQuitSignals();
        for (size_t i = 0; i < views.size(); ++i) {
            X11SURFACE& s = views[i]->surface;
            REEFHOST host;
            X11FillHost(&s, &host, o.preview);
            glXMakeCurrent(dpy, s.win, s.ctx);
            // Only the first swap waits for the refresh; the others follow it at once.
            GlxSetSwapInterval(dpy, s.win, i == 0 ? 1 : 0);
            views[i]->view = std::make_unique<ReefmereView>(host, viewOptions);
            views[i]->view->startAnimation();
        }
        const double start = Now();
        double next = start;
        while (!X11QuitRequested()) {
            if (Pump(dpy, views) && o.handleKeys) break;
            double interval = 1.0;
            for (auto& sv : views) {
                if (sv->view->animating) sv->view->animateOneFrame();
                interval = std::min(interval, sv->view->animationTimeInterval());
            }
            double now = Now();
            if (o.seconds > 0.0 && now - start >= o.seconds) break;
            next += interval;
            if (next < now - 0.25) next = now;
            double left = next - Now();
            if (left > 0 && XPending(dpy) == 0) {
                pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
                poll(&p, 1, static_cast<int>(left * 1000.0 + 0.5));
            }
        }
        XUngrabKeyboard(dpy, CurrentTime);
    }
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        SCREENVIEW& sv = **it;
        sv.view.reset();  // tears its scene down with its own context current
        if (sv.surface.ctx && glXMakeCurrent(dpy, sv.surface.win, sv.surface.ctx)) sv.services.Cleanup();
        sv.services.Cleanup();
        glXMakeCurrent(dpy, None, nullptr);
        if (sv.surface.ctx) glXDestroyContext(dpy, sv.surface.ctx);
        if (sv.surface.win) XDestroyWindow(dpy, sv.surface.win);
    }
    if (vi) XFree(vi);
    XCloseDisplay(dpy);
    return status;
}
