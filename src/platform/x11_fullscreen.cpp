// Standalone full screen: one window, GLX context and view per RandR monitor in one
// process. The windows bypass the window manager (override-redirect) so each covers
// exactly its monitor; the keyboard is grabbed so that Esc or q still quits.
#include <GL/glx.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/x11_glx.h"
#include "platform/x11_monitors.h"
#include "platform/x11_screensaver_host.h"
#include "platform/x11_services.h"

namespace {

struct SCREENVIEW {
    X11SURFACE surface;
    X11SERVICES services;
};

Window MakeMonitorWindow(Display* dpy, XVisualInfo* vi, const MONITORRECT& m) {
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

}  // namespace

int RunAllMonitors(const X11RUNOPTIONS& o, const VIEWOPTIONS& viewOptions) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "reefmere: cannot open the X display (is DISPLAY set?)\n");
        return 1;
    }
    int screen = DefaultScreen(dpy);
    XVisualInfo* vi = GlxChooseVisual(dpy, screen);
    std::vector<MONITORRECT> monitors = QueryMonitors(dpy, RootWindow(dpy, screen));
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
        std::vector<X11SURFACE*> surfaces;
        for (auto& sv : views) surfaces.push_back(&sv->surface);
        status = RunX11Loop(surfaces, o, viewOptions);
        XUngrabKeyboard(dpy, CurrentTime);
    }
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        SCREENVIEW& sv = **it;
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
