// One fish's steering and behaviour, with no GL context.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "fish/Fish.h"
#include "math/Camera.h"
#include "test_support.h"

using testsupport::SpeciesRecipe;

namespace {

const float kDt = 1.0f / 60.0f;
const FRUSTUM kView = CAMERA().Frustum();  // the scene's camera at 4:3

// A bare fish for the pure steering arithmetic.
void Aim(ONEFISH* f, VECTOR3D angles) {
    f->angles = angles;
    f->orientation = MatrixFromAngle(angles);
    f->direction = MatrixPointMultiply(f->orientation, VECTOR3D{0, 0, 1});
}

TEST(Steering, TurnRulesAheadBehindAndFineAiming) {
    // Wanted pitch and yaw for a target at `degrees` off the nose (positive: to the
    // fish's left, +x) and `up` above it, at turn rate 60.
    struct Case {
        double degrees;
        float up, pitch, yaw;
    } cases[] = {
        {2, 0, 0, 0},      // sine below 0.05: no turn
        {6, 0, 0, 30},     // below 0.15: half rate
        {20, 0, 0, 60},    // full rate
        {-20, 0, 0, -60},  // to the right
        {178, 0, 60, 60},  // behind and slightly off: full pitch and yaw, no fine aiming
        {0, 10, 60, 0},    // above, sine ~0.196: full pitch
        {0, 5, 30, 0},     // sine ~0.0995: half rate
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.degrees << " degrees, " << c.up << " up");
        ONEFISH f;
        const double a = c.degrees * 3.141592653589793 / 180.0;
        f.target = VECTOR3D{(float)(50 * std::sin(a)), c.up, (float)(50 * std::cos(a))};
        f.TurnToTarget(60.0f, 0.0f);
        EXPECT_EQ(f.turnWanted.x, c.pitch);
        EXPECT_EQ(f.turnWanted.y, c.yaw);
    }
}

TEST(Steering, PitchLimitsAndClampAndYawWraps) {
    // Already pitched towards a target well above: the closer to the limit, the slower.
    const float cases[][2] = {{42, 0}, {-42, 60}, {33, 30}, {37, 15}};
    for (const auto& c : cases) {
        ONEFISH h;
        Aim(&h, VECTOR3D{c[0], 0, 0});
        h.target = h.position + MatrixPointMultiply(h.orientation, VECTOR3D{0, 60, 10});
        h.TurnToTarget(60.0f, 0.0f);
        EXPECT_EQ(h.turnWanted.x, c[1]) << "pitch " << c[0];
    }
    // Whatever the turning speed, the pitch stays within 45 degrees.
    for (float sign : {1.0f, -1.0f}) {
        ONEFISH f;
        Aim(&f, VECTOR3D{44 * sign, 0, 0});
        f.turnVelocity.x = 500.0f * sign;
        f.target = VECTOR3D{0, 0, 50};
        f.TurnToTarget(60.0f, 0.1f);
        EXPECT_EQ(f.angles.x, 45.0f * sign);
    }
    // Yaw wraps at a full turn. Start, turning speed (eased to half: a quarter of it turned
    // in 0.5 s), yaw after.
    const float yaws[][3] = {{359, 12, 2}, {-359, -8, -1}};
    for (const auto& c : yaws) {
        ONEFISH f;
        Aim(&f, VECTOR3D{0, c[0], 0});
        f.target = f.position + f.direction * 50.0f;  // straight ahead: no wanted turn
        f.turnVelocity.y = c[1];
        f.TurnToTarget(60.0f, 0.5f);
        EXPECT_NEAR(f.angles.y, c[2], 1e-4);
        EXPECT_NEAR(f.direction.x, std::sin(c[2] * 3.141592653589793 / 180.0), 1e-4);  // follows the turn
    }
}

