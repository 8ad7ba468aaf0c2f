// Standalone X11 window and its event handling.
#include "platform/x11_window.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstring>

Window X11CreateWindow(Display* dpy, XVisualInfo* vi, int width, int height, bool fullscreen, const char* title) {
    if (!dpy || !vi || width <= 0 || height <= 0) return 0;
    Window root = RootWindow(dpy, vi->screen);
    XSetWindowAttributes attrs;
    memset(&attrs, 0, sizeof attrs);
    attrs.colormap = XCreateColormap(dpy, root, vi->visual, AllocNone);
    attrs.background_pixel = BlackPixel(dpy, vi->screen);
    attrs.border_pixel = 0;
    attrs.event_mask = KeyPressMask | StructureNotifyMask | ExposureMask;
    Window win =
        XCreateWindow(dpy, root, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0, vi->depth,
                      InputOutput, vi->visual, CWColormap | CWBackPixel | CWBorderPixel | CWEventMask, &attrs);
    if (!win) {
        fprintf(stderr, "reefmere: cannot create an X window\n");
        return 0;
    }
    XStoreName(dpy, win, title ? title : "Reefmere");
    XClassHint hint;
    hint.res_name = const_cast<char*>("reefmere");
    hint.res_class = const_cast<char*>("Reefmere");
    XSetClassHint(dpy, win, &hint);
    Atom wmDelete = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(dpy, win, &wmDelete, 1);
    if (fullscreen) {
        Atom state = XInternAtom(dpy, "_NET_WM_STATE", False);
        Atom full = XInternAtom(dpy, "_NET_WM_STATE_FULLSCREEN", False);
        XChangeProperty(dpy, win, state, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&full), 1);
    }
    return win;
}

void X11PlaceWindow(Display* dpy, Window win, int x, int y, int width, int height) {
    if (!dpy || !win) return;
    XMoveWindow(dpy, win, x, y);
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    hints->flags = USPosition | USSize;
    hints->x = x;
    hints->y = y;
    hints->width = width;
    hints->height = height;
    XSetWMNormalHints(dpy, win, hints);
    XFree(hints);
}

void X11PumpEvents(Display* dpy, const Window* windows, X11WINDOWEVENTS* events, int count) {
    Atom wmDelete = XInternAtom(dpy, "WM_DELETE_WINDOW", True);
    while (XPending(dpy) > 0) {
        XEvent e;
        XNextEvent(dpy, &e);
        int i = 0;
        while (i < count && windows[i] != e.xany.window) ++i;
        if (i == count) continue;
        X11WINDOWEVENTS* ev = &events[i];
        switch (e.type) {
            case KeyPress: {
                KeySym sym = XLookupKeysym(&e.xkey, 0);
                if (sym == XK_Escape || sym == XK_q || sym == XK_Q) ev->quit = true;
                break;
            }
            case ConfigureNotify:
                if (e.xconfigure.width > 0 && e.xconfigure.height > 0) {
                    ev->resized = true;
                    ev->width = e.xconfigure.width;
                    ev->height = e.xconfigure.height;
                }
                break;
            case ClientMessage:
                if (wmDelete != None && static_cast<Atom>(e.xclient.data.l[0]) == wmDelete) ev->quit = true;
                break;
            case DestroyNotify:
                ev->quit = true;
                ev->destroyed = true;
                break;
            default:
                break;
        }
    }
}
