// Hack-mode window resolution and quit signals; see x11_screensaver.h.
#include "platform/x11_screensaver.h"

#include <X11/Xatom.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/x11_monitors.h"

namespace {

int gBadWindow = 0;
int TrapBadWindow(Display*, XErrorEvent* e) {
    gBadWindow = e->error_code;
    return 0;
}

bool WindowExists(Display* dpy, Window w) {
    XSync(dpy, False);
    gBadWindow = 0;
    auto old = XSetErrorHandler(TrapBadWindow);
    XWindowAttributes wa;
    Status ok = XGetWindowAttributes(dpy, w, &wa);
    XSync(dpy, False);
    XSetErrorHandler(old);
    return ok && !gBadWindow;
}

}  // namespace

bool ParseWindowId(const char* text, Window* out) {
    if (!text || !*text) return false;
    const char* p = text;
    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    if (!*p) return false;
    for (const char* q = p; *q; ++q)
        if (base == 10 ? !std::isdigit(static_cast<unsigned char>(*q)) : !std::isxdigit(static_cast<unsigned char>(*q)))
            return false;
    errno = 0;
    unsigned long long v = std::strtoull(p, nullptr, base);
    if (errno == ERANGE || v == 0 || v > 0xffffffffULL) return false;  // X ids are 29 bits
    *out = static_cast<Window>(v);
    return true;
}

Window VirtualRoot(Display* dpy, int screen) {
    Window root = RootWindow(dpy, screen);
    Atom vroot = XInternAtom(dpy, "__SWM_VROOT", False);
    Window rootRet, parent, *kids = nullptr;
    unsigned int n = 0;
    Window found = root;
    if (XQueryTree(dpy, root, &rootRet, &parent, &kids, &n)) {
        for (unsigned int i = 0; i < n && found == root; ++i) {
            Atom type;
            int format;
            unsigned long items, after;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(dpy, kids[i], vroot, 0, 1, False, XA_WINDOW, &type, &format, &items, &after,
                                   &data) == Success &&
                type == XA_WINDOW && format == 32 && items == 1 && data) {
                Window w = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
                if (w != None && WindowExists(dpy, w)) found = w;
            }
            if (data) XFree(data);
        }
        if (kids) XFree(kids);
    }
    return found;
}

Window ResolveHackWindow(Display* dpy, int screen, bool rootFlag, const char* windowIdArg, std::string* why,
                         bool* fromVariable) {
    if (fromVariable) *fromVariable = false;
    Window w = None;
    if (windowIdArg && *windowIdArg) {
        if (!ParseWindowId(windowIdArg, &w)) {
            *why = std::string("-window-id: not a window id: ") + windowIdArg;
            return None;
        }
        if (!WindowExists(dpy, w)) {
            *why = std::string("-window-id: no such window: ") + windowIdArg;
            return None;
        }
        return w;
    }
    const char* env = std::getenv("XSCREENSAVER_WINDOW");
    if (env && *env) {
        if (!ParseWindowId(env, &w)) {
            *why = std::string("XSCREENSAVER_WINDOW is not a window id: ") + env;
            return None;
        }
        if (!WindowExists(dpy, w)) {
            *why = std::string("XSCREENSAVER_WINDOW names no window: ") + env;
            return None;
        }
        if (fromVariable) *fromVariable = true;
        return w;
    }
    if (rootFlag) return VirtualRoot(dpy, screen);
    *why = "no window given";
    return None;
}

bool WindowIsPreview(Display* dpy, Window w) {
    XWindowAttributes wa;
    int x, y, width, height;
    if (!XGetWindowAttributes(dpy, w, &wa) || !WindowRootRect(dpy, w, &x, &y, &width, &height)) return false;
    return !RectCoversMonitor(QueryMonitors(dpy, wa.root), x, y, width, height);
}