TEST(Steering, CollisionHandlesOnlyTheFirstFishMet) {
    FISHDATA species;  // only the radius matters here
    species.extent = 4.0f;
    ONEFISH all[3];
    const float x[3] = {0, 2, -2};  // fish 1 within 0.75 x 8; fish 2 as close, but met later
    for (int i = 0; i < 3; i++) {
        all[i].fishData = &species;
        all[i].action = FISH_CRUISING;
        all[i].position = VECTOR3D{x[i], 0, 0};
        all[i].target = VECTOR3D{7, 7, 7};
    }
    EXPECT_FALSE(all[0].CheckCollision(all, 3, 0.5f));
    EXPECT_FLOAT_EQ(all[0].position.x, -0.5f);  // pushed away from fish 1 by dt x 0.5
    EXPECT_FLOAT_EQ(all[0].target.x, -2.5f * 15.0f);
    EXPECT_FLOAT_EQ(all[1].target.x, 2.5f * 15.0f);
    EXPECT_FLOAT_EQ(all[2].target.x, 7.0f);  // untouched
    EXPECT_FLOAT_EQ(all[1].position.x, 2.0f);

    // A waiting fish is not an obstacle; a leaving one keeps its target and the other's.
    all[1].action = FISH_WAITING;
    all[0].position = VECTOR3D{};
    all[0].CheckCollision(all, 2, 0.5f);
    EXPECT_EQ(all[0].position.x, 0.0f);
    all[1].action = FISH_CRUISING;
    all[0].leaving = true;
    all[0].target = VECTOR3D{100, 0, 0};
    all[1].target = VECTOR3D{5, 5, 5};
    all[0].CheckCollision(all, 2, 0.5f);
    EXPECT_TRUE(all[0].position.x < 0.0f && all[0].target.x == 100.0f && all[1].target.x == 5.0f);
    for (ONEFISH& f : all) f.fishData = nullptr;
}

class Behaviour : public ::testing::Test {
protected:
    void SetUp() override {
        data = testsupport::LoadSpecies(dir.path(), SpeciesRecipe(), &species);
        ASSERT_NE(data, nullptr);
        for (ONEFISH& f : fish) ASSERT_TRUE(f.SetupFromFishData(data));
    }
    // A cruising fish at p heading along +z (angles zero), steady at speed.
    static void Place(ONEFISH* f, VECTOR3D p, float speed = 0.0f) {
        f->action = FISH_CRUISING;
        f->position = p;
        Aim(f, VECTOR3D{});
        f->currentSpeed = f->cruiseSpeed = speed;
        f->speedFactor = f->wantedFactor = 1.0f;
        f->turnVelocity = f->turnWanted = VECTOR3D{};
        f->actionTimer = 10.0f;
        f->target = VECTOR3D{p.x, p.y, p.z + 30.0f};
    }
    testsupport::TempDir dir;
    FISHINFO species;
    ONEFISH fish[3];
    FISHDATA* data = nullptr;
};

TEST_F(Behaviour, CeilingAndWallsHoldTheFishAndRetarget) {
    ONEFISH& f = fish[0];
    for (float level : {0.0f, 1.0f}) {
        Place(&f, VECTOR3D{0, 30, 0});
        f.Move(fish, 1, level, kDt, false, kView);
        EXPECT_NEAR(f.position.y, ONEFISH::Ceiling(level, data->extent, f.position.z), 1e-4) << level;
    }
    Place(&f, VECTOR3D{0, -10, 31.9f}, 30.0f);
    f.target = VECTOR3D{0, -10, 200};
    f.Move(fish, 1, 1.0f, 0.1f, false, kView);
    EXPECT_EQ(f.position.z, 32.0f);
    EXPECT_LE(std::fabs(f.target.z), 20.0f);
    // A leaving fish keeps its target.
    Place(&f, VECTOR3D{0, -10, -31.9f}, 30.0f);
    Aim(&f, VECTOR3D{0, 180, 0});
    f.leaving = true;
    f.target = VECTOR3D{0, -10, -300};
    f.Move(fish, 1, 1.0f, 0.1f, false, kView);
    EXPECT_TRUE(f.position.z == -32.0f && f.target.z == -300.0f);
    // A resting fish that reaches a wall swims on in the same frame.
    Place(&f, VECTOR3D{0, -10, 31.9f}, 30.0f);
    f.leaving = false;
    f.SetAction(FISH_RESTING);
    f.actionTimer = 8.0f;
    f.Move(fish, 1, 1.0f, 0.1f, false, kView);
    EXPECT_TRUE(f.position.z == 32.0f && f.action == FISH_CRUISING && f.actionTimer == 20.0f);
}

