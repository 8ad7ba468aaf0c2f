// What an X11 view gets from the desktop beyond its window and context: the main-screen
// test (RandR primary monitor), the capture for the desktop background, the desktop
// picture, the looping sound and the -fps overlay. One X11SERVICES per view surface;
// X11FillHost hands these to the view when the surface carries one.
#pragma once
#include <X11/Xlib.h>

#include <cstdint>
#include <string>

#include "platform/desktop_picture.h"
#include "platform/sdl_sound.h"
#include "view/HostInterface.h"

struct X11SURFACE;
struct X11FPS;

enum class X11CAPTURE {
    Off,         // headless-like: no capture (the view falls back to the desktop picture)
    SaverImage,  // the daemon's _SCREENSAVER_SCREENSHOT, if grabDesktopImages allows
    Prepared,    // pixels read from the root before the window was mapped (standalone)
};

struct X11SERVICES {
    X11CAPTURE capture = X11CAPTURE::Off;
    uint8_t* prepared = nullptr;  // malloc'ed RGBA, bottom row first (Prepared)
    int preparedWidth = 0;
    int preparedHeight = 0;
    bool showFps = false;
    X11FPS* fps = nullptr;  // created on the first swap when showFps
    SDLSOUND sound;
    std::string tempPicture;  // a converted desktop picture, removed in Cleanup

    X11SERVICES() = default;
    ~X11SERVICES() { Cleanup(); }
    X11SERVICES(const X11SERVICES&) = delete;
    X11SERVICES& operator=(const X11SERVICES&) = delete;
    // Frees the prepared pixels, stops the sound, removes the temporary picture and the
    // fps overlay's GL objects (the surface's context must be current). Safe to repeat.
    void Cleanup();
};

// Sets host's isMainScreen, captureScreen, desktopPicture, soundPlay, soundStop and wraps
// swapBuffers with the fps overlay; host->user stays the surface.
void X11FillServices(X11SURFACE* surface, REEFHOST* host);

// Standalone: reads the root window under the rectangle (root coordinates) now, before
// the view's window is mapped over it. False when nothing could be read.
bool X11PrepareRootCapture(X11SERVICES* services, Display* dpy, int screen, int x, int y, int width, int height);

// The same for the main monitor (where a standalone window opens).
bool X11PrepareStandaloneCapture(X11SERVICES* services, Display* dpy, int screen);

// The desktop picture of the monitor as a path the core's loaders read (JPEG, PNG, GIF);
// SVG, WebP and slideshows are converted into a temporary PNG kept in
// services->tempPicture. False when the desktop names nothing loadable.
bool X11DesktopPicturePath(X11SERVICES* services, std::string* path, const MONITORID& monitor = {});

// The monitor that holds most of the window (no particular one when it meets none).
MONITORID X11WindowMonitor(Display* dpy, Window w);
