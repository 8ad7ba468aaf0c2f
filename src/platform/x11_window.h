// The standalone window: a top-level X11 window with a GLX visual, a close button that
// quits, optional full screen, and the few events the view cares about.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

// What the run loop sees of the X event stream.
struct X11WINDOWEVENTS {
    bool quit = false;       // Esc, q, or the window manager's close
    bool destroyed = false;  // the window is gone (a hack's window destroyed by its daemon)
    bool resized = false;
    int width = 0;  // pixels, valid when resized
    int height = 0;
};

// Creates (unmapped) a width x height window for the visual; 0 with one line on stderr
// on failure. fullscreen asks the window manager for _NET_WM_STATE_FULLSCREEN.
Window X11CreateWindow(Display* dpy, XVisualInfo* visual, int width, int height, bool fullscreen, const char* title);

// Places an unmapped window at x, y (pixels on its screen) and tells the window manager
// the user asked for that place and size (-geometry).
void X11PlaceWindow(Display* dpy, Window win, int x, int y, int width, int height);

// Drains pending events, those of windows[i] into ev[i] (sizes from the last
// ConfigureNotify); events of other windows are dropped.
void X11PumpEvents(Display* dpy, const Window* windows, X11WINDOWEVENTS* ev, int count);
