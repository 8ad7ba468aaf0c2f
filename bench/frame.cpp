// Per-frame cost of the whole scene. BM_FrameCPU: the CPU work of one frame at the default
// settings (SSMAIN::Update, fish included: three fish of the bundled species),
// with no GL context current so that every GL call is a no-op. BM_HeadlessFrame: one
// whole frame of the view at 1280 x 720 in the headless EGL context (llvmpipe here),
// finished with glFinish as the headless host does.
#include <EGL/egl.h>
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fish/Aquarium.h"
#include "fish/Fish.h"
#include "math/GLStuff.h"
#include "platform/egl_context.h"
#include "scene/SSMain.h"
#include "settings/Paths.h"
#include "view/ReefmereView.h"
#include "settings/Settings.h"

namespace {

// Seconds per frame: just above 1/60, as the headless host steps, so that every frame
// runs a water tick (the tick is 1/60 in single precision, a hair above 1/60 in double).
const double kStep = 1.0 / 60.0 + 1e-6;

void LoadView(int width, int height) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double aspect = (double)width / height;
    const double f = 1.0 / 0.41421356237309503;  // cot(22.5 degrees)
    GLdouble p[16] = {f / aspect, 0, 0, 0, 0, f, 0, 0, 0, 0, -121.0 / 119.0, -1, 0, 0, -240.0 / 119.0, 0};
    glLoadMatrixd(p);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void BM_FrameCPU(benchmark::State& state) {
    EGLCONTEXT gl;
    if (!gl.Create(320, 240)) {
        state.SkipWithError("no EGL context");
        return;
    }
    srand(1);
    SETTINGS settings;
    DefaultSettings(&settings, nullptr);
    CopyToField(settings.FishPath, sizeof settings.FishPath, ResourceFolder().c_str());
    SetFishSelection(&settings, "##");
    SSMAIN scene;
    LoadView(320, 240);
    if (!scene.Setup(false, 320, 240, &settings, ResourceFile("kelpish.tidewares").c_str()) || !scene.aquarium) {
        state.SkipWithError("scene setup failed (bundled species and resource archive built?)");
        FreeFishSelection(&settings);
        return;
    }
    // No context from here on: the update makes no GL call.
    eglMakeCurrent(eglGetCurrentDisplay(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);

    // Let every fish enter and the tank fill a little first.
    for (int i = 0; i < 600; i++) {
        scene.Update(kStep);
    }
    int active = 0;
    for (int i = 0; i < scene.aquarium->numFish; i++) active += scene.aquarium->fish[i].action > 0;
    for (auto _ : state) {
        scene.Update(kStep);
    }
    state.counters["fish"] = active;
    int vertices = 0;
    for (int i = 0; i < scene.aquarium->numFish; i++) vertices += scene.aquarium->fish[i].numVertices;
    state.counters["vertices"] = vertices;

    gl.MakeCurrent();
    scene.Cleanup();
    FreeFishSelection(&settings);
}
BENCHMARK(BM_FrameCPU)->Unit(benchmark::kMillisecond)->MinTime(2.0);

struct HostState {
    EGLCONTEXT gl;
    double clock = 0.0;  // seconds of scene time
    int width = 1280, height = 720;
};

void BM_HeadlessFrame(benchmark::State& state) {
    HostState host;
    if (!host.gl.Create(host.width, host.height)) {
        state.SkipWithError("no EGL context");
        return;
    }
    REEFHOST table;
    table.user = &host;
    table.makeCurrent = [](void* u) { return static_cast<HostState*>(u)->gl.MakeCurrent(); };
    table.now = [](void* u) { return static_cast<HostState*>(u)->clock; };
    table.swapBuffers = [](void*) { glFinish(); };
    table.viewSize = [](void* u, int* w, int* h) {
        *w = static_cast<HostState*>(u)->width;
        *h = static_cast<HostState*>(u)->height;
    };
    table.isMainScreen = [](void*) { return true; };
    VIEWOPTIONS options;
    options.useStore = false;
    options.fixedSeed = true;
    options.seed = 1;
    ReefmereView view(table, options);
    view.startAnimation();
    view.animateOneFrame();     // setup
    const double step = kStep;  // above the view's minimum step: every call draws
    // Fifteen seconds into the scene: the fish are in, the tank is filling.
    for (int i = 0; i < 60 * 15; i++) {
        host.clock += step;
        view.animateOneFrame();
    }
    const int drawnBefore = view.framesDrawn;
    for (auto _ : state) {
        host.clock += step;
        view.animateOneFrame();
    }
    if (view.framesDrawn - drawnBefore != (int)state.iterations()) state.SkipWithError("frames were skipped");
}
BENCHMARK(BM_HeadlessFrame)->Unit(benchmark::kMillisecond)->Iterations(120)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace
