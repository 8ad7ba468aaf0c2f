// EGL surfaceless pbuffer context; see egl_context.h.
#include "platform/egl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <cstdio>
#include <cstring>

namespace {
EGLDisplay OpenDisplay() {
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    const char* exts = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (getPlatformDisplay && exts && std::strstr(exts, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (d != EGL_NO_DISPLAY) return d;
    }
    return eglGetDisplay(EGL_DEFAULT_DISPLAY);
}
}  // namespace

bool EGLCONTEXT::Create(int width, int height) {
    Destroy();
    EGLDisplay dpy = OpenDisplay();
    EGLint major = 0, minor = 0;
    if (dpy == EGL_NO_DISPLAY || !eglInitialize(dpy, &major, &minor)) {
        std::fprintf(stderr, "reefmere: EGL: no display could be initialised\n");
        return false;
    }
    display_ = dpy;
    const EGLint configAttribs[] = {EGL_SURFACE_TYPE,
                                    EGL_PBUFFER_BIT,
                                    EGL_RED_SIZE,
                                    8,
                                    EGL_GREEN_SIZE,
                                    8,
                                    EGL_BLUE_SIZE,
                                    8,
                                    EGL_ALPHA_SIZE,
                                    8,
                                    EGL_DEPTH_SIZE,
                                    24,
                                    EGL_RENDERABLE_TYPE,
                                    EGL_OPENGL_BIT,
                                    EGL_NONE};
    EGLConfig cfg = nullptr;
    EGLint n = 0;
    if (!eglChooseConfig(dpy, configAttribs, &cfg, 1, &n) || n < 1) {
        std::fprintf(stderr, "reefmere: EGL: no RGBA8 + depth pbuffer config for desktop OpenGL\n");
        Destroy();
        return false;
    }
    config_ = cfg;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        std::fprintf(stderr, "reefmere: EGL: desktop OpenGL is not available\n");
        Destroy();
        return false;
    }
    const EGLint ctxAttribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                 EGL_NONE};
    EGLContext ctx = eglCreateContext(dpy, cfg, EGL_NO_CONTEXT, ctxAttribs);
    if (ctx == EGL_NO_CONTEXT) ctx = eglCreateContext(dpy, cfg, EGL_NO_CONTEXT, nullptr);
    if (ctx == EGL_NO_CONTEXT) {
        std::fprintf(stderr, "reefmere: EGL: could not create an OpenGL context\n");
        Destroy();
        return false;
    }
    context_ = ctx;
    return Resize(width, height);
}

bool EGLCONTEXT::Resize(int width, int height) {
    if (!context_) return false;
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    EGLDisplay dpy = display_;
    const EGLint pbAttribs[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surf = eglCreatePbufferSurface(dpy, static_cast<EGLConfig>(config_), pbAttribs);
    if (surf == EGL_NO_SURFACE) {
        std::fprintf(stderr, "reefmere: EGL: could not create a %dx%d pbuffer\n", width, height);
        return false;
    }
    if (!eglMakeCurrent(dpy, surf, surf, static_cast<EGLContext>(context_))) {
        eglDestroySurface(dpy, surf);
        std::fprintf(stderr, "reefmere: EGL: could not make the context current\n");
        return false;
    }
    if (surface_) eglDestroySurface(dpy, static_cast<EGLSurface>(surface_));
    surface_ = surf;
    width_ = width;
    height_ = height;
    return true;
}

bool EGLCONTEXT::MakeCurrent() {
    if (!context_ || !surface_) return false;
    return eglMakeCurrent(display_, static_cast<EGLSurface>(surface_), static_cast<EGLSurface>(surface_),
                          static_cast<EGLContext>(context_)) == EGL_TRUE;
}

void EGLCONTEXT::Destroy() {
    if (display_) {
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (surface_) eglDestroySurface(display_, static_cast<EGLSurface>(surface_));
        if (context_) eglDestroyContext(display_, static_cast<EGLContext>(context_));
        // The display is shared process-wide by Mesa; terminating it would pull it from
        // under any other context still alive.
    }
    surface_ = nullptr;
    context_ = nullptr;
    config_ = nullptr;
    display_ = nullptr;
    width_ = height_ = 0;
}

std::vector<uint8_t> EGLCONTEXT::ReadPixels() const {
    std::vector<uint8_t> px(static_cast<size_t>(width_) * height_ * 4);
    if (px.empty()) return px;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    // GL gives the bottom row first; flip so callers and PNG writers see top row first.
    const size_t row = static_cast<size_t>(width_) * 4;
    std::vector<uint8_t> tmp(row);
    for (int y = 0; y < height_ / 2; ++y) {
        uint8_t* a = px.data() + row * y;
        uint8_t* b = px.data() + row * (height_ - 1 - y);
        std::memcpy(tmp.data(), a, row);
        std::memcpy(a, b, row);
        std::memcpy(b, tmp.data(), row);
    }
    return px;
}
