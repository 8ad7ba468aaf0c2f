// XRandR monitor queries; see x11_monitors.h.
#include "platform/x11_monitors.h"

#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>

std::vector<MONITORRECT> QueryMonitors(Display* dpy, Window root) {
    std::vector<MONITORRECT> out;
    int evBase = 0, errBase = 0, major = 0, minor = 0;
    if (XRRQueryExtension(dpy, &evBase, &errBase) && XRRQueryVersion(dpy, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 5))) {
        int n = 0;
        XRRMonitorInfo* m = XRRGetMonitors(dpy, root, True, &n);
        for (int i = 0; m && i < n; ++i) {
            if (m[i].width <= 0 || m[i].height <= 0) continue;
            MONITORRECT r;
            r.x = m[i].x;
            r.y = m[i].y;
            r.width = m[i].width;
            r.height = m[i].height;
            r.primary = m[i].primary != 0;
            if (char* nm = m[i].name ? XGetAtomName(dpy, m[i].name) : nullptr) {
                r.name = nm;
                XFree(nm);
            }
            out.push_back(r);
        }
        if (m) XRRFreeMonitors(m);
    }
    if (out.empty()) {
        XWindowAttributes wa;
        if (XGetWindowAttributes(dpy, root, &wa)) {
            MONITORRECT r;
            r.width = wa.width;
            r.height = wa.height;
            r.primary = true;
            r.name = "screen";
            out.push_back(r);
        }
    }
    return out;
}

int MainMonitorIndex(const std::vector<MONITORRECT>& monitors) {
    for (size_t i = 0; i < monitors.size(); ++i)
        if (monitors[i].primary) return static_cast<int>(i);
    return monitors.empty() ? -1 : 0;
}

namespace {
// Pixels shared by a monitor and a rectangle.
long long Overlap(const MONITORRECT& m, int x, int y, int width, int height) {
    long long w = std::min(x + width, m.x + m.width) - std::max(x, m.x);
    long long h = std::min(y + height, m.y + m.height) - std::max(y, m.y);
    return w > 0 && h > 0 ? w * h : 0;
}
}  // namespace

int MonitorUnderRect(const std::vector<MONITORRECT>& monitors, int x, int y, int width, int height) {
    int best = -1;
    long long bestArea = 0;
    for (size_t i = 0; i < monitors.size(); ++i) {
        long long a = Overlap(monitors[i], x, y, width, height);
        if (a > bestArea) {
            bestArea = a;
            best = static_cast<int>(i);
        }
    }
    return best;
}

bool RectCoversMonitor(const std::vector<MONITORRECT>& monitors, int x, int y, int width, int height) {
    for (const MONITORRECT& m : monitors) {
        if (m.width <= 0 || m.height <= 0) continue;
        if (x <= m.x && y <= m.y && static_cast<long long>(x) + width >= static_cast<long long>(m.x) + m.width &&
            static_cast<long long>(y) + height >= static_cast<long long>(m.y) + m.height)
            return true;
    }
    return false;
}

bool WindowRootRect(Display* dpy, Window w, int* x, int* y, int* width, int* height) {
    XWindowAttributes wa;
    if (!XGetWindowAttributes(dpy, w, &wa)) return false;
    Window child;
    int rx = 0, ry = 0;
    if (!XTranslateCoordinates(dpy, w, wa.root, 0, 0, &rx, &ry, &child)) return false;
    *x = rx;
    *y = ry;
    *width = wa.width;
    *height = wa.height;
    return true;
}

bool WindowOnMainMonitor(Display* dpy, Window w) {
    int x, y, width, height;
    XWindowAttributes wa;
    if (!XGetWindowAttributes(dpy, w, &wa) || !WindowRootRect(dpy, w, &x, &y, &width, &height)) return true;
    std::vector<MONITORRECT> mons = QueryMonitors(dpy, wa.root);
    if (mons.size() <= 1) return true;
    int under = MonitorUnderRect(mons, x, y, width, height);
    if (under < 0) return true;
    // A window spanning several monitors (one -root over the whole screen) counts as on the
    // main one when it covers that as much as any other.
    const MONITORRECT& main = mons[static_cast<size_t>(MainMonitorIndex(mons))];
    return Overlap(main, x, y, width, height) >= Overlap(mons[static_cast<size_t>(under)], x, y, width, height);
}
