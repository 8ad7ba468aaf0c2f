// The real-clock frame loop under an injected clock and sleep: each frame is drawn on the
// first wake after it is due (none dropped), never sooner than asked (LowCPU, -delay),
// with one sleep per drawn frame, for one view and for two sharing the loop.
#include <gtest/gtest.h>

#include <map>

#include "../view/view_test_host.h"
#include "platform/frame_loop.h"

namespace {

// The simulated machine: one clock for every host, a frame costs `cost` seconds of it,
// and a sleep wakes 10 to 500 us late, as a timer does.
struct SIM {
    std::vector<TestHost*> hosts;
    std::map<TestHost*, std::vector<double>> drawnAt;
    double cost = 0.0;
    unsigned rng = 12345;
    int waits = 0;
    void Advance(double s) {
        for (TestHost* h : hosts) h->clock += s;
    }
};
SIM* gSim = nullptr;

}  // namespace

TEST(FrameLoopPacing, EveryDeadlineIsMetAndNoFrameComesEarly) {
    struct CASE {
        const char* name;
        const char* lowCpu;
        double delay;  // seconds
        int views;
        double step;   // the frame spacing asked for
    } cases[] = {
        {"60 Hz", "no", 0.0, 1, static_cast<double>(1.0f / 60.0f)},
        {"LowCPU", "yes", 0.0, 1, 0.05},
        {"-delay 33333", "no", 0.033333, 1, 0.033333},
        {"-delay below the minimum step", "no", 0.005, 1, static_cast<double>(1.0f / 60.0f)},
        {"two monitors", "no", 0.0, 2, static_cast<double>(1.0f / 60.0f)},
    };
    const double kSeconds = 2.0;
    for (const CASE& c : cases) {
        SCOPED_TRACE(c.name);
        SIM sim;
        gSim = &sim;
        std::vector<std::unique_ptr<TestHost>> hosts;
        std::vector<std::unique_ptr<ReefmereView>> views;
        for (int i = 0; i < c.views; ++i) {
            hosts.push_back(std::make_unique<TestHost>());
            TestHost* h = hosts.back().get();
            h->width = 96;
            h->height = 54;
            ASSERT_TRUE(h->gl.Create(h->width, h->height));
            sim.hosts.push_back(h);
            REEFHOST table = h->Table();
            table.swapBuffers = [](void* u) {
                auto* host = static_cast<TestHost*>(u);
                host->swaps++;
                gSim->drawnAt[host].push_back(host->clock);
                gSim->Advance(gSim->cost);
            };
            views.push_back(std::make_unique<ReefmereView>(table, TestOptions({{"LowCPU", c.lowCpu}, {"PlaySound", "no"}})));
            views.back()->startAnimation();
        }
        // One clock from here on; the black frames of startAnimation cost nothing.
        for (TestHost* h : sim.hosts) h->clock = 1000.0;
        sim.drawnAt.clear();
        sim.cost = 0.006;
        std::vector<ReefmereView*> raw;
        for (auto& v : views) raw.push_back(v.get());
        FRAMELOOPHOOKS hooks;
        hooks.user = &sim;
        hooks.now = [](void* u) { return static_cast<SIM*>(u)->hosts[0]->clock; };
        hooks.wait = [](void* u, double s) {
            auto* sim = static_cast<SIM*>(u);
            sim->rng = sim->rng * 1103515245u + 12345u;
            sim->Advance(s + 10e-6 + ((sim->rng >> 16) % 491) * 1e-6);
            sim->waits++;
        };
        hooks.pump = [](void*) { return true; };
        RunFrameLoop(raw, hooks, kSeconds, c.delay);

        int frames = 0;
        for (TestHost* h : sim.hosts) {
            const std::vector<double>& t = sim.drawnAt[h];
            frames += static_cast<int>(t.size());
            ASSERT_GT(t.size(), 10u);
            // Two views settle into turns within their first frames.
            for (size_t i = 5; i < t.size(); ++i) {
                double gap = t[i] - t[i - 1];
                EXPECT_GT(gap, c.step) << "frame " << i;
                EXPECT_LT(gap, c.step + 0.0006) << "frame " << i << " missed its deadline";
            }
            EXPECT_GE(static_cast<double>(t.size()), kSeconds / (c.step + 0.0006) - 2);
        }
        // Sleeping until the next frame is due: no wake-ups that draw nothing.
        EXPECT_LE(sim.waits, frames + 2);
        views.clear();
        gSim = nullptr;
    }
}

TEST(FrameLoopPacing, AViewThatCannotDrawIsRetriedAtItsIntervalNotInABusyLoop) {
    TestHost host;
    ASSERT_TRUE(host.gl.Create(host.width, host.height));
    REEFHOST table = host.Table();
    table.makeCurrent = [](void*) { return false; };  // the context is lost
    ReefmereView view(table, TestOptions({{"PlaySound", "no"}}));
    view.startAnimation();
    struct CLOCK {
        TestHost* host;
        int waits;
    } c = {&host, 0};
    FRAMELOOPHOOKS hooks;
    hooks.user = &c;
    hooks.now = [](void* u) { return static_cast<CLOCK*>(u)->host->clock; };
    hooks.wait = [](void* u, double s) {
        static_cast<CLOCK*>(u)->host->clock += s;
        static_cast<CLOCK*>(u)->waits++;
    };
    hooks.pump = [](void*) { return true; };
    RunFrameLoop({&view}, hooks, 1.0, 0.0);
    EXPECT_EQ(view.framesDrawn, 0);
    EXPECT_NEAR(c.waits, 60, 2);
}
