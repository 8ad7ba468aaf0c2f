// The one boundary between the portable view and the platform: a table of functions that
// a host (headless EGL, X11 window, XScreenSaver hack) fills in and hands to ReefmereView.
// Nothing else crosses; the core includes no window-system header.
//
// What the view may expect of a host
// ----------------------------------
// - Every function pointer is either valid for the life of the view or null where the
//   field says null is allowed. `user` is passed back untouched to every call.
// - One thread. The host calls the view only from the thread that owns the GL context.
// - The host's GL context (fixed-function OpenGL 1.x, depth buffer, double-buffered where
//   the platform has it) exists before the view is constructed and outlives it. The view
//   calls makeCurrent at the start of every operation that touches GL; the host must not
//   assume its context stays current between calls.
// - now() is monotonic, in seconds. The headless host advances it by a fixed step per
//   frame; a window host reads a real clock. The view only ever subtracts two readings.
// - The host never sleeps inside a view call. swapBuffers may block on the display
//   refresh (swap interval 1), nothing else may.
//
// Flow of control (what the host does, in order)
// ----------------------------------------------
//   view = ReefmereView(host, isPreview)  -- loads settings; may capture the screen (needs GL)
//   view.startAnimation()                 -- clears to black once
//   loop, every view.animationInterval() seconds:
//       view.animateOneFrame()            -- draws and swaps only when enough time passed
//       on resize: view.setFrameSize(w, h)  (before the next animateOneFrame)
//   view.stopAnimation()                  -- optional; the scene and sound stay
//   ~ReefmereView()                       -- tears the scene down with the context current
// The view calls back: makeCurrent, now, swapBuffers, viewSize, isMainScreen,
// captureScreen / desktopPicture (background), soundPlay / soundStop, stopAnimation.
#pragma once

#include <cstddef>
#include <cstdint>

struct REEFHOST {
    void* user = nullptr;

    // The small preview pane: detail 0, no overlay, no sound.
    bool preview = false;

    // Makes this view's GL context current. False when it cannot (the view then skips GL work).
    bool (*makeCurrent)(void* user) = nullptr;

    // Monotonic clock, seconds.
    double (*now)(void* user) = nullptr;

    // Shows the frame just drawn (buffer swap, or hands it to the frame writer headless).
    void (*swapBuffers)(void* user) = nullptr;

    // Current drawable size in pixels.
    void (*viewSize)(void* user, int* width, int* height) = nullptr;

    // True when this view is on the main screen (the primary output). Null: always true.
    bool (*isMainScreen)(void* user) = nullptr;

    // The pixels under this view as RGBA rows, bottom row first, malloc'ed (the view frees
    // them); null with *width = *height = 0 when no capture is possible. Null: no capture.
    uint8_t* (*captureScreen)(void* user, int* width, int* height) = nullptr;

    // The desktop picture of this view's screen: writes a NUL-terminated path into
    // path[size] and returns true, or returns false when the desktop names none.
    // Null: no lookup (the fallback picture is used).
    bool (*desktopPicture)(void* user, char* path, size_t size) = nullptr;

    // Starts the WAV file at path playing in a loop at the given volume (as stored by the
    // sheet; 100 is the default, the player maps it to its own range). False when there is
    // no sound device or the file cannot be read. Null: silent host.
    bool (*soundPlay)(void* user, const char* path, float volume) = nullptr;
    void (*soundStop)(void* user) = nullptr;

    // The view no longer wants frames (a secondary screen with MainMonitorOnly); the host
    // may stop calling animateOneFrame. Null allowed.
    void (*stopAnimation)(void* user) = nullptr;
};
