// Desktop pictures from X: the daemon's screenshot pixmap and the root window. See
// x11_capture.h.
#include "platform/x11_capture.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "math/RegularFile.h"

namespace {

// Errors from a vanished window or a stale pixmap id are expected here, not fatal.
int gTrappedError = 0;
int TrapError(Display*, XErrorEvent* e) {
    gTrappedError = e->error_code;
    return 0;
}

struct ERRORTRAP {
    explicit ERRORTRAP(Display* dpy) : dpy_(dpy) {
        XSync(dpy_, False);
        gTrappedError = 0;
        old_ = XSetErrorHandler(TrapError);
    }
    ~ERRORTRAP() {
        XSync(dpy_, False);
        XSetErrorHandler(old_);
    }
    bool Failed() {
        XSync(dpy_, False);
        return gTrappedError != 0;
    }
    Display* dpy_;
    int (*old_)(Display*, XErrorEvent*);
};

int Shift(unsigned long mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

uint8_t Channel(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    unsigned long v = (pixel & mask) >> Shift(mask);
    unsigned long max = mask >> Shift(mask);
    return static_cast<uint8_t>(max ? v * 255 / max : 0);
}

Pixmap ScreenshotPixmap(Display* dpy, Window w) {
    Atom prop = XInternAtom(dpy, "_SCREENSAVER_SCREENSHOT", False);
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    Pixmap p = None;
    if (XGetWindowProperty(dpy, w, prop, 0, 1, False, XA_PIXMAP, &type, &format, &n, &after, &data) == Success &&
        type == XA_PIXMAP && format == 32 && n == 1 && data)
        p = static_cast<Pixmap>(*reinterpret_cast<unsigned long*>(data));
    if (data) XFree(data);
    return p;
}

}  // namespace

uint8_t* DrawableToRGBA(Display* dpy, Drawable d, Visual* visual, int x, int y, int width, int height) {
    if (width <= 0 || height <= 0 || !visual) return nullptr;
    ERRORTRAP trap(dpy);
    XImage* img =
        XGetImage(dpy, d, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (trap.Failed() || !img) {
        if (img) XDestroyImage(img);
        return nullptr;
    }
    unsigned long rm = visual->red_mask, gm = visual->green_mask, bm = visual->blue_mask;
    uint8_t* out = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(width) * height * 4));
    if (!out) {
        XDestroyImage(img);
        return nullptr;
    }
    bool fast =
        img->bits_per_pixel == 32 && img->byte_order == LSBFirst && rm == 0xff0000 && gm == 0xff00 && bm == 0xff;
    for (int row = 0; row < height; ++row) {
        uint8_t* dst = out + static_cast<size_t>(height - 1 - row) * width * 4;  // bottom row first
        const uint8_t* src =
            reinterpret_cast<const uint8_t*>(img->data) + static_cast<size_t>(row) * img->bytes_per_line;
        for (int col = 0; col < width; ++col) {
            if (fast) {
                dst[4 * col + 0] = src[4 * col + 2];
                dst[4 * col + 1] = src[4 * col + 1];
                dst[4 * col + 2] = src[4 * col + 0];
            } else {
                unsigned long p = XGetPixel(img, col, row);
                dst[4 * col + 0] = Channel(p, rm);
                dst[4 * col + 1] = Channel(p, gm);
                dst[4 * col + 2] = Channel(p, bm);
            }
            dst[4 * col + 3] = 255;
        }
    }
    XDestroyImage(img);
    return out;
}

uint8_t* CaptureSaverScreenshot(Display* dpy, Window w, int* width, int* height) {
    *width = *height = 0;
    Pixmap pix = None;
    Window at = w;
    // The daemon puts the property on its own window; a hack may sit in a child of it.
    for (int depth = 0; at != None && depth < 8 && pix == None; ++depth) {
        pix = ScreenshotPixmap(dpy, at);
        if (pix != None) break;
        Window root, parent, *kids = nullptr;
        unsigned int nk = 0;
        ERRORTRAP trap(dpy);
        if (!XQueryTree(dpy, at, &root, &parent, &kids, &nk) || trap.Failed()) break;
        if (kids) XFree(kids);
        if (at == root) break;
        at = parent;
    }
    if (pix == None) return nullptr;
    Window root;
    int px, py;
    unsigned int pw = 0, ph = 0, border, depth;
    {
        ERRORTRAP trap(dpy);
        if (!XGetGeometry(dpy, pix, &root, &px, &py, &pw, &ph, &border, &depth) || trap.Failed()) {
            std::fprintf(stderr, "reefmere: the screen saver's desktop picture is gone\n");
            return nullptr;
        }
    }
    XWindowAttributes wa;
    if (!XGetWindowAttributes(dpy, w, &wa)) return nullptr;
    // The pixmap has the depth of the screen's windows; its colours follow the window's visual.
    Visual* visual = static_cast<int>(depth) == wa.depth ? wa.visual : DefaultVisualOfScreen(wa.screen);
    uint8_t* rgba = DrawableToRGBA(dpy, pix, visual, 0, 0, static_cast<int>(pw), static_cast<int>(ph));
    if (!rgba) return nullptr;
    *width = static_cast<int>(pw);
    *height = static_cast<int>(ph);
    return rgba;
}

uint8_t* CaptureRootRect(Display* dpy, int screen, int x, int y, int width, int height, int* outWidth, int* outHeight) {
    *outWidth = *outHeight = 0;
    Window root = RootWindow(dpy, screen);
    uint8_t* rgba = DrawableToRGBA(dpy, root, DefaultVisual(dpy, screen), x, y, width, height);
    if (!rgba) return nullptr;
    *outWidth = width;
    *outHeight = height;
    return rgba;
}

bool ParseGrabDesktopImages(const std::string& text) {
    bool allowed = true;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        size_t a = line.find_first_not_of(" \t");
        if (a == std::string::npos || line.compare(a, 18, "grabDesktopImages:") != 0) continue;
        std::string v = line.substr(a + 18);
        size_t b = v.find_first_not_of(" \t");
        v = b == std::string::npos ? "" : v.substr(b);
        while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r')) v.pop_back();
        for (char& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (v == "false" || v == "off" || v == "no" || v == "0")
            allowed = false;
        else if (v == "true" || v == "on" || v == "yes" || v == "1")
            allowed = true;
    }
    return allowed;
}

bool GrabDesktopImagesAllowed() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return true;
    std::string text;
    if (!ReadRegularFile((std::string(home) + "/.xscreensaver").c_str(), 4u << 20, &text)) return true;
    return ParseGrabDesktopImages(text);
}
