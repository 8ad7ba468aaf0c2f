// Pictures of the desktop for the capture background. Under XScreenSaver the daemon copies
// the desktop before blanking and leaves it on the saver window as a pixmap in the
// _SCREENSAVER_SCREENSHOT property; its grabDesktopImages preference (~/.xscreensaver)
// says whether hacks may show it. Standalone, the root window is read before the view's
// own window is mapped. Results are malloc'ed RGBA rows, bottom row first (GL order).
#pragma once
#include <X11/Xlib.h>

#include <cstdint>
#include <string>

// The screenshot the daemon left on window w (or on any ancestor up to the root);
// null (with *width = *height = 0) when there is none or it cannot be read.
uint8_t* CaptureSaverScreenshot(Display* dpy, Window w, int* width, int* height);

// The rectangle (root coordinates) of the root window as it shows now; null on failure.
uint8_t* CaptureRootRect(Display* dpy, int screen, int x, int y, int width, int height, int* outWidth, int* outHeight);

// XScreenSaver's grabDesktopImages: from ~/.xscreensaver (HOME), True when the file or
// the line is absent, as the daemon itself defaults.
bool GrabDesktopImagesAllowed();
// The same decision from the file's text; the last line naming the preference wins.
bool ParseGrabDesktopImages(const std::string& text);

// Copies a drawable's pixels (any TrueColor depth) into RGBA rows bottom first, alpha 255.
uint8_t* DrawableToRGBA(Display* dpy, Drawable d, Visual* visual, int x, int y, int width, int height);
