// The X11 host: fills the host table for a GLX window and runs the view's frame loop on
// it. RunWindow is `reefmere --window`; RunX11Loop serves any window that already exists
// (the XScreenSaver hack's window or the root), so other X11 modes reuse it.
#pragma once

#include <GL/glx.h>
#include <X11/Xlib.h>

#include "view/ReefmereView.h"

struct X11RUNOPTIONS {
    int width = 1024;          // pixels, standalone window
    int height = 768;
    bool fullscreen = false;
    double seconds = 0.0;      // quit after this many seconds of wall time; 0: never
    bool preview = false;
    bool handleKeys = true;    // Esc / q quit (standalone); a hack leaves keys to the daemon
    bool fps = false;          // -fps: frames per second and load in a corner
    // -geometry +X+Y: where the standalone window goes (pixels; negative: from the right
    // or bottom edge of the screen). Unset: wherever the window manager puts it.
    bool positioned = false;
    int x = 0, y = 0;
    bool xFromRight = false, yFromBottom = false;
};

// A window with its GLX context, as the host table sees it.
struct X11SURFACE {
    Display* dpy = nullptr;
    Window win = 0;
    GLXContext ctx = nullptr;
    int width = 0;             // pixels, kept current from ConfigureNotify
    int height = 0;
    // Desktop services (main-screen test, capture, desktop picture, sound, -fps) from
    // x11_services.h; null: a silent host without them. Not owned.
    struct X11SERVICES* services = nullptr;
};

// SIGTERM, SIGINT and SIGHUP end the loop cleanly (the view is torn down, status 0).
void X11InstallQuitSignals();
bool X11QuitRequested();

// Fills host with the surface's callbacks (silent sound, no capture or desktop lookup).
void X11FillHost(X11SURFACE* surface, REEFHOST* host, bool preview);

// Creates the view on the surface and animates it until a quit request, a closed window
// or options.seconds. Returns a process exit status.
int RunX11Loop(X11SURFACE* surface, const X11RUNOPTIONS& options, const VIEWOPTIONS& viewOptions);

// reefmere --window [WxH]: opens the display, a window and a context, runs the loop.
int RunWindow(const X11RUNOPTIONS& options, const VIEWOPTIONS& viewOptions);
