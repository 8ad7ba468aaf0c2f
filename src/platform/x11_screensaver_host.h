// The XScreenSaver hack and the standalone full-screen mode.
//
// Hack: the daemon (or its settings dialog) creates the window, GL-capable for programs
// listed with the GL: prefix, and passes it through $XSCREENSAVER_WINDOW, -window-id or
// -root (x11_screensaver.h). We draw with a context made from that window's own visual,
// select only the events any client may select on a window it does not own (structure
// and exposure), follow its resizes, never close or destroy it, and end on SIGTERM within
// one frame. The daemon runs one process per monitor, each on its own window; sound
// plays only in the one on the primary monitor.
//
// Standalone full screen: one window, context and view per RandR monitor, in one process
// (as a screen-saver host makes one view per screen); Esc or q quits.
#pragma once

#include <string>

#include "platform/x11_host.h"

struct HACKOPTIONS {
    bool root = false;     // -root: $XSCREENSAVER_WINDOW, else the virtual root
    std::string windowId;  // -window-id ID (decimal or hex)
    bool fps = false;      // -fps overlay
    bool preview = false;  // --preview; also implied by a given window that covers no monitor
    double seconds = 0.0;  // quit after this much wall time; 0: run until SIGTERM
    double delay = 0.0;    // -delay, seconds between frames at least
};

// Runs the hack; returns the process exit status (0 after SIGTERM).
int RunHack(const HACKOPTIONS& options, const VIEWOPTIONS& viewOptions);

// reefmere --window --fullscreen: a view on every monitor. Returns the exit status.
int RunAllMonitors(const X11RUNOPTIONS& options, const VIEWOPTIONS& viewOptions);
