// Scene setup's water steps: the grid from WATERSHIFT, the wobble grid, the caustic
// target, and the motion-sensor step (rest roll from the first reading).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>

#include "SceneSupport.h"
#include "scene/SSMain.h"
#include "settings/Paths.h"
#include "settings/Settings.h"
#include "water/Background.h"
#include "water/Water.h"

namespace {

using scenetest::gSensor;

class WaterSetup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.Create(256, 192));
        ASSERT_TRUE(testsupport::FileExists(Archive())) << "resource folder not built: " << Archive();
        DefaultSettings(&settings, nullptr);
        CopyToField(settings.FishPath, sizeof settings.FishPath, testsupport::ShareDir().c_str());
        CopyToField(settings.FishPath2, sizeof settings.FishPath2, (env.config().path() + "/").c_str());
    }
    void TearDown() override { FreeFishSelection(&settings); }
    std::string Archive() const { return testsupport::ShareDir() + "/kelpish.tidewares"; }
    bool Build(SSMAIN& s) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        SetFishSelection(&settings, "##");
        return s.Setup(true, 256, 192, &settings, Archive().c_str());
    }

    EglContext gl;
    scenetest::SensorEnvironment env;
    SETTINGS settings;
};

}  // namespace

TEST_F(WaterSetup, WaterWobbleAndCausticTargetAreBuilt) {
    settings.WATERSHIFT = 5;
    settings.WANTCAUSTIC = true;
    SSMAIN s;
    ASSERT_TRUE(Build(s));
    ASSERT_NE(s.water, nullptr);
    EXPECT_EQ(s.water->numVerts, 32u * 32u);
    EXPECT_EQ(s.water->size, 64.0f);
    EXPECT_TRUE(s.water->refraction);
    ASSERT_NE(s.background, nullptr);
    EXPECT_EQ(s.background->spacing, 16);
    EXPECT_TRUE(glIsTexture(s.causticTexture));
    EXPECT_FALSE(s.smsActive);  // WANTSMS is off by default
    // Large stored values keep only their low 16 bits, then clamp.
    settings.WATERSHIFT = 0x10007;
    SSMAIN t;
    ASSERT_TRUE(Build(t));
    EXPECT_EQ(t.water->numVerts, 128u * 128u);
    t.Cleanup();
    EXPECT_EQ(t.water, nullptr);
    EXPECT_EQ(t.background, nullptr);
    EXPECT_EQ(t.causticTexture, 0u);
}

TEST_F(WaterSetup, SensorRestRollComesFromTheFirstReading) {
    settings.WANTSMS = true;
    settings.SMSREVERSE = true;  // not applied to the rest roll
    struct Case {
        int16_t x, z;
        bool present;
        int failAfter;
        bool active;
        float roll;
    } cases[] = {
        {128, 256, true, 0, true, 45.0f},
        {128, -256, true, 0, true, 135.0f},
        {100, 0, true, 1, true, 0.0f},  // found, but the first read fails
        {0, 0, false, 0, false, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.z << " present " << c.present << " failAfter " << c.failAfter);
        gSensor = scenetest::FakeSensor{};
        gSensor.x = c.x;
        gSensor.z = c.z;
        gSensor.present = c.present;
        gSensor.failAfter = c.failAfter;
        SSMAIN s;
        ASSERT_TRUE(Build(s));
        EXPECT_EQ(s.smsActive, c.active);
        if (!c.active) continue;
        EXPECT_EQ(s.smsKind, SMS_SMC);
        EXPECT_FLOAT_EQ(s.restRoll, c.roll);
        EXPECT_FLOAT_EQ(s.tiltTarget.z, c.roll);
        EXPECT_FLOAT_EQ(s.tiltCurrent.z, c.roll);
    }
}