TEST_F(Behaviour, StayOnScreenUndoesOnlyTheOffendingAxis) {
    ONEFISH& f = fish[0];
    // The rightmost x at y = 0, z = 0 where the whole fish is still in view.
    float edge = 0;
    while (kView.SphereIn(VECTOR3D{edge + 0.01f, 0, 0}, -data->extent)) edge += 0.01f;
    // At the edge, heading out at 10 units a second.
    auto start = [&](VECTOR3D direction, bool onScreen) {
        Place(&f, VECTOR3D{edge - 0.005f, 0, 0});
        f.direction = direction;
        f.currentSpeed = f.cruiseSpeed = 10.0f;
        f.onScreen = onScreen;
    };
    start(NormalizeVector(VECTOR3D{1, 0.2f, -0.1f}), true);
    VECTOR3D before = f.position;
    f.Move(fish, 1, 1.0f, 0.1f, true, kView);
    EXPECT_EQ(f.position.x, before.x);                                               // undone
    EXPECT_TRUE(f.position.y > before.y + 0.1f && f.position.z < before.z - 0.05f);  // kept
    EXPECT_LE(std::max({std::fabs(f.target.x), std::fabs(f.target.y), std::fabs(f.target.z)}), 20.0f);
    // Not yet wholly in view since entering, or without the setting: not held back.
    for (bool onScreen : {false, true}) {
        start(VECTOR3D{1, 0, 0}, onScreen);
        f.Move(fish, 1, 1.0f, 0.1f, !onScreen, kView);
        EXPECT_GT(f.position.x, edge + 0.9f);
    }
}

TEST_F(Behaviour, RestingCoastsEndsAndIsInterruptedByANearFish) {
    ONEFISH& f = fish[0];
    Place(&f, VECTOR3D{0, -10, 0});
    f.SetAction(FISH_RESTING);
    f.actionTimer = 5.0f;
    f.cruiseSpeed = 0.3f;
    f.Move(fish, 1, 1.0f, 0.5f, false, kView);
    EXPECT_FLOAT_EQ(f.cruiseSpeed, -0.2f);
    f.Move(fish, 1, 1.0f, 0.5f, false, kView);
    EXPECT_TRUE(f.cruiseSpeed == 0.0f && f.action == FISH_RESTING);
    VECTOR3D angles = f.angles;  // resting fish do not turn
    f.target = VECTOR3D{30, 0, -30};
    f.Move(fish, 1, 1.0f, 0.5f, false, kView);
    EXPECT_TRUE(f.angles.x == angles.x && f.angles.y == angles.y);
    f.actionTimer = 0.01f;  // the timer runs out: cruising again with a fresh leg
    f.Move(fish, 1, 1.0f, 0.1f, false, kView);
    EXPECT_TRUE(f.action == FISH_CRUISING && f.actionTimer == 20.0f);

    // A fish within twice the radius ends the rest; one farther away does not.
    const float reach = 2 * data->extent;
    for (float distance : {1.2f * reach, 3 * reach}) {
        Place(&fish[0], VECTOR3D{0, -10, 0});
        fish[0].SetAction(FISH_RESTING);
        fish[0].actionTimer = 8.0f;
        Place(&fish[1], VECTOR3D{distance, -10, 0});
        fish[0].Move(fish, 2, 1.0f, kDt, false, kView);
        EXPECT_EQ(fish[0].action, distance < reach * 2 ? FISH_CRUISING : FISH_RESTING) << distance;
    }
}

TEST_F(Behaviour, EyesRollOnlyWithBothJoints) {
    ONEFISH& f = fish[0];
    Place(&f, VECTOR3D{0, -10, 0});
    f.eyeTimer = 0.1f;
    f.eyeTarget = VECTOR3D{0, 20, -20};
    f.Move(fish, 1, 1.0f, 0.15f, false, kView);  // timer at -0.05: eyes turn
    EXPECT_NEAR(f.eyeAngles.y, 20.0f * 1.5f, 1e-4);
    const int left = data->eyeLeftJoint, right = data->eyeRightJoint;
    ASSERT_TRUE(left > 0 && right > 0);
    MATRIX expected = MatrixFromAngle(f.eyeAngles);
    for (int i = 0; i < 16; i++) {
        EXPECT_NEAR(f.joints[left].animMatrix.m[i], expected.m[i], 1e-12);
        EXPECT_NEAR(f.joints[right].animMatrix.m[i], TransposeMatrix(expected).m[i], 1e-12);
    }
}

}  // namespace
