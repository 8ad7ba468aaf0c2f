// Scene setup's water steps: the grid from WATERSHIFT, the wobble grid, the caustic
// target, and the motion-sensor step (rest roll from the first reading) through a
// sensor service that the test controls.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "motion/unimotion.h"
#include "scene/SSMain.h"
#include "test_support.h"
#include "view/Paths.h"
#include "view/Settings.h"
#include "water/Background.h"
#include "water/Water.h"

namespace {

struct Reading {
    int16_t x = 0, y = 0, z = 0;
    bool present = true;
    bool fail = false;
    int calls = 0;
};
Reading gReading;

SMSHANDLE Find(void*, const char* serviceClass) {
    return gReading.present && std::strcmp(serviceClass, "SMCMotionSensor") == 0 ? 1 : 0;
}
SMSHANDLE Open(void*, SMSHANDLE) { return 2; }
int Call(void*, SMSHANDLE, int, const void*, size_t, void* output, size_t* outputSize) {
    // The probe of detect_sms succeeds; later reads fail when asked to.
    if (++gReading.calls > 1 && gReading.fail) return 1;
    int16_t v[3] = {gReading.x, gReading.y, gReading.z};
    std::memcpy(output, v, sizeof v);
    *outputSize = 40;
    return 0;
}
void Close(void*, SMSHANDLE) {}
const SMSSERVICE kService = {nullptr, Find, Open, Call, Close};

class WaterSetup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.Create(256, 192));
        DefaultSettings(&settings, nullptr);
        CopyToField(settings.FishPath, sizeof settings.FishPath, testsupport::ShareDir().c_str());
        CopyToField(settings.FishPath2, sizeof settings.FishPath2, (tmp.path() + "/").c_str());
        SetFishSelection(&settings, "##");
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old) saved = old, hadConfig = true;
        setenv("XDG_CONFIG_HOME", tmp.path().c_str(), 1);
        sms_set_service(&kService);
        gReading = Reading{};
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    void TearDown() override {
        sms_set_service(nullptr);
        FreeFishSelection(&settings);
        if (hadConfig)
            setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    std::string Archive() const { return testsupport::ShareDir() + "/kelpish.tidewares"; }
    bool Build(SSMAIN& s) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        SetFishSelection(&settings, "##");
        return s.Setup(true, 256, 192, &settings, Archive().c_str());
    }

    EglContext gl;
    testsupport::TempDir tmp;
    SETTINGS settings;
    std::string saved;
    bool hadConfig = false;
};

}  // namespace

TEST_F(WaterSetup, WaterWobbleAndCausticTargetAreBuilt) {
    ASSERT_TRUE(testsupport::FileExists(Archive())) << "resource folder not built: " << Archive();
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
    EXPECT_FALSE(s.smsActive);
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
    ASSERT_TRUE(testsupport::FileExists(Archive())) << "resource folder not built: " << Archive();
    settings.WANTSMS = true;
    settings.SMSREVERSE = true;  // not applied to the rest roll
    {
        gReading = Reading{};
        gReading.x = 128;
        gReading.z = 256;
        SSMAIN s;
        ASSERT_TRUE(Build(s));
        EXPECT_TRUE(s.smsActive);
        EXPECT_EQ(s.smsKind, SMS_SMC);
        EXPECT_FLOAT_EQ(s.restRoll, 45.0f);
        EXPECT_FLOAT_EQ(s.tiltTarget.z, 45.0f);
        EXPECT_FLOAT_EQ(s.tiltCurrent.z, 45.0f);
    }
    {
        gReading = Reading{};
        gReading.x = 128;
        gReading.z = -256;
        SSMAIN s;
        ASSERT_TRUE(Build(s));
        EXPECT_FLOAT_EQ(s.restRoll, 135.0f);
    }
    {
        gReading = Reading{};
        gReading.x = 100;
        gReading.fail = true;  // found, but the first read fails
        SSMAIN s;
        ASSERT_TRUE(Build(s));
        EXPECT_TRUE(s.smsActive);
        EXPECT_EQ(s.restRoll, 0.0f);
        EXPECT_EQ(s.tiltTarget.z, 0.0f);
        EXPECT_EQ(s.tiltCurrent.z, 0.0f);
    }
    {
        gReading = Reading{};
        gReading.present = false;
        SSMAIN s;
        ASSERT_TRUE(Build(s));
        EXPECT_FALSE(s.smsActive);
    }
}
