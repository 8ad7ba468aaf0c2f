// XScreenSaver's conventions for a hack: which window to draw into ($XSCREENSAVER_WINDOW,
// -root, -window-id) and whether it is the settings dialog's preview pane. (SIGTERM, with
// which the daemon stops hacks, ends the frame loop through X11InstallQuitSignals.)
#pragma once
#include <X11/Xlib.h>

#include <string>

// "-window-id" accepts decimal or 0x-prefixed hexadecimal (the daemon and the settings
// dialog pass hexadecimal). False for anything else, zero included.
bool ParseWindowId(const char* text, Window* out);

// The virtual root of a screen: a top-level window carrying __SWM_VROOT (window managers
// that draw their own desktop), else the real root.
Window VirtualRoot(Display* dpy, int screen);

// How a hack finds its window, in order:
//   -window-id ID                       -> that window
//   $XSCREENSAVER_WINDOW (any mode)     -> that window
//   -root                               -> the virtual root, else the real root
// None with *why set when the given id or variable names no window (or is malformed).
// *fromVariable tells whether the window came from the variable.
Window ResolveHackWindow(Display* dpy, int screen, bool rootFlag, const char* windowIdArg, std::string* why,
                         bool* fromVariable = nullptr);

// The daemon gives each monitor a window that covers it; any other window it or its
// settings dialog hands over (the dialog's preview pane, whatever its size) is a preview.
// False also when the window is gone.
bool WindowIsPreview(Display* dpy, Window w);
