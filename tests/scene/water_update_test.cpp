// SSMAIN::Update: the fixed water tick, drops, the wobble step, the level approach and
// cap, and the motion-sensor roll (through a sensor service that returns chosen
// readings). Caustics are off here, so no GL context is needed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "motion/unimotion.h"
#include "scene/SSMain.h"
#include "SceneSupport.h"
#include "water/Background.h"
#include "water/Water.h"

namespace {

using scenetest::gSensor;

// A scene with water and a wobble grid but no GL work in its update.
struct Scene {
    SSMAIN main;
    Scene() {
        main.wantCaustic = false;
        main.water = new WATERCLASS;
        main.water->Initialize(5, 64.0f, true, 1.0f);
        main.background = new BACKGROUND;
        main.background->InitWobble();
        main.waterLevel = 0.0f;
        main.wantedLevel = 0.85f;
    }
};

bool Ticked(const WATERCLASS& w) { return w.vertices[0].ny == 1.0f; }

class SensorScene : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(detect_sms(), SMS_SMC);
        s_.main.smsActive = true;
        s_.main.smsKind = SMS_SMC;
    }
    float RollFor(int16_t x, int16_t y, int16_t z, bool reverse) {
        gSensor.x = x;
        gSensor.y = y;
        gSensor.z = z;
        s_.main.smsReverse = reverse;
        s_.main.smsPollTimer = 0.0f;
        s_.main.Update(0.02);
        return s_.main.tiltTarget.z;
    }
    scenetest::SensorEnvironment env_;
    Scene s_;
};

}  // namespace

TEST(SceneUpdate, OneWaterTickPerCallWithTheTimerReloaded) {
    Scene s;
    s.main.waterTimer = 0.0f;
    s.main.Update(0.02);
    EXPECT_TRUE(Ticked(*s.main.water));
    EXPECT_EQ(s.main.waterTimer, 0.016666668f);
    EXPECT_EQ(s.main.frameTime, 0.02);

    // A call shorter than the tick (the view never makes one) does not step the water,
    // but the level still moves.
    Scene t;
    t.main.waterTimer = 0.016666668f;
    t.main.Update(0.01);
    EXPECT_FALSE(Ticked(*t.main.water));
    EXPECT_NEAR(t.main.waterTimer, 0.0066666678f, 1e-7f);
    EXPECT_GT(t.main.waterLevel, 0.0f);

    // A long frame still ticks once: the wobble moved exactly one step.
    Scene u;
    BACKGROUND once = *u.main.background;
    once.RelaxWobble(0.01666666753590107);
    u.main.Update(1.5);
    EXPECT_EQ(std::memcmp(once.points, u.main.background->points, sizeof once.points), 0);
    EXPECT_EQ(u.main.waterTimer, 0.016666668f);
}

TEST(SceneUpdate, FirstDropFallsAfterOneSecondWithItsRandomStrength) {
    Scene s;
    const int n = 32;
    int calls = 0;
    while (static_cast<float>(s.main.dropTimer - 0.02) >= 0.0f) {
        s.main.Update(0.02);
        ++calls;
        for (int i = 0; i < n * n; ++i) ASSERT_EQ(s.main.water->cells[i].velocity, 0.0f) << "call " << calls;
    }
    EXPECT_GE(calls, 49);  // 1.0 s of 0.02 s frames
    EXPECT_LE(calls, 50);
    std::srand(99);
    const int a = std::rand(), b = std::rand(), c = std::rand(), d = std::rand();
    const float strength = static_cast<float>((a % 150) / 100.0 + 0.5);
    const int column = b & (n - 1), row = c & (n - 1);
    std::srand(99);
    s.main.Update(0.02);
    // The water stepped first, then the drop landed on the fresh velocities.
    EXPECT_EQ(s.main.water->cells[row * n + column].velocity, strength * -0.25f);
    EXPECT_EQ(s.main.dropTimer, static_cast<float>(((d % 120) + 100) / 10.0));
    EXPECT_GE(s.main.dropTimer, 10.0f);
    EXPECT_LE(s.main.dropTimer, 21.9f + 1e-5f);
}

