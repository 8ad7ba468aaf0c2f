// The X11 host: fills the host table for a GLX window and runs the frame loop
// (platform/frame_loop.h) over one or more of them. RunWindow is `reefmere --window`;
// RunX11Loop serves any windows that already exist (the hack's window or the root, one
// window per monitor full screen), so every X11 mode shares one loop.
#pragma once

#include <vector>

#include <GL/glx.h>
#include <X11/Xlib.h>

#include "view/ReefmereView.h"

struct X11RUNOPTIONS {
    int width = 1024;  // pixels, standalone window
    int height = 768;
    bool fullscreen = false;
    double seconds = 0.0;  // quit after this many seconds of wall time; 0: never
    bool preview = false;
    bool handleKeys = true;  // Esc / q quit (standalone); a hack leaves keys to the daemon
    bool fps = false;        // -fps: frames per second and load in a corner
    double delay = 0.0;      // -delay: seconds between frames at least; 0: the view's rate
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
    int width = 0;  // pixels, kept current from ConfigureNotify
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

// Creates a view on each surface (all on one display; the first one's swaps wait for the
// refresh) and animates them in one loop until a quit request, a closed window or
// options.seconds; the views are gone on return, the surfaces stay. Returns a process exit
// status.
int RunX11Loop(const std::vector<X11SURFACE*>& surfaces, const X11RUNOPTIONS& options, const VIEWOPTIONS& viewOptions);

// reefmere --window [WxH]: opens the display, a window and a context, runs the loop.
int RunWindow(const X11RUNOPTIONS& options, const VIEWOPTIONS& viewOptions);
