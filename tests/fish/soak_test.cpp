// An hour of scene time at 60 frames a second: the tank filling from empty, the fish
// entering, cruising, resting and leaving, the bubbles rising. Every fish stays finite
// and within the tank, every bubble below the water line, and memory stays flat.
// The GL drawing is left out to keep the hour quick; the frustum is the view's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "FishFixture.h"
#include "fish/Aquarium.h"
#include "settings/Settings.h"

namespace {

long ResidentKiB()
{
    long pages = 0, resident = 0;
    FILE* f = fopen("/proc/self/statm", "r");
    if (!f) return 0;
    if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    fclose(f);
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TEST(Soak, AnHourOfSceneTime)
{
    EglContext gl;
    ASSERT_TRUE(gl.Create(64, 48));
    fishtest::SetTankFrustum(64.0f / 48.0f);

    SETTINGS settings;
    snprintf(settings.FishPath, sizeof settings.FishPath, "%s", testsupport::ShareDir().c_str());
    ASSERT_TRUE(SetFishSelection(&settings, "##"));
    settings.MAX_FISH = 3;
    settings.RANDOMSIZES = true;

    AQUARIUM tank;
    ASSERT_TRUE(tank.Setup(&settings));
    srand(12345);

    const float dt = 1.0f / 60.0f;
    const int frames = 60 * 60 * 60;
    float level = 0.0f, wanted = 0.85f;
    long residentEarly = 0;
    float lowest = 0, highest = -100, widest = 0;
    int leaves = 0, rests = 0;
    bool wasLeaving = false;
    for (int frame = 0; frame < frames; frame++) {
        // The level fills towards the wanted one at 5 % a second; now and then a new one.
        if (frame % (60 * 60 * 10) == 0 && frame > 0) wanted = 0.65f + (rand() % 45) / 100.0f;
        level += (wanted - level) * dt * 0.05f;
        if (level > 1.0f) level = 1.0f;
        tank.Move(level, dt);

        bool anyLeaving = false;
        for (int i = 0; i < tank.numFish; i++) {
            const ONEFISH& f = tank.fish[i];
            if (f.action == FISH_WAITING) continue;
            ASSERT_TRUE(std::isfinite(f.position.x) && std::isfinite(f.position.y) && std::isfinite(f.position.z))
                << "frame " << frame;
            ASSERT_GE(f.position.z, -32.0f) << "frame " << frame;
            ASSERT_LE(f.position.z, 32.0f) << "frame " << frame;
            // A fish that entered this frame waits at its entry point (y = -40) until its
            // first move; from then on it keeps under the water line.
            const bool justEntered = f.actionTimer == 20.0f && f.currentSpeed == 6.0f && f.position.y == -40.0f;
            const double ceiling = ONEFISH::Ceiling(level, f.fishData->extent, f.position.z);
            if (!justEntered) {
                ASSERT_LE(f.position.y, ceiling + 0.5) << "frame " << frame;
            }
            // Nothing walls the sides or the floor (leaving fish swim well past the view's
            // edge); this box catches a fish that runs away for good.
            ASSERT_GE(f.position.y, -400.0f) << "frame " << frame;
            ASSERT_LE(std::fabs(f.position.x), 400.0f) << "frame " << frame;
            ASSERT_LE(std::fabs(f.angles.x), 45.0f);
            lowest = std::min(lowest, f.position.y);
            highest = std::max(highest, f.position.y);
            widest = std::max(widest, std::fabs(f.position.x));
            anyLeaving |= f.leaving;
            rests += f.action == FISH_RESTING;
        }
        if (anyLeaving && !wasLeaving) leaves++;
        wasLeaving = anyLeaving;

        for (const ONEPARTICLE& b : tank.bubbles) {
            if (!b.active) continue;
            double line = 80.0 * level - 40.5 + (22.0 - 44.0 * level) * (32.0 + b.position.z) / 64.0;
            ASSERT_LE(b.position.y, line + 0.1) << "frame " << frame;
            ASSERT_TRUE(std::isfinite(b.position.x) && std::isfinite(b.position.z));
        }
        if (frame == 60 * 60 * 2) residentEarly = ResidentKiB();
    }
    long residentLate = ResidentKiB();
    fprintf(stderr, "soak: y from %.1f to %.1f, |x| up to %.1f, %d school departures, %d resting frames, "
                    "resident %ld KiB after 2 min, %ld KiB after 60 min\n",
            lowest, highest, widest, leaves, rests, residentEarly, residentLate);
    EXPECT_GE(leaves, 2);  // every 60 to 1259 s
    EXPECT_GT(rests, 0);
    EXPECT_LT(residentLate - residentEarly, 2048) << "memory grows while the scene runs";
    FreeFishSelection(&settings);
}

}  // namespace
