// Desktop services of an X11 view surface; see x11_services.h.
#include "platform/x11_services.h"

#include <GL/glx.h>
#include <stb_image.h>
#include <stb_image_write.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "math/RegularFile.h"
#include "platform/desktop_picture.h"
#include "platform/x11_capture.h"
#include "platform/x11_fps.h"
#include "platform/x11_host.h"
#include "platform/x11_monitors.h"

namespace {

// Rendered size for pictures without pixels of their own (SVG): big enough for any
// detail level the view asks for later.
const int kVectorPictureSide = 4096;

X11SURFACE* Surface(void* user) { return static_cast<X11SURFACE*>(user); }

bool MainScreen(void* user) {
    X11SURFACE* s = Surface(user);
    return WindowOnMainMonitor(s->dpy, s->win);
}

uint8_t* Capture(void* user, int* width, int* height) {
    X11SURFACE* s = Surface(user);
    X11SERVICES* sv = s->services;
    *width = *height = 0;
    if (!sv) return nullptr;
    switch (sv->capture) {
        case X11CAPTURE::SaverImage:
            // A locked screen must not show the user's windows unless the user allowed it.
            if (!GrabDesktopImagesAllowed()) {
                std::fprintf(stderr, "reefmere: grabDesktopImages is off in ~/.xscreensaver: no desktop capture\n");
                return nullptr;
            }
            return CaptureSaverScreenshot(s->dpy, s->win, width, height);
        case X11CAPTURE::Prepared: {
            if (!sv->prepared) return nullptr;
            size_t n = static_cast<size_t>(sv->preparedWidth) * sv->preparedHeight * 4;
            uint8_t* copy = static_cast<uint8_t*>(std::malloc(n));
            if (!copy) return nullptr;
            std::memcpy(copy, sv->prepared, n);
            *width = sv->preparedWidth;
            *height = sv->preparedHeight;
            return copy;
        }
        case X11CAPTURE::Off:
            break;
    }
    return nullptr;
}

bool DesktopPicture(void* user, char* path, size_t size) {
    X11SURFACE* s = Surface(user);
    if (!s->services || size == 0) return false;
    std::string p;
    // Each view shows the picture of the monitor it covers.
    if (!X11DesktopPicturePath(s->services, &p, X11WindowMonitor(s->dpy, s->win)) || p.size() + 1 > size) return false;
    std::memcpy(path, p.c_str(), p.size() + 1);
    return true;
}

bool SoundPlay(void* user, const char* path, float volume) {
    X11SURFACE* s = Surface(user);
    return s->services && s->services->sound.Play(path, volume);
}

void SoundStop(void* user) {
    X11SURFACE* s = Surface(user);
    if (s->services) s->services->sound.Stop();
}

void SwapWithFps(void* user) {
    X11SURFACE* s = Surface(user);
    X11SERVICES* sv = s->services;
    if (sv && sv->showFps) {
        if (!sv->fps) {
            sv->fps = X11FpsCreate(s->dpy);
            if (!sv->fps) sv->showFps = false;  // no font: no overlay, said once
        }
        X11FpsDraw(sv->fps, s->width, s->height);
    }
    glXSwapBuffers(s->dpy, s->win);
}

bool StbReadable(const std::string& path) {
    int w, h, n;
    FILE* f = FopenRegular(path.c_str());
    if (!f) return false;
    bool ok = stbi_info_from_file(f, &w, &h, &n) != 0;
    fclose(f);
    return ok;
}

// The converted picture must not outlive a dying X server: Xlib exits the process from
// its I/O error handler, past every Cleanup, so the handler removes the file first.
char tempPictureOnExit[4096];
XIOErrorHandler earlierIOHandler = nullptr;
bool ioHandlerSet = false;

int RemoveTempPictureAndExit(Display* dpy) {
    if (tempPictureOnExit[0]) unlink(tempPictureOnExit);
    return earlierIOHandler ? earlierIOHandler(dpy) : 1;
}

}  // namespace

