// Ten minutes of scene time through the scene's own update, with no GL context: the tank
// filling from empty, the fish entering, cruising, resting and leaving, the bubbles
// rising, the title card twice. Every fish stays finite, in the tank and under the water
// line; every bubble below it; memory stays flat.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "SceneRig.h"
#include "fish/FishData.h"
#include "fish/Aquarium.h"
#include "fish/Fish.h"

namespace {

long ResidentKiB() {
    long pages = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TEST(Soak, TenMinutesOfSceneTime) {
    scenetest::SceneRig r;
    r.settings.GRADUALFILL = true;
    r.settings.RANDOMSIZES = true;
    r.settings.WATERSHIFT = 5;
    ASSERT_TRUE(r.Build(1280, 720, 12345));
    SSMAIN& s = r.scene;
    s.aquarium->leaveTimer = 100.0f;  // the school leaves at least once
    const AQUARIUM& tank = *s.aquarium;
    long early = 0;
    int leaves = 0, rests = 0, cards = 0;
    bool wasLeaving = false, wasCard = false;
    for (int frame = 0; frame < 60 * 60 * 10; ++frame) {
        s.Update(scenetest::kStep);
        const float level = s.waterLevel;
        bool leaving = false;
        for (int i = 0; i < tank.numFish; ++i) {
            const ONEFISH& f = tank.fish[i];
            if (f.action == FISH_WAITING) continue;
            const VECTOR3D p = f.position;
            ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << frame;
            ASSERT_TRUE(p.z >= -32.0f && p.z <= 32.0f) << frame;
            // A fish that entered this frame waits at its entry point (y = -40) until its
            // first move; from then on it keeps under the water line.
            const bool entered = f.actionTimer == 20.0f && f.currentSpeed == 6.0f && p.y == -40.0f;
            if (!entered) {
                ASSERT_LE(p.y, ONEFISH::Ceiling(level, f.fishData->extent, p.z) + 0.5) << frame;
            }
            // Nothing walls the sides or the floor; this box catches a fish gone for good.
            ASSERT_TRUE(p.y >= -400.0f && std::fabs(p.x) <= 400.0f && std::fabs(f.angles.x) <= 45.0f) << frame;
            leaving |= f.leaving;
            rests += f.action == FISH_RESTING;
        }
        leaves += leaving && !wasLeaving;
        wasLeaving = leaving;
        cards += s.fade >= 1.0f && !wasCard;
        wasCard = s.fade >= 1.0f;
        for (const ONEPARTICLE& b : tank.bubbles) {
            if (!b.active) continue;
            const double line = 80.0 * level - 40.5 + (22.0 - 44.0 * level) * (32.0 + b.position.z) / 64.0;
            ASSERT_LE(b.position.y, line + 0.1) << frame;
        }
        if (frame == 60 * 60) early = ResidentKiB();
    }
    EXPECT_GT(s.waterLevel, 0.6f);
    EXPECT_GT(rests, 0);
    EXPECT_GE(leaves, 1);
    EXPECT_GE(cards, 9);
    EXPECT_LT(ResidentKiB() - early, 2048) << "memory grew";
}

}  // namespace
