// The hack on a foreign window; see x11_screensaver_host.h.
#include "platform/x11_screensaver_host.h"

#include <GL/glx.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/x11_glx.h"
#include "platform/x11_screensaver.h"
#include "platform/x11_services.h"

namespace {

// A window the daemon destroys while we draw ends the loop through DestroyNotify; the
// X errors on the way there must not end the process before it has cleaned up.
int gXErrors = 0;
int QuietXError(Display* dpy, XErrorEvent* e) {
    if (gXErrors++ == 0) {
        char text[128];
        XGetErrorText(dpy, e->error_code, text, sizeof text);
        std::fprintf(stderr, "reefmere: X error on the saver window: %s\n", text);
    }
    return 0;
}

// The visual of the window itself, when GL can draw double-buffered RGBA into it.
XVisualInfo* WindowGlVisual(Display* dpy, const XWindowAttributes& wa) {
    XVisualInfo tmpl;
    tmpl.visualid = XVisualIDFromVisual(wa.visual);
    tmpl.screen = XScreenNumberOfScreen(wa.screen);
    int n = 0;
    XVisualInfo* vi = XGetVisualInfo(dpy, VisualIDMask | VisualScreenMask, &tmpl, &n);
    if (!vi || n < 1) return nullptr;
    int useGl = 0, rgba = 0, doubleBuffer = 0, depth = 0;
    glXGetConfig(dpy, vi, GLX_USE_GL, &useGl);
    glXGetConfig(dpy, vi, GLX_RGBA, &rgba);
    glXGetConfig(dpy, vi, GLX_DOUBLEBUFFER, &doubleBuffer);
    glXGetConfig(dpy, vi, GLX_DEPTH_SIZE, &depth);
    if (!useGl || !rgba || !doubleBuffer || depth < 16) {
        std::fprintf(stderr,
                     "reefmere: the given window's visual 0x%lx has no double-buffered RGBA GL with a depth "
                     "buffer (list reefmere with the GL: prefix in ~/.xscreensaver)\n",
                     tmpl.visualid);
        XFree(vi);
        return nullptr;
    }
    return vi;
}

}  // namespace

int RunHack(const HACKOPTIONS& o, const VIEWOPTIONS& viewOptions) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "reefmere: cannot open the X display (is DISPLAY set?)\n");
        return 1;
    }
    std::string why;
    bool fromVariable = false;
    Window win = ResolveHackWindow(dpy, DefaultScreen(dpy), o.root, o.windowId.c_str(), &why, &fromVariable);
    XWindowAttributes wa;
    if (win == None || !XGetWindowAttributes(dpy, win, &wa)) {
        std::fprintf(stderr, "reefmere: %s\n", why.empty() ? "the saver window is gone" : why.c_str());
        XCloseDisplay(dpy);
        return 1;
    }
    XVisualInfo* vi = WindowGlVisual(dpy, wa);
    GLXContext ctx = vi ? GlxCreateContext(dpy, vi) : nullptr;
    if (!ctx) {
        if (vi) XFree(vi);
        XCloseDisplay(dpy);
        return 1;
    }
    // Events any number of clients may select on someone else's window.
    XSelectInput(dpy, win, StructureNotifyMask | ExposureMask);
    XSetErrorHandler(QuietXError);

    X11SERVICES services;
    services.capture = X11CAPTURE::SaverImage;
    services.showFps = o.fps;
    X11SURFACE s;
    s.dpy = dpy;
    s.win = win;
    s.ctx = ctx;
    s.width = wa.width;
    s.height = wa.height;
    s.services = &services;

    X11RUNOPTIONS ro;
    ro.width = wa.width;
    ro.height = wa.height;
    ro.seconds = o.seconds;
    ro.delay = o.delay;
    ro.handleKeys = false;  // keys belong to the daemon (it unblanks on them)
    bool given = !o.windowId.empty() || fromVariable;
    ro.preview = o.preview || (given && WindowIsPreview(dpy, win));
    const char* debug = getenv("REEFMERE_DEBUG");
    if (debug && strcmp(debug, "1") == 0)
        std::fprintf(stderr, "reefmere: window 0x%lx, %dx%d: %s\n", win, wa.width, wa.height,
                     ro.preview ? "preview (no sound, low detail, no overlay)" : "full view");

    X11InstallQuitSignals();
    int status = RunX11Loop({&s}, ro, viewOptions);

    if (glXMakeCurrent(dpy, win, ctx)) services.Cleanup();
    services.Cleanup();
    glXMakeCurrent(dpy, None, nullptr);
    glXDestroyContext(dpy, ctx);
    XFree(vi);
    XSelectInput(dpy, win, NoEventMask);  // the window stays; only our interest goes
    XSync(dpy, False);
    XCloseDisplay(dpy);
    return status;
}
