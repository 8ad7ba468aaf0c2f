// The bubble pool: starting bubbles in free slots, the water line at which they vanish,
// and the emitter that toggles and wanders along the floor.
#include <gtest/gtest.h>

#include <cmath>

#include "fish/Aquarium.h"

namespace {

int ActiveCount(const AQUARIUM& tank)
{
    int n = 0;
    for (const ONEPARTICLE& b : tank.bubbles) n += b.active ? 1 : 0;
    return n;
}

TEST(Bubbles, ResetStartsARisingBubbleNearThePoint)
{
    const float point[3] = {10, -45, 5};
    for (int i = 0; i < 100; i++) {
        ONEPARTICLE b;
        b.Reset(VECTOR3D{point[0], point[1], point[2]});
        EXPECT_TRUE(b.active);
        const float at[3] = {b.position.x, b.position.y, b.position.z};
        for (int k = 0; k < 3; k++) {
            EXPECT_GE(at[k], point[k] - 0.5f) << k;
            EXPECT_LE(at[k], point[k] + 0.45f + 1e-5f) << k;
        }
        EXPECT_TRUE(b.velocity.x == 0.0f && b.velocity.y == 5.0f && b.speedScale == 1.0f);
        EXPECT_GE(b.halfSize, 0.11f - 1e-6f);
        EXPECT_LE(b.halfSize, 0.30f + 1e-6f);
    }
}

TEST(Bubbles, PuffsUseFreeSlotsOnly)
{
    AQUARIUM tank;
    EXPECT_EQ(ActiveCount(tank), 0);
    tank.AddBubbles(MAX_BUBBLES, VECTOR3D{0, -45, 0});
    EXPECT_EQ(ActiveCount(tank), MAX_BUBBLES);
    tank.bubbles[7].position.y = 123.0f;
    tank.AddBubbles(4, VECTOR3D{1, 1, 1});  // full pool: nothing starts
    EXPECT_EQ(ActiveCount(tank), MAX_BUBBLES);
    EXPECT_EQ(tank.bubbles[7].position.y, 123.0f);

    tank.bubbles[10].active = false;
    tank.bubbles[200].active = false;
    tank.AddBubbles(4, VECTOR3D{20, 0, 0});  // two free slots: two start
    EXPECT_EQ(ActiveCount(tank), MAX_BUBBLES);
    EXPECT_NEAR(tank.bubbles[10].position.x, 20.0f, 0.5f);
    EXPECT_NEAR(tank.bubbles[200].position.x, 20.0f, 0.5f);

    AQUARIUM other;
    other.AddBubbles(3, VECTOR3D{});
    EXPECT_TRUE(other.bubbles[0].active && other.bubbles[1].active && other.bubbles[2].active);
    EXPECT_FALSE(other.bubbles[3].active);
}

TEST(Bubbles, VanishAtTheWaterLine)
{
    // Full tank: 39.5 at the back (z = -32), 17.5 at the front (z = 32). Empty tank:
    // -40.5 and -18.5. A tiny step keeps the wobble out of the way.
    struct Case {
        float level, z, line;
    } cases[] = {{1.0f, -32.0f, 39.5f}, {1.0f, 32.0f, 17.5f}, {0.0f, -32.0f, -40.5f}, {0.0f, 32.0f, -18.5f}};
    for (const Case& c : cases) {
        AQUARIUM tank;
        tank.emitting = false;
        tank.sourceTimer = 100.0f;  // keep the emitter quiet
        tank.bubbles[0].Reset(VECTOR3D{});
        tank.bubbles[0].position = VECTOR3D{0, c.line - 0.01f, c.z};
        tank.bubbles[1].Reset(VECTOR3D{});
        tank.bubbles[1].position = VECTOR3D{0, c.line + 0.01f, c.z};
        tank.MoveBubbles(1e-5f, c.level);
        EXPECT_TRUE(tank.bubbles[0].active) << c.level << " " << c.z;
        EXPECT_FALSE(tank.bubbles[1].active) << c.level << " " << c.z;
    }
}

TEST(Bubbles, RiseAboutFiveUnitsASecond)
{
    AQUARIUM tank;
    tank.emitting = false;
    tank.sourceTimer = 100.0f;
    tank.AddBubbles(50, VECTOR3D{0, -30, 0});
    double startY = 0;
    for (int i = 0; i < 50; i++) startY += tank.bubbles[i].position.y;
    for (int f = 0; f < 60; f++) tank.MoveBubbles(1.0f / 60.0f, 1.0f);
    double endY = 0;
    for (int i = 0; i < 50; i++) {
        ASSERT_TRUE(tank.bubbles[i].active);
        endY += tank.bubbles[i].position.y;
    }
    EXPECT_NEAR((endY - startY) / 50.0, 5.0, 0.3);
}

TEST(Bubbles, SourceTogglesAndWanders)
{
    AQUARIUM tank;
    EXPECT_TRUE(tank.emitting);
    // First frame: both timers at 0, so the emitter switches off and moves.
    tank.MoveBubbles(1.0f / 60.0f, 1.0f);
    EXPECT_FALSE(tank.emitting);
    const VECTOR3D& at = tank.bubbleSource;
    EXPECT_TRUE(at.y == -45.0f && at.x >= -20.0f && at.x <= 19.0f && at.z >= -15.0f && at.z <= 14.0f)
        << at.x << "," << at.y << "," << at.z;
    EXPECT_TRUE(tank.sourceTimer >= 0.0f && tank.sourceTimer <= 19.9f + 1e-5f) << tank.sourceTimer;
    EXPECT_EQ(ActiveCount(tank), 0);

    // Nothing starts until the emitter switches on again; then puffs of one to four.
    int frames = 0;
    while (!tank.emitting && frames < 60 * 30) {
        EXPECT_EQ(ActiveCount(tank), 0);
        tank.MoveBubbles(1.0f / 60.0f, 1.0f);
        frames++;
    }
    ASSERT_TRUE(tank.emitting);
    VECTOR3D source = tank.bubbleSource;
    tank.sourceTimer = 100.0f;
    int seen = 0;
    for (int f = 0; f < 60 && seen == 0; f++) {
        tank.MoveBubbles(1.0f / 60.0f, 1.0f);
        seen = ActiveCount(tank);
    }
    ASSERT_GE(seen, 1);
    EXPECT_LE(seen, 4);
    for (const ONEPARTICLE& b : tank.bubbles)
        if (b.active) {
            EXPECT_NEAR(b.position.x, source.x, 0.6f);
            EXPECT_NEAR(b.position.z, source.z, 0.6f);
        }
    EXPECT_GE(tank.emitTimer, 0.0f);
    EXPECT_LE(tank.emitTimer, 0.45f);
}

}  // namespace
