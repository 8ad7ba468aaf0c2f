// X11 host: host table over GLX, the timed frame loop, signal-driven quit.
#include "platform/x11_host.h"

#include <poll.h>
#include <signal.h>
#include <time.h>

#include <cerrno>
#include <cstdio>

#include "platform/x11_glx.h"
#include "platform/x11_services.h"
#include "platform/x11_window.h"

namespace {

volatile sig_atomic_t gQuit = 0;

void OnQuitSignal(int) { gQuit = 1; }

double MonotonicSeconds() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool XMakeCurrent(void* user) {
    auto* s = static_cast<X11SURFACE*>(user);
    return glXMakeCurrent(s->dpy, s->win, s->ctx) == True;
}
double XNow(void*) { return MonotonicSeconds(); }
void XSwap(void* user) {
    auto* s = static_cast<X11SURFACE*>(user);
    glXSwapBuffers(s->dpy, s->win);
}
void XSize(void* user, int* w, int* h) {
    auto* s = static_cast<X11SURFACE*>(user);
    *w = s->width;
    *h = s->height;
}
bool XMainScreen(void*) { return true; }

// Waits for X input or until the deadline (monotonic seconds); never past it.
void WaitUntil(Display* dpy, double deadline) {
    double left = deadline - MonotonicSeconds();
    if (left <= 0.0 || gQuit) return;
    struct pollfd pfd;
    pfd.fd = ConnectionNumber(dpy);
    pfd.events = POLLIN;
    pfd.revents = 0;
    int ms = static_cast<int>(left * 1000.0 + 0.5);
    if (XPending(dpy) == 0) poll(&pfd, 1, ms);
}

}  // namespace

void X11InstallQuitSignals() {
    struct sigaction sa;
    sa.sa_handler = OnQuitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a waiting poll returns at once
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

bool X11QuitRequested() { return gQuit != 0; }

void X11FillHost(X11SURFACE* s, REEFHOST* host, bool preview) {
    host->user = s;
    host->preview = preview;
    host->makeCurrent = XMakeCurrent;
    host->now = XNow;
    host->swapBuffers = XSwap;
    host->viewSize = XSize;
    host->isMainScreen = XMainScreen;
    if (s->services) X11FillServices(s, host);
}

int RunX11Loop(X11SURFACE* s, const X11RUNOPTIONS& o, const VIEWOPTIONS& viewOptions) {
    REEFHOST host;
    X11FillHost(s, &host, o.preview);
    if (!XMakeCurrent(s)) {
        fprintf(stderr, "reefmere: cannot make the GLX context current\n");
        return 1;
    }
    GlxSetSwapInterval(s->dpy, s->win, 1);

    ReefmereView view(host, viewOptions);
    view.startAnimation();
    const double start = MonotonicSeconds();
    double next = start;
    while (!gQuit) {
        X11WINDOWEVENTS ev;
        X11PumpEvents(s->dpy, s->win, &ev);
        if (ev.quit && o.handleKeys) break;
        if (ev.destroyed) break;  // nothing left to draw on, whoever owned the window
        if (ev.resized && (ev.width != s->width || ev.height != s->height)) {
            s->width = ev.width;
            s->height = ev.height;
            view.setFrameSize(ev.width, ev.height);
        }
        if (view.animating) view.animateOneFrame();
        double now = MonotonicSeconds();
        if (o.seconds > 0.0 && now - start >= o.seconds) break;
        next += view.animationTimeInterval();
        if (next < now - 0.25) next = now;  // fell behind: do not catch up
        WaitUntil(s->dpy, next);
    }
    return 0;
}

int RunWindow(const X11RUNOPTIONS& o, const VIEWOPTIONS& viewOptions) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        fprintf(stderr, "reefmere: cannot open the X display (is DISPLAY set?)\n");
        return 1;
    }
    int status = 1;
    XVisualInfo* vi = GlxChooseVisual(dpy, DefaultScreen(dpy));
    X11SURFACE s;
    s.dpy = dpy;
    if (vi) {
        s.width = o.width;
        s.height = o.height;
        if (o.fullscreen) {
            s.width = DisplayWidth(dpy, vi->screen);
            s.height = DisplayHeight(dpy, vi->screen);
        }
        s.win = X11CreateWindow(dpy, vi, s.width, s.height, o.fullscreen, "Reefmere");
        if (s.win && o.positioned && !o.fullscreen) {
            int x = o.xFromRight ? DisplayWidth(dpy, vi->screen) - s.width - o.x : o.x;
            int y = o.yFromBottom ? DisplayHeight(dpy, vi->screen) - s.height - o.y : o.y;
            X11PlaceWindow(dpy, s.win, x, y, s.width, s.height);
        }
        if (s.win) s.ctx = GlxCreateContext(dpy, vi);
    }
    // Desktop services; the capture reads the main monitor before our window covers it.
    X11SERVICES services;
    services.showFps = o.fps;
    s.services = &services;
    if (s.win && s.ctx) X11PrepareStandaloneCapture(&services, dpy, vi->screen);
    if (s.win && s.ctx) {
        XMapRaised(dpy, s.win);
        XSync(dpy, False);
        X11InstallQuitSignals();
        status = RunX11Loop(&s, o, viewOptions);
    }
    if (s.ctx && glXMakeCurrent(dpy, s.win, s.ctx)) services.Cleanup();
    services.Cleanup();
    if (s.ctx) {
        glXMakeCurrent(dpy, None, nullptr);
        glXDestroyContext(dpy, s.ctx);
    }
    if (s.win) XDestroyWindow(dpy, s.win);
    if (vi) XFree(vi);
    XCloseDisplay(dpy);
    return status;
}
