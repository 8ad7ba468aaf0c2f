// GLX visual, context and swap interval.
#include "platform/x11_glx.h"

#include <cstdio>
#include <cstring>

namespace {

bool HasExtension(const char* list, const char* name) {
    if (!list || !name) return false;
    size_t n = strlen(name);
    for (const char* p = list; (p = strstr(p, name)) != nullptr; p += n) {
        bool startOk = p == list || p[-1] == ' ';
        bool endOk = p[n] == ' ' || p[n] == '\0';
        if (startOk && endOk) return true;
    }
    return false;
}

}  // namespace

XVisualInfo* GlxChooseVisual(Display* dpy, int screen) {
    int errorBase = 0, eventBase = 0;
    if (!glXQueryExtension(dpy, &errorBase, &eventBase)) {
        fprintf(stderr, "reefmere: the X server has no GLX extension\n");
        return nullptr;
    }
    int attribs24[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8,   GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE,
                       8,        GLX_DEPTH_SIZE,   24,           None};
    XVisualInfo* vi = glXChooseVisual(dpy, screen, attribs24);
    if (vi) return vi;
    int attribs16[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 5,   GLX_GREEN_SIZE, 5, GLX_BLUE_SIZE,
                       5,        GLX_DEPTH_SIZE,   16,           None};
    vi = glXChooseVisual(dpy, screen, attribs16);
    if (!vi) fprintf(stderr, "reefmere: no double-buffered GLX visual with a depth buffer\n");
    return vi;
}

GLXContext GlxCreateContext(Display* dpy, XVisualInfo* visual) {
    GLXContext ctx = glXCreateContext(dpy, visual, nullptr, True);
    if (!ctx) ctx = glXCreateContext(dpy, visual, nullptr, False);
    if (!ctx) fprintf(stderr, "reefmere: cannot create a GLX context\n");
    return ctx;
}

bool GlxSetSwapInterval(Display* dpy, GLXDrawable drawable, int interval) {
    const char* exts = glXQueryExtensionsString(dpy, DefaultScreen(dpy));
    if (HasExtension(exts, "GLX_EXT_swap_control")) {
        auto fn = reinterpret_cast<void (*)(Display*, GLXDrawable, int)>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalEXT")));
        if (fn) {
            fn(dpy, drawable, interval);
            return true;
        }
    }
    if (HasExtension(exts, "GLX_MESA_swap_control")) {
        auto fn = reinterpret_cast<int (*)(unsigned)>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA")));
        if (fn && fn(static_cast<unsigned>(interval)) == 0) return true;
    }
    if (HasExtension(exts, "GLX_SGI_swap_control")) {
        auto fn = reinterpret_cast<int (*)(int)>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalSGI")));
        if (fn && fn(interval) == 0) return true;
    }
    return false;
}
