// The frame loop under an injected clock and sleep: deadlines met, nothing early, no spinning.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/frame_loop.h"
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

VIEWOPTIONS Options(const char* lowCpu) {
    VIEWOPTIONS o;
    o.useStore = false;
    o.fixedSeed = true;
    for (const auto& kv : {std::make_pair("LowCPU", lowCpu), std::make_pair("PlaySound", "no")}) {
        SETTINGOVERRIDE ov;
        ov.key = FindSettingKey(kv.first);
        if (ov.key) ParseSettingValue(*ov.key, kv.second, &ov.value);
        o.overrides.push_back(ov);
    }
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
        const char* lowCpu;
        double delay;  // seconds
        int views;
        double step;  // the frame spacing asked for
    } cases[] = {
        {"60 Hz", "no", 0.0, 1, kSixtieth},
        {"LowCPU", "yes", 0.0, 1, 0.05},
        {"-delay 33333", "no", 0.033333, 1, 0.033333},
        {"-delay below the minimum step", "no", 0.005, 1, kSixtieth},
        {"two monitors", "no", 0.0, 2, kSixtieth},
    };
    const double kSeconds = 2.0;
    for (const CASE& c : cases) {
        SCOPED_TRACE(c.name);
        SIM sim;
        std::vector<std::unique_ptr<SIMVIEW>> hosts;
        std::vector<std::unique_ptr<ReefmereView>> views;
        std::vector<ReefmereView*> raw;
        for (int i = 0; i < c.views; ++i) {
            hosts.push_back(std::make_unique<SIMVIEW>());
            hosts.back()->sim = &sim;
            ASSERT_TRUE(hosts.back()->gl.Create(96, 54));
            views.push_back(std::make_unique<ReefmereView>(hosts.back()->Table(), Options(c.lowCpu)));
            views.back()->startAnimation();
            hosts.back()->drawnAt.clear();  // the black frame of startAnimation
            raw.push_back(views.back().get());
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
    ReefmereView view(host.Table(), Options("no"));
    view.startAnimation();
    sim.contextLost = true;
    RunFrameLoop({&view}, Hooks(&sim), 1.0, 0.0);
    EXPECT_EQ(view.framesDrawn, 0);
    EXPECT_NEAR(sim.waits, 60, 2);
}