void X11SERVICES::Cleanup() {
    std::free(prepared);
    prepared = nullptr;
    preparedWidth = preparedHeight = 0;
    sound.Stop();
    if (!tempPicture.empty()) {
        tempPictureOnExit[0] = '\0';
        unlink(tempPicture.c_str());
        tempPicture.clear();
    }
    X11FpsDestroy(fps);
    fps = nullptr;
}

void X11FillServices(X11SURFACE* s, REEFHOST* host) {
    host->isMainScreen = MainScreen;
    host->captureScreen = Capture;
    host->desktopPicture = DesktopPicture;
    host->soundPlay = SoundPlay;
    host->soundStop = SoundStop;
    if (s->services && s->services->showFps) host->swapBuffers = SwapWithFps;
}

bool X11PrepareRootCapture(X11SERVICES* sv, Display* dpy, int screen, int x, int y, int width, int height) {
    std::free(sv->prepared);
    sv->prepared = CaptureRootRect(dpy, screen, x, y, width, height, &sv->preparedWidth, &sv->preparedHeight);
    sv->capture = X11CAPTURE::Prepared;
    return sv->prepared != nullptr;
}

bool X11PrepareStandaloneCapture(X11SERVICES* sv, Display* dpy, int screen) {
    std::vector<MONITORRECT> mons = QueryMonitors(dpy, RootWindow(dpy, screen));
    int main = MainMonitorIndex(mons);
    if (main < 0) return false;
    const MONITORRECT& m = mons[static_cast<size_t>(main)];
    return X11PrepareRootCapture(sv, dpy, screen, m.x, m.y, m.width, m.height);
}

MONITORID X11WindowMonitor(Display* dpy, Window w) {
    XWindowAttributes wa;
    int x, y, width, height;
    if (!XGetWindowAttributes(dpy, w, &wa) || !WindowRootRect(dpy, w, &x, &y, &width, &height)) return {};
    const std::vector<MONITORRECT> mons = QueryMonitors(dpy, wa.root);
    const int under = MonitorUnderRect(mons, x, y, width, height);
    if (under < 0) return {};
    return {mons[static_cast<size_t>(under)].name, under};
}

bool X11DesktopPicturePath(X11SERVICES* sv, std::string* path, const MONITORID& monitor) {
    for (const std::string& candidate : DesktopPictureChain("", monitor)) {
        struct stat st;
        if (stat(candidate.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (StbReadable(candidate)) {
            *path = candidate;
            return true;
        }
        // SVG, WebP or a slideshow: decode here, hand the core a PNG.
        PICTURERGBA pic;
        if (!LoadPictureRGBA(candidate, kVectorPictureSide, &pic)) continue;
        if (!sv->tempPicture.empty()) unlink(sv->tempPicture.c_str());
        const char* dir = std::getenv("XDG_RUNTIME_DIR");
        std::string tmpl = std::string(dir && *dir == '/' ? dir : "/tmp") + "/reefmere-desktop-XXXXXX";
        std::vector<char> name(tmpl.begin(), tmpl.end());
        name.push_back('\0');
        int fd = mkstemp(name.data());
        if (fd < 0) {
            std::fprintf(stderr, "reefmere: %s: no room for a temporary picture\n", tmpl.c_str());
            return false;
        }
        close(fd);
        sv->tempPicture = name.data();
        snprintf(tempPictureOnExit, sizeof tempPictureOnExit, "%s", name.data());
        if (!ioHandlerSet) {
            earlierIOHandler = XSetIOErrorHandler(RemoveTempPictureAndExit);
            ioHandlerSet = true;
        }
        if (!stbi_write_png(sv->tempPicture.c_str(), pic.width, pic.height, 4, pic.pixels.data(), pic.width * 4)) {
            std::fprintf(stderr, "reefmere: %s: cannot write the converted desktop picture\n", sv->tempPicture.c_str());
            unlink(sv->tempPicture.c_str());
            sv->tempPicture.clear();
            tempPictureOnExit[0] = '\0';
            return false;
        }
        *path = sv->tempPicture;
        return true;
    }
    return false;
}
