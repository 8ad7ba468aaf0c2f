// Headless host: EGLCONTEXT + fixed clock + stb_image_write. Used by reefmere --headless.
#include "platform/headless_host.h"

#include <GL/gl.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/egl_context.h"
#include "settings/Paths.h"

namespace {

struct HEADLESSSTATE {
    EGLCONTEXT gl;
    double clock = 0.0;  // seconds of scene time
    int width = 0;
    int height = 0;
};

bool HLMakeCurrent(void* user) { return static_cast<HEADLESSSTATE*>(user)->gl.MakeCurrent(); }
double HLNow(void* user) { return static_cast<HEADLESSSTATE*>(user)->clock; }
void HLSwap(void*) { glFinish(); }  // a pbuffer has one buffer: the frame is read back as is
void HLSize(void* user, int* w, int* h) {
    auto* s = static_cast<HEADLESSSTATE*>(user);
    *w = s->width;
    *h = s->height;
}
bool HLMainScreen(void*) { return true; }

}  // namespace

double HeadlessStep(const ReefmereView& view, double delay) {
    double step = std::max(view.animationTimeInterval(), delay);
    double minimum = view.MinimumStep();
    // Every call draws: a step at or below the minimum would draw only every other call
    // (LOWCPU then runs at its 20 frames a second of scene time).
    if (step <= minimum) step = minimum + 1e-6;
    return step;
}

bool WriteFramePNG(const std::string& path, const unsigned char* rgba, int width, int height) {
    if (!rgba || width <= 0 || height <= 0) {
        fprintf(stderr, "reefmere: cannot write %s\n", path.c_str());
        return false;
    }
    // A screen shows colour only; the buffer's alpha (lowered wherever translucent fins
    // blended) would turn into holes in the picture, so the frame is written as RGB.
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
        rgb[i * 3] = rgba[i * 4];
        rgb[i * 3 + 1] = rgba[i * 4 + 1];
        rgb[i * 3 + 2] = rgba[i * 4 + 2];
    }
    if (!stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3)) {
        fprintf(stderr, "reefmere: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

int RunHeadless(const HEADLESSOPTIONS& o, const VIEWOPTIONS& viewOptions) {
    if (o.width <= 0 || o.height <= 0 || o.width > 16384 || o.height > 16384) {
        fprintf(stderr, "reefmere: bad frame size %dx%d\n", o.width, o.height);
        return 1;
    }
    if (!o.outDir.empty() && !MakeFolders(o.outDir)) {
        fprintf(stderr, "reefmere: cannot create %s: %s\n", o.outDir.c_str(), strerror(errno));
        return 1;
    }
    HEADLESSSTATE state;
    state.width = o.width;
    state.height = o.height;
    if (!state.gl.Create(o.width, o.height)) return 1;

    REEFHOST host;
    host.user = &state;
    host.preview = o.preview;
    host.makeCurrent = HLMakeCurrent;
    host.now = HLNow;
    host.swapBuffers = HLSwap;
    host.viewSize = HLSize;
    host.isMainScreen = HLMainScreen;
    // No screen to capture, no desktop, no sound device: those stay null.

    int status = 0;
    {
        ReefmereView view(host, viewOptions);
        const double step = HeadlessStep(view, o.delay);
        const double every = o.every > 0.0 ? o.every : 0.5;
        double nextShot = every;
        int written = 0;
        int lastDrawn = 0;
        view.startAnimation();
        view.animateOneFrame();  // GL state and scene setup; draws nothing yet
        while (state.clock < o.seconds && status == 0) {
            state.clock += step;
            view.animateOneFrame();
            bool drew = view.framesDrawn != lastDrawn;
            lastDrawn = view.framesDrawn;
            if (!drew || o.outDir.empty()) continue;
            if (state.clock + 1e-9 >= nextShot) {
                std::vector<uint8_t> pixels = state.gl.ReadPixels();
                char name[64];
                snprintf(name, sizeof name, "/frame-%04d.png", ++written);
                if (!WriteFramePNG(o.outDir + name, pixels.data(), o.width, o.height)) status = 1;
                while (nextShot <= state.clock + 1e-9) nextShot += every;
            }
        }
        if (status == 0 && !o.snapshot.empty()) {
            state.gl.MakeCurrent();
            std::vector<uint8_t> pixels = state.gl.ReadPixels();
            if (!WriteFramePNG(o.snapshot, pixels.data(), o.width, o.height)) status = 1;
        }
        if (status == 0 && !o.outDir.empty())
            fprintf(stderr, "reefmere: %d frame%s written to %s\n", written, written == 1 ? "" : "s", o.outDir.c_str());
    }
    return status;
}
