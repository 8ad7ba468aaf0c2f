// The -fps overlay; see x11_fps.h.
#include "platform/x11_fps.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

struct X11FPS {
    Display* dpy = nullptr;
    XFontStruct* font = nullptr;
    GLuint lists = 0;        // display lists for characters 32..126
    int lineHeight = 13;     // pixels
    double windowStart = 0;  // seconds, monotonic
    double cpuStart = 0;     // seconds of process time
    int frames = 0;
    char text[64] = "FPS: --\nLoad: --";
};

namespace {

const int kFirstChar = 32;
const int kCharCount = 95;

double Monotonic() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

double ProcessSeconds() {
    rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
}

void DrawLine(const X11FPS* f, const char* s, size_t n, int x, int y) {
    glRasterPos2i(x, y);
    glListBase(f->lists - kFirstChar);
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == ' ') {
            // Blank glyphs may come out without an advance; move the raster position by hand.
            glBitmap(0, 0, 0, 0, static_cast<GLfloat>(f->font->max_bounds.width), 0, nullptr);
            continue;
        }
        glCallLists(1, GL_UNSIGNED_BYTE, s + i);
    }
}

}  // namespace

X11FPS* X11FpsCreate(Display* dpy) {
    XFontStruct* font = nullptr;
    for (const char* name : {"-*-courier-bold-r-normal-*-*-180-*-*-*-*-iso8859-1", "9x15bold", "fixed"}) {
        font = XLoadQueryFont(dpy, name);
        if (font) break;
    }
    if (!font) {
        std::fprintf(stderr, "reefmere: -fps: no X font to draw with\n");
        return nullptr;
    }
    GLuint lists = glGenLists(kCharCount);
    if (!lists) {
        XFreeFont(dpy, font);
        return nullptr;
    }
    glXUseXFont(font->fid, kFirstChar, kCharCount, static_cast<int>(lists));
    X11FPS* f = new X11FPS;
    f->dpy = dpy;
    f->font = font;
    f->lists = lists;
    f->lineHeight = font->ascent + font->descent + 2;
    f->windowStart = Monotonic();
    f->cpuStart = ProcessSeconds();
    return f;
}

void X11FpsDraw(X11FPS* f, int width, int height) {
    if (!f || width <= 0 || height <= 0) return;
    f->frames++;
    double now = Monotonic();
    double span = now - f->windowStart;
    if (span >= 1.0) {  // refresh the numbers once a second
        double cpu = ProcessSeconds();
        std::snprintf(f->text, sizeof f->text, "FPS: %.1f\nLoad: %.1f%%", f->frames / span,
                      100.0 * (cpu - f->cpuStart) / span);
        f->frames = 0;
        f->windowStart = now;
        f->cpuStart = cpu;
    }
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_FOG);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    for (int p = 0; p < 6; ++p) glDisable(GL_CLIP_PLANE0 + p);
    // Two lines from the bottom left, a dark shadow under white text.
    const char* lines[2] = {f->text, std::strchr(f->text, '\n')};
    size_t lens[2] = {lines[1] ? static_cast<size_t>(lines[1] - lines[0]) : std::strlen(lines[0]), 0};
    if (lines[1]) {
        lines[1]++;
        lens[1] = std::strlen(lines[1]);
    }
    int baseY = 10 + f->font->descent;
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 0)
            glColor3f(0, 0, 0);
        else
            glColor3f(1, 1, 1);
        int off = pass == 0 ? 1 : 0;
        if (lines[1]) DrawLine(f, lines[1], lens[1], 10 + off, baseY - off);
        DrawLine(f, lines[0], lens[0], 10 + off, baseY + f->lineHeight - off);
    }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}


void X11FpsDestroy(X11FPS* f) {
    if (!f) return;
    if (f->lists) glDeleteLists(f->lists, kCharCount);
    if (f->font) XFreeFont(f->dpy, f->font);
    delete f;
}
