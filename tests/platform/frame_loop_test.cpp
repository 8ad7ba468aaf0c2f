// The frame loop under an injected clock and sleep (deadlines met, nothing early, no
// spinning) and the -fps overlay it draws.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/frame_loop.h"
#include "platform/x11_fps.h"
#include "test_support.h"

namespace {

// The simulated machine: one clock, a drawn frame costs `cost` seconds of it, and a
// sleep wakes 10 to 500 us late, as a timer does.
struct SIM {
    double clock = 1000.0, cost = 0.0;
    unsigned rng = 12345;
    int waits = 0;
    bool contextLost = false;
};

struct SIMVIEW {
    SIM* sim = nullptr;
    EGLCONTEXT gl;
    std::vector<double> drawnAt;
    static SIMVIEW* Of(void* u) { return static_cast<SIMVIEW*>(u); }
    REEFHOST Table() {
        REEFHOST h;
        h.user = this;
        h.makeCurrent = [](void* u) { return !Of(u)->sim->contextLost && Of(u)->gl.MakeCurrent(); };
        h.now = [](void* u) { return Of(u)->sim->clock; };
        h.swapBuffers = [](void* u) {
            Of(u)->drawnAt.push_back(Of(u)->sim->clock);
            Of(u)->sim->clock += Of(u)->sim->cost;
        };
        h.viewSize = [](void*, int* w, int* hh) { *w = 96, *hh = 54; };
        return h;
    }
};

VIEWOPTIONS Options(bool lowCpu) {
    VIEWOPTIONS o;
    o.useStore = false;
    o.fixedSeed = true;
    o.overrides = {{FindSettingKey("LowCPU"), {lowCpu ? 1 : 0, ""}}, {FindSettingKey("PlaySound"), {0, ""}}};
    return o;
}

FRAMELOOPHOOKS Hooks(SIM* sim) {
    FRAMELOOPHOOKS hooks;
    hooks.user = sim;
    hooks.now = [](void* u) { return static_cast<SIM*>(u)->clock; };
    hooks.wait = [](void* u, double s) {
        auto* sim = static_cast<SIM*>(u);
        sim->rng = sim->rng * 1103515245u + 12345u;
        sim->clock += s + 10e-6 + ((sim->rng >> 16) % 491) * 1e-6;
        sim->waits++;
    };
    hooks.pump = [](void*) { return true; };
    return hooks;
}

}  // namespace

TEST(FrameLoopPacing, EveryDeadlineIsMetAndNoFrameComesEarly) {
    const double kSixtieth = static_cast<double>(1.0f / 60.0f);  // the view's minimum step
    struct CASE {
        const char* name;
        bool lowCpu;
        double delay;  // seconds
        int views;
        double step;  // the frame spacing asked for
    } cases[] = {
        {"60 Hz", false, 0.0, 1, kSixtieth},
        {"LowCPU", true, 0.0, 1, 0.05},
        {"-delay 33333", false, 0.033333, 1, 0.033333},
        {"-delay below the minimum step", false, 0.005, 1, kSixtieth},
        {"two monitors", false, 0.0, 2, kSixtieth},
    };
    const double kSeconds = 2.0;
    for (const CASE& c : cases) {
        SCOPED_TRACE(c.name);
        SIM sim;
        std::vector<std::unique_ptr<SIMVIEW>> hosts;
        std::vector<std::unique_ptr<ReefmereView>> views;
        std::vector<ReefmereView*> raw;
        for (int i = 0; i < c.views; ++i) {
            SIMVIEW& host = *hosts.emplace_back(std::make_unique<SIMVIEW>());
            host.sim = &sim;
            ASSERT_TRUE(host.gl.Create(96, 54));
            raw.push_back(views.emplace_back(std::make_unique<ReefmereView>(host.Table(), Options(c.lowCpu))).get());
            raw.back()->startAnimation();
            host.drawnAt.clear();  // the black frame of startAnimation
        }
        sim.cost = 0.006;
        RunFrameLoop(raw, Hooks(&sim), kSeconds, c.delay);

        int frames = 0;
        for (auto& h : hosts) {
            const std::vector<double>& t = h->drawnAt;
            frames += static_cast<int>(t.size());
            ASSERT_GT(t.size(), 10u);
            // Two views settle into turns within their first frames.
            for (size_t i = 5; i < t.size(); ++i) {
                EXPECT_GT(t[i] - t[i - 1], c.step) << "frame " << i;
                EXPECT_LT(t[i] - t[i - 1], c.step + 0.0006) << "frame " << i << " missed its deadline";
            }
            EXPECT_GE(static_cast<double>(t.size()), kSeconds / (c.step + 0.0006) - 2);
        }
        // Sleeping until the next frame is due: no wake-ups that draw nothing.
        EXPECT_LE(sim.waits, frames + 2);
        views.clear();
    }
}

TEST(FrameLoopPacing, AViewThatCannotDrawIsRetriedAtItsIntervalNotInABusyLoop) {
    SIM sim;
    SIMVIEW host;
    host.sim = &sim;
    ASSERT_TRUE(host.gl.Create(96, 54));
    ReefmereView view(host.Table(), Options(false));
    view.startAnimation();
    sim.contextLost = true;
    RunFrameLoop({&view}, Hooks(&sim), 1.0, 0.0);
    EXPECT_EQ(view.framesDrawn, 0);
    EXPECT_NEAR(sim.waits, 60, 2);
}

TEST(FpsOverlay, DejaVuTextInTheLowerLeftWithoutAnXFont) {
    EGLCONTEXT ctx;
    ASSERT_TRUE(ctx.Create(240, 120));
    X11FPS* fps = X11FpsCreate(nullptr);
    ASSERT_NE(fps, nullptr) << "DejaVuSansMono-Bold.ttf not found";
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    X11FpsDraw(fps, 240, 120);
    std::vector<uint8_t> px = ctx.ReadPixels();  // top row first
    int white = 0, blended = 0, whiteTop = 0;
    for (int y = 0; y < 120; y++)
        for (int x = 0; x < 240; x++) {
            const uint8_t* p = &px[(y * 240 + x) * 4];
            bool w = p[0] > 240 && p[1] > 240;
            white += w;
            whiteTop += w && (y < 60 || x > 160);
            // Grey over blue: part glyph, part background (a bitmap font has none).
            blended += p[0] > 40 && p[0] < 200 && p[2] > p[0] + 20;
        }
    EXPECT_GT(white, 60);
    EXPECT_EQ(whiteTop, 0);
    EXPECT_GT(blended, 20);
    X11FpsDestroy(fps);
}
