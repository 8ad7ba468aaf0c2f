// The scene's update with no GL context: water, tilt, banner and title card.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>

#include "SceneRig.h"
#include "water/Background.h"
#include "water/Water.h"

using scenetest::SceneRig;

namespace {

TEST(SceneUpdate, OneWaterTickPerCallAndTheLevel) {
    SceneRig r;
    r.settings.WATERSHIFT = 5;
    r.settings.WWATERLEVEL = 40;
    ASSERT_TRUE(r.Build(320, 180));
    SSMAIN& s = r.scene;
    s.wantedLevel = 0.85f;
    s.waterLevel = 0.0f;
    // A long frame ticks once: the wobble moves exactly one step.
    BACKGROUND once = *s.background;
    once.RelaxWobble(0.01666666753590107);
    s.Update(1.5);
    EXPECT_TRUE(s.water->vertices[0].ny == 1.0f && s.causticDue);  // a stepped surface has normals
    EXPECT_EQ(std::memcmp(once.points, s.background->points, sizeof once.points), 0);
    // The level closes 5 % of its gap a second and never passes 1.
    EXPECT_EQ(s.waterLevel, static_cast<float>(0.85f * 1.5 * 0.05));
    // Shorter than the tick: no water step, no caustic render, but the level moves.
    const float level = s.waterLevel;
    s.Update(0.01);
    EXPECT_FALSE(s.causticDue);
    EXPECT_GT(s.waterLevel, level);
    s.wantedLevel = 1.05f;
    s.waterLevel = 0.99999f;
    s.Update(0.02);
    EXPECT_EQ(s.waterLevel, 1.0f);
}

TEST(SceneUpdate, BannerAndTitleCardScheduleOverTwoAndAHalfMinutes) {
    SceneRig r;
    ASSERT_TRUE(r.Build(1024, 768, 3));
    SSMAIN& s = r.scene;
    s.aquarium->numFish = 0;
    // Fixed 20 ms steps; times in whole frames to stay clear of float rounding.
    std::vector<double> showings, hidings;
    std::vector<bool> atTop;
    double fullAt = -1, clearAt = -1, secondCardAt = -1;
    bool wasShown = false, sides[2] = {}, slots[16] = {};
    for (int frame = 1; frame <= 7500; ++frame) {
        const double t = frame * 0.02;
        const float before = s.fade;
        s.Update(0.02);
        // The scene darkens by the fade the card had one frame earlier.
        ASSERT_EQ(s.sceneFade, before) << t;
        ASSERT_EQ(s.aquarium->bubbleBrightness, 1.0f - before) << t;
        if (s.bannerShown != wasShown) {
            (s.bannerShown ? showings : hidings).push_back(t);
            if (s.bannerShown) atTop.push_back(s.bannerAtTop);
            wasShown = s.bannerShown;
        }
        if (fullAt < 0 && s.fade >= 1.0f) fullAt = t;
        if (fullAt > 0 && clearAt < 0 && before > 0.0f && s.fade <= 0.0f) clearAt = t;
        if (clearAt > 0 && secondCardAt < 0 && s.fade > 0.0f) secondCardAt = t;
        if (t < 59.9 || (t > 62.1 && t < 79.9)) {
            ASSERT_EQ(s.fade, t < 59.9 ? 0.0f : 1.0f) << t;
        }
    }
    // The first banner at 80 s at the top, shown 20 s, hidden 30 s, then the bottom edge;
    // the card 0 -> 1 in 2 s from 60 s, held to 80 s, back to 0 in 2 s, on a 60 s cycle.
    ASSERT_GE(showings.size(), 2u);
    const double got[] = {showings[0], hidings[0], showings[1], fullAt, clearAt, secondCardAt};
    const double want[] = {80, 100, 130, 62, 82, 120};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(got[i], want[i], 0.05) << "event " << i;
    EXPECT_TRUE(atTop[0] && !atTop[1]);
    EXPECT_NEAR(s.bannerPos.y, 5.0f, 0.5f);  // resting just inside the bottom edge

    // A showing eases in 2 % of the way per 20 ms from beyond the edge, with a caption
    // from slots 4 to 8 and either side.
    s.bannerAtTop = false;
    s.bannerShown = false;
    s.bannerTimer = 0.0f;
    s.Update(0.02);
    EXPECT_NEAR(s.bannerPos.y, 808.0f + (728.0f - 808.0f) * 0.02f, 1e-3);
    for (int i = 0; i < 400; ++i) {
        s.bannerShown = false;
        s.bannerTimer = 0.0f;
        s.Update(0.02);
        ASSERT_LT(s.captionSlot, 16u);
        slots[s.captionSlot] = true;
        ASSERT_TRUE(s.bannerPos.x == 0.0f || s.bannerPos.x == 1024.0f - 256.0f) << s.bannerPos.x;
        sides[s.bannerPos.x == 0.0f] = true;
    }
    EXPECT_TRUE(sides[0] && sides[1]);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(slots[k], k >= 4 && k <= 8) << k;

    // The preview pane has no overlay: no title card by 70 s.
    SceneRig p;
    ASSERT_TRUE(p.Build(320, 180, 3, true));
    p.Run(70.0);
    EXPECT_EQ(p.scene.fade, 0.0f);
}

// A kernel accelerometer of 1000 counts per g in a fake sysfs tree: 500 counts read as
// 128 of the tilt's 256 per g, 45 degrees.
TEST(SceneUpdate, SensorRollPollingAndEasingFromAnIioDevice) {
    testsupport::TempDir root, config;
    testsupport::ScopedEnv env({{"REEFMERE_IIO_ROOT", root.path()}, {"XDG_CONFIG_HOME", config.path()}});
    sms_set_service(nullptr);
    const std::string dir = root / "iio:device0";
    auto reading = [&](const std::string& x, int z) {
        testsupport::WriteFile(dir + "/in_accel_x_raw", x);
        testsupport::WriteFile(dir + "/in_accel_y_raw", "0");
        testsupport::WriteFile(dir + "/in_accel_z_raw", std::to_string(z));
    };
    mkdir(dir.c_str(), 0755);
    testsupport::WriteFile(dir + "/in_accel_scale", "0.00980665\n");
    reading("500", -1000);
    SceneRig r;
    r.settings.WANTSMS = true;
    r.settings.SMSREVERSE = true;  // not applied to the rest roll
    ASSERT_TRUE(r.Build(320, 180));
    SSMAIN& s = r.scene;
    ASSERT_TRUE(s.smsActive);
    EXPECT_FLOAT_EQ(s.restRoll, 135.0f);  // upside down: 180 - 45
    EXPECT_FLOAT_EQ(s.tiltCurrent.z, 135.0f);

    // Readings to roll: reverse flips it, upside down mirrors it about 90.
    struct Case {
        int z;
        bool reverse;
        float roll;
    } cases[] = {{1000, false, 45.0f}, {1000, true, -45.0f}, {-1000, false, 135.0f}, {-1000, true, 225.0f}};
    for (const Case& c : cases) {
        reading("500", c.z);
        s.smsReverse = c.reverse;
        s.smsPollTimer = 0.0f;
        s.Update(0.02);
        EXPECT_FLOAT_EQ(s.tiltTarget.z, c.roll) << c.z << " " << c.reverse;
    }
    // Within the poll interval no reading is taken; garbage keeps the target.
    reading("0", 1000);
    s.Update(0.02);
    EXPECT_FLOAT_EQ(s.tiltTarget.z, 225.0f);
    reading("12abc", 1000);
    s.smsPollTimer = 0.0f;
    s.Update(0.02);
    EXPECT_FLOAT_EQ(s.tiltTarget.z, 225.0f);

    // The drawn tilt closes 5 x dt of its gap per update; the underlay keeps the roll from
    // before the update's easing, the camera turns by the eased one, both less the rest.
    s.smsPollTimer = 1e9f;
    s.tiltTarget.z = 145.0f;
    s.tiltCurrent.z = 135.0f;
    s.Update(0.02);
    EXPECT_FLOAT_EQ(s.tiltCurrent.z, 136.0f);
    EXPECT_FLOAT_EQ(s.underlayRoll, 0.0f);
    EXPECT_FLOAT_EQ(s.camera.roll, 1.0f);
    s.Update(0.02);
    EXPECT_FLOAT_EQ(s.tiltCurrent.z, 136.9f);
    EXPECT_FLOAT_EQ(s.underlayRoll, 1.0f);

    // A minute after setup the sensor is left alone and the tank settles back to its rest.
    reading("500", 1000);
    s.smsWindow = 0.01f;
    s.smsPollTimer = 0.0f;
    r.Run(3.0);
    EXPECT_EQ(s.tiltTarget.z, 135.0f);
    EXPECT_LT(std::abs(s.camera.roll), 0.5f);

    // A device that cannot be read from the start is no sensor: no tilt, no roll.
    reading("", 1000);
    SceneRig n;
    n.settings.WANTSMS = true;
    ASSERT_TRUE(n.Build(320, 180));
    EXPECT_FALSE(n.scene.smsActive);
    n.scene.tiltTarget.z = 12.0f;
    n.scene.Update(0.02);
    EXPECT_TRUE(n.scene.tiltCurrent.z == 0.0f && n.scene.camera.roll == 0.0f);
}

}  // namespace
