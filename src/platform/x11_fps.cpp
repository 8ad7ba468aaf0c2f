// The -fps overlay; see x11_fps.h.
#include "platform/x11_fps.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <fcntl.h>
#include <stb_truetype.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {
const int kFirstChar = 32;
const int kCharCount = 95;
const int kAtlasW = 256;  // texels; 16-pixel glyphs 32..126 fit with room to spare
const int kAtlasH = 128;
}  // namespace

struct X11FPS {
    Display* dpy = nullptr;
    // DejaVu: the printable ASCII glyphs baked into one alpha texture.
    GLuint atlas = 0;
    stbtt_bakedchar glyphs[kCharCount] = {};
    int descent = 4;  // pixels below the baseline
    // Fallback: a core X font as display lists.
    XFontStruct* font = nullptr;
    GLuint lists = 0;        // display lists for characters 32..126
    int lineHeight = 13;     // pixels
    double windowStart = 0;  // seconds, monotonic
    double cpuStart = 0;     // seconds of process time
    int frames = 0;
    char text[64] = "FPS: --\nLoad: --";
};

namespace {

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

// The font file's bytes from the usual DejaVu folders; empty when none is found.
std::vector<unsigned char> ReadDejaVu() {
    std::vector<std::string> dirs;
    if (const char* env = std::getenv("REEFPACK_FONT_DIR")) dirs.push_back(env);
    for (const char* d : {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/TTF", "/usr/share/fonts/dejavu"})
        dirs.push_back(d);
    for (const std::string& dir : dirs) {
        std::string path = dir + "/DejaVuSansMono-Bold.ttf";
        int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st;
        std::vector<unsigned char> bytes;
        // A regular file of a plausible size (the face is about 330 KB).
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size < (8 << 20)) {
            bytes.resize(static_cast<size_t>(st.st_size));
            size_t got = 0;
            while (got < bytes.size()) {
                ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
                if (n <= 0) break;
                got += static_cast<size_t>(n);
            }
            if (got != bytes.size()) bytes.clear();
        }
        close(fd);
        if (!bytes.empty()) return bytes;
    }
    return {};
}

bool BakeDejaVu(X11FPS* f) {
    std::vector<unsigned char> ttf = ReadDejaVu();
    stbtt_fontinfo info;
    if (ttf.empty() || stbtt_GetFontOffsetForIndex(ttf.data(), 0) != 0 || !stbtt_InitFont(&info, ttf.data(), 0))
        return false;
    const float pixels = 16.0f;
    std::vector<unsigned char> alpha(kAtlasW * kAtlasH);
    if (stbtt_BakeFontBitmap(ttf.data(), 0, pixels, alpha.data(), kAtlasW, kAtlasH, kFirstChar, kCharCount,
                             f->glyphs) <= 0)
        return false;  // did not fit
    int ascent = 0, descent = 0, gap = 0;
    stbtt_GetFontVMetrics(&info, &ascent, &descent, &gap);
    float scale = stbtt_ScaleForPixelHeight(&info, pixels);
    f->descent = static_cast<int>(-descent * scale + 0.5f);
    f->lineHeight = static_cast<int>((ascent - descent + gap) * scale + 0.5f) + 1;
    glGenTextures(1, &f->atlas);
    if (!f->atlas) return false;
    glBindTexture(GL_TEXTURE_2D, f->atlas);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, kAtlasW, kAtlasH, 0, GL_ALPHA, GL_UNSIGNED_BYTE, alpha.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    return true;
}

// One line from pen x at baseline y (y down), as textured quads over the atlas.
void DrawBakedLine(const X11FPS* f, const char* s, size_t n, float x, float y) {
    glBegin(GL_QUADS);
    for (size_t i = 0; i < n; ++i) {
        int c = static_cast<unsigned char>(s[i]);
        if (c < kFirstChar || c >= kFirstChar + kCharCount) c = '?';
        stbtt_aligned_quad q;
        stbtt_GetBakedQuad(f->glyphs, kAtlasW, kAtlasH, c - kFirstChar, &x, &y, &q, 1);
        glTexCoord2f(q.s0, q.t0), glVertex2f(q.x0, q.y0);
        glTexCoord2f(q.s1, q.t0), glVertex2f(q.x1, q.y0);
        glTexCoord2f(q.s1, q.t1), glVertex2f(q.x1, q.y1);
        glTexCoord2f(q.s0, q.t1), glVertex2f(q.x0, q.y1);
    }
    glEnd();
}

}  // namespace

X11FPS* X11FpsCreate(Display* dpy) {
    X11FPS* f = new X11FPS;
    f->dpy = dpy;
    f->windowStart = Monotonic();
    f->cpuStart = ProcessSeconds();
    if (BakeDejaVu(f)) return f;
    if (f->atlas) glDeleteTextures(1, &f->atlas);
    f->atlas = 0;

    XFontStruct* font = nullptr;
    for (const char* name : {"-*-courier-bold-r-normal-*-*-180-*-*-*-*-iso8859-1", "9x15bold", "fixed"}) {
        font = dpy ? XLoadQueryFont(dpy, name) : nullptr;
        if (font) break;
    }
    GLuint lists = font ? glGenLists(kCharCount) : 0;
    if (!lists) {
        std::fprintf(stderr, "reefmere: -fps: no font to draw with (install fonts-dejavu-core)\n");
        if (font) XFreeFont(dpy, font);
        delete f;
        return nullptr;
    }
    glXUseXFont(font->fid, kFirstChar, kCharCount, static_cast<int>(lists));
    f->font = font;
    f->lists = lists;
    f->lineHeight = font->ascent + font->descent + 2;
    f->descent = font->descent;
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
    // Pixels; y up for the core font's raster positions, y down for the baked quads.
    if (f->atlas)
        glOrtho(0, width, height, 0, -1, 1);
    else
        glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glDisable(GL_ALPHA_TEST);
    for (int p = 0; p < 6; ++p) glDisable(GL_CLIP_PLANE0 + p);
    if (f->atlas) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, f->atlas);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else {
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
    }
    // Two lines from the bottom left, a dark shadow under white text.
    const char* lines[2] = {f->text, std::strchr(f->text, '\n')};
    size_t lens[2] = {lines[1] ? static_cast<size_t>(lines[1] - lines[0]) : std::strlen(lines[0]), 0};
    if (lines[1]) {
        lines[1]++;
        lens[1] = std::strlen(lines[1]);
    }
    int baseY = 10 + f->descent;
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 0)
            glColor4f(0, 0, 0, 1);
        else
            glColor4f(1, 1, 1, 1);
        int off = pass == 0 ? 1 : 0;
        if (f->atlas) {
            float bottom = static_cast<float>(height - baseY + off);
            if (lines[1]) DrawBakedLine(f, lines[1], lens[1], 10.0f + off, bottom);
            DrawBakedLine(f, lines[0], lens[0], 10.0f + off, bottom - f->lineHeight);
        } else {
            if (lines[1]) DrawLine(f, lines[1], lens[1], 10 + off, baseY - off);
            DrawLine(f, lines[0], lens[0], 10 + off, baseY + f->lineHeight - off);
        }
    }
    if (f->atlas) glBindTexture(GL_TEXTURE_2D, 0);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

void X11FpsDestroy(X11FPS* f) {
    if (!f) return;
    if (f->lists) glDeleteLists(f->lists, kCharCount);
    if (f->atlas) glDeleteTextures(1, &f->atlas);
    if (f->font) XFreeFont(f->dpy, f->font);
    delete f;
}
