// Monitors of an X screen through XRandR 1.5 (one rectangle per monitor, the primary one
// flagged), the main screen (the primary monitor, else the first), and the monitor a
// window sits on. A display without RandR monitors counts as one monitor: the screen.
#pragma once
#include <X11/Xlib.h>

#include <string>
#include <vector>

struct MONITORRECT {
    int x = 0, y = 0, width = 0, height = 0;  // pixels, root window coordinates
    bool primary = false;
    std::string name;
};

// The active monitors of the screen that holds root, in the server's order.
std::vector<MONITORRECT> QueryMonitors(Display* dpy, Window root);

// Index of the main monitor: the primary one, else 0. -1 for an empty list.
int MainMonitorIndex(const std::vector<MONITORRECT>& monitors);

// Index of the monitor that holds most of the rectangle (ties: the first in order); -1
// when it meets none.
int MonitorUnderRect(const std::vector<MONITORRECT>& monitors, int x, int y, int width, int height);

// True when the rectangle (root coordinates) covers at least one monitor whole.
bool RectCoversMonitor(const std::vector<MONITORRECT>& monitors, int x, int y, int width, int height);

// Where a window is, in root coordinates; false when it is gone.
bool WindowRootRect(Display* dpy, Window w, int* x, int* y, int* width, int* height);

// True when the window lies mostly on the main monitor (also true when the monitors
// cannot be told apart: one monitor, or a window on none of them).
bool WindowOnMainMonitor(Display* dpy, Window w);
