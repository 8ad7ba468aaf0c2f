// The tilt from a kernel accelerometer end to end: a fake sysfs device, the scene's own
// detection and polling, and the water line in a drawn frame.
#include <GL/gl.h>
#include <sys/stat.h>

#include <cmath>

#include "SceneRig.h"

namespace {

constexpr int kW = 160, kH = 90;

// A device of 1000 counts per g turned by `degrees` about the viewing axis; zSign -1
// reads -1 g lying flat, as hid sensor hubs do.
void Tilt(const std::string& root, double degrees, double zSign) {
    const std::string dir = root + "/iio:device0";
    mkdir(dir.c_str(), 0755);
    const double a = degrees * M_PI / 180.0, g[3] = {std::sin(a), 0.0, zSign * std::cos(a)};
    for (int i = 0; i < 3; ++i)
        testsupport::WriteFile(dir + "/in_accel_" + "xyz"[i] + "_raw", std::to_string(std::lround(g[i] * 1000)));
    testsupport::WriteFile(dir + "/in_accel_scale", "0.00980665\n");
}

// How many rows lower the water line (the dimming of a white background) is on the right
// than on the left.
int LineDrop(const std::vector<uint8_t>& px) {
    int row[2] = {0, 0};
    for (int k = 0; k < 2; ++k)
        for (int y = 1, best = 0, x = k ? kW - 1 - kW / 8 : kW / 8; y < kH; ++y) {
            const int step = px[((y - 1) * kW + x) * 4 + 1] - px[(y * kW + x) * 4 + 1];
            if (step > best) best = step, row[k] = y;
        }
    return row[1] - row[0];
}

}  // namespace

TEST(SceneTilt, ATurnedReadingTiltsTheWaterLineKeepsItAndSettlesLevel) {
    for (double zSign : {1.0, -1.0}) {
        for (bool turn : {false, true}) {
            SCOPED_TRACE(std::to_string(zSign) + (turn ? " turned" : " unchanged"));
            testsupport::TempDir root, config;
            testsupport::ScopedEnv env({{"REEFMERE_IIO_ROOT", root.path()}, {"XDG_CONFIG_HOME", config.path()}});
            sms_set_service(nullptr);
            Tilt(root.path(), 0.0, zSign);  // the first reading is the rest
            EglContext gl;
            ASSERT_TRUE(gl.Create(kW, kH));
            glViewport(0, 0, kW, kH);
            scenetest::SceneRig r;
            r.settings.WANTSMS = true;
            r.settings.MAX_FISH = 0;  // nothing in front of the water line
            r.settings.WANTBUBBLES = r.settings.WANTCAUSTIC = false;
            r.settings.WWATERLEVEL = 50;
            ASSERT_TRUE(r.Build(kW, kH));
            const std::vector<uint8_t> white(4 * 4 * 4, 255);
            glGenTextures(1, &r.scene.backgroundTexture);
            glBindTexture(GL_TEXTURE_2D, r.scene.backgroundTexture);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, white.data());
            r.Run(1.0);
            if (turn) Tilt(root.path(), 20.0, zSign);
            r.Run(1.0);
            testsupport::Run({"rm", "-rf", root.path() + "/iio:device0"});  // the device goes
            const float target = r.scene.tiltTarget.z;
            r.Run(1.0);
            EXPECT_EQ(r.scene.tiltTarget.z, target);
            // sin 20 g reads as a roll of about 31 degrees: tan 31 x 120 pixels is 72 rows.
            EXPECT_NEAR(std::abs(r.scene.camera.roll), turn ? 30.8f : 0.0f, 0.5f);
            r.scene.DrawFrame();
            const int drop = std::abs(LineDrop(gl.ReadPixels()));
            EXPECT_TRUE(turn ? drop > 30 : drop <= 1) << drop;
            // The minute is up: level again, whichever way the device reads at rest.
            r.scene.smsWindow = 0.0f;
            r.Run(3.0);
            EXPECT_LT(std::abs(r.scene.camera.roll), 0.5f);
        }
    }
}
