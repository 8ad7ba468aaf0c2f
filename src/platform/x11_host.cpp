// X11 host: host table over GLX, the frame loop's clock, sleep and event pump over one
// display, signal-driven quit.
#include "platform/x11_host.h"

#include <poll.h>
#include <signal.h>
#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/frame_loop.h"
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

// The loop over the surfaces of one display: the views, and the key rule of the mode.
struct X11LOOP {
    std::vector<X11SURFACE*> surfaces;
    std::vector<Window> windows;
    std::vector<std::unique_ptr<ReefmereView>> views;
    bool handleKeys = true;
};

bool LoopPump(void* user) {
    auto* l = static_cast<X11LOOP*>(user);
    std::vector<X11WINDOWEVENTS> ev(l->surfaces.size());
    X11PumpEvents(l->surfaces[0]->dpy, l->windows.data(), ev.data(), static_cast<int>(ev.size()));
    for (size_t i = 0; i < ev.size(); ++i) {
        if (ev[i].destroyed) return false;  // nothing left to draw on, whoever owned the window
        if (ev[i].quit && l->handleKeys) return false;
        X11SURFACE* s = l->surfaces[i];
        if (ev[i].resized && (ev[i].width != s->width || ev[i].height != s->height)) {
            s->width = ev[i].width;
            s->height = ev[i].height;
            l->views[i]->setFrameSize(ev[i].width, ev[i].height);
        }
    }
    return !gQuit;
}

double LoopNow(void*) { return MonotonicSeconds(); }

// Sleeps on the X connection; the timeout is rounded up so a frame is never woken early.
void LoopWait(void* user, double seconds) {
    Display* dpy = static_cast<X11LOOP*>(user)->surfaces[0]->dpy;
    if (gQuit || XPending(dpy) > 0) return;
    double ns = std::ceil(seconds * 1e9);
    struct timespec ts;
    ts.tv_sec = static_cast<time_t>(ns / 1e9);
    ts.tv_nsec = static_cast<long>(ns - static_cast<double>(ts.tv_sec) * 1e9);
    if (ts.tv_nsec >= 1000000000L) ts.tv_nsec = 999999999L;
    struct pollfd pfd;
    pfd.fd = ConnectionNumber(dpy);
    pfd.events = POLLIN;
    pfd.revents = 0;
    ppoll(&pfd, 1, &ts, nullptr);
}

bool DebugOutput() {
    const char* v = getenv("REEFMERE_DEBUG");
    return v && strcmp(v, "1") == 0;
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

int RunX11Loop(const std::vector<X11SURFACE*>& surfaces, const X11RUNOPTIONS& o, const VIEWOPTIONS& viewOptions) {
    if (surfaces.empty()) return 1;
    X11LOOP loop;
    loop.surfaces = surfaces;
    loop.handleKeys = o.handleKeys;
    for (size_t i = 0; i < surfaces.size(); ++i) {
        X11SURFACE* s = surfaces[i];
        REEFHOST host;
        X11FillHost(s, &host, o.preview);
        if (!XMakeCurrent(s)) {
            fprintf(stderr, "reefmere: cannot make the GLX context current\n");
            return 1;
        }
        // Only the first swap waits for the refresh; the others follow it at once.
        GlxSetSwapInterval(s->dpy, s->win, i == 0 ? 1 : 0);
        loop.windows.push_back(s->win);
        loop.views.push_back(std::make_unique<ReefmereView>(host, viewOptions));
        loop.views.back()->startAnimation();
    }
    std::vector<ReefmereView*> views;
    for (auto& v : loop.views) views.push_back(v.get());
    FRAMELOOPHOOKS hooks;
    hooks.user = &loop;
    hooks.now = LoopNow;
    hooks.wait = LoopWait;
    hooks.pump = LoopPump;
    const double start = MonotonicSeconds();
    RunFrameLoop(views, hooks, o.seconds, o.delay);
    if (DebugOutput()) {
        double took = MonotonicSeconds() - start;
        for (size_t i = 0; i < views.size(); ++i)
            fprintf(stderr, "reefmere: view %zu drew %d frames in %.2f s (%.1f a second)\n", i, views[i]->framesDrawn,
                    took, took > 0 ? views[i]->framesDrawn / took : 0.0);
    }
    // Each view tears its scene down with its own context current, the last one first.
    while (!loop.views.empty()) loop.views.pop_back();
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
        status = RunX11Loop({&s}, o, viewOptions);
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