TEST(SceneUpdate, LevelApproachesItsTargetAndIsCapped) {
    Scene s;
    s.main.Update(0.02);
    EXPECT_EQ(s.main.waterLevel, static_cast<float>(0.0f + 0.85f * 0.02 * 0.05));
    EXPECT_NEAR(s.main.waterLevel, 0.00085f, 1e-9f);

    Scene t;
    t.main.wantedLevel = 1.05f;
    t.main.waterLevel = 0.99999f;
    t.main.Update(0.02);
    EXPECT_EQ(t.main.waterLevel, 1.0f);

    // Empty to 95 % of the way in about a minute of frames.
    Scene u;
    for (int i = 0; i < 3000; ++i) u.main.Update(0.02);
    EXPECT_NEAR(u.main.waterLevel, 0.85f * 0.95f, 0.01f);
    // A falling target is approached from above too.
    u.main.wantedLevel = 0.5f;
    for (int i = 0; i < 10; ++i) u.main.Update(0.02);
    EXPECT_LT(u.main.waterLevel, 0.85f * 0.95f);
}

TEST_F(SensorScene, RollFromRawReadingsWithReverseAndUpsideDown) {
    EXPECT_FLOAT_EQ(RollFor(128, 0, 256, false), 45.0f);
    EXPECT_FLOAT_EQ(RollFor(128, 0, 256, true), -45.0f);
    EXPECT_FLOAT_EQ(RollFor(128, 0, -256, false), 135.0f);
    EXPECT_FLOAT_EQ(RollFor(128, 0, -256, true), 225.0f);
    EXPECT_EQ(s_.main.smsRaw.x, 128);
    EXPECT_EQ(s_.main.smsRaw.z, -256);
    EXPECT_EQ(s_.main.tiltTarget.x, 0.0f);
    EXPECT_EQ(s_.main.tiltTarget.y, 0.0f);
}

TEST_F(SensorScene, PollsEveryTenthOfASecondForOneMinute) {
    EXPECT_FLOAT_EQ(RollFor(64, 0, 256, false), 22.5f);
    EXPECT_EQ(s_.main.smsPollTimer, 0.1f);
    // Within the poll interval a new reading is not taken.
    gSensor.x = 128;
    const int before = gSensor.calls;
    s_.main.Update(0.02);
    EXPECT_EQ(gSensor.calls, before);
    EXPECT_FLOAT_EQ(s_.main.tiltTarget.z, 22.5f);
    for (int i = 0; i < 5; ++i) s_.main.Update(0.02);
    EXPECT_FLOAT_EQ(s_.main.tiltTarget.z, 45.0f);

    // A failed read keeps the last target.
    gSensor.failAfter = gSensor.calls;
    s_.main.smsPollTimer = 0.0f;
    s_.main.Update(0.02);
    EXPECT_FLOAT_EQ(s_.main.tiltTarget.z, 45.0f);
    gSensor.failAfter = 0;

    // After the minute the target is zero on every call and the sensor is left alone.
    double t = 60.0 - s_.main.smsWindow;
    while (t < 60.0) {
        s_.main.Update(0.05);
        t += 0.05;
    }
    s_.main.Update(0.05);
    ASSERT_LT(s_.main.smsWindow, 0.0f);
    const int calls = gSensor.calls;
    for (int i = 0; i < 20; ++i) {
        s_.main.Update(0.05);
        EXPECT_EQ(s_.main.tiltTarget.z, 0.0f);
    }
    EXPECT_EQ(gSensor.calls, calls);
}

TEST(SceneUpdate, NoSensorMeansNoTilt) {
    Scene s;
    s.main.smsActive = false;
    s.main.tiltTarget.z = 12.0f;
    s.main.Update(0.02);
    EXPECT_EQ(s.main.tiltTarget.z, 12.0f);
    EXPECT_EQ(s.main.smsWindow, 60.0f);
    // This platform's own sensor layer finds nothing.
    sms_set_service(nullptr);
    EXPECT_EQ(detect_sms(), 0);
}
