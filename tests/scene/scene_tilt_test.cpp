// The tilt from a kernel accelerometer, end to end: a fake sysfs device, the scene's own
// detection and polling, and the water line in a drawn frame.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <string>
#include <vector>

#include "SceneRig.h"

namespace {

constexpr int kW = 160;
constexpr int kH = 90;

// A hid-sensor-hub style device reading the machine turned by `degrees` about the
// viewing axis (0: lying flat).
void WriteDevice(const std::string& root, double degrees) {
    const std::string dir = root + "/iio:device0";
    mkdir(dir.c_str(), 0755);
    const double rad = degrees * M_PI / 180.0;
    const auto axis = [&](const char* name, double g) {
        ASSERT_TRUE(testsupport::WriteFile(dir + "/" + name, std::to_string(std::lround(g * 1000.0)) + "\n"));
    };
    axis("in_accel_x_raw", std::sin(rad));
    axis("in_accel_y_raw", 0.0);
    axis("in_accel_z_raw", std::cos(rad));
    ASSERT_TRUE(testsupport::WriteFile(dir + "/in_accel_scale", "0.00980665\n"));  // 1000 per g
}

// Row (from the top) of the brightest-to-darkest step in column x: the water line over a
// plain white background, which the tank dims below it.
int WaterLineRow(const std::vector<uint8_t>& px, int x) {
    int best = -1, bestStep = 0;
    for (int y = 1; y < kH; ++y) {
        const int step = px[((y - 1) * kW + x) * 4 + 1] - px[(y * kW + x) * 4 + 1];
        if (step > bestStep) bestStep = step, best = y;
    }
    return best;
}

struct Frame {
    std::vector<uint8_t> pixels;
    float target = 0.0f;
};

// Sets the scene up with the device flat, optionally turns it 20 degrees a second in,
// and with `vanish` removes the device a second later; draws the frame at 4 s.
Frame Draw(bool turn, bool vanish) {
    testsupport::TempDir root, config;
    testsupport::ScopedEnv env({{"REEFMERE_IIO_ROOT", root.path()}, {"XDG_CONFIG_HOME", config.path()}});
    sms_set_service(nullptr);
    WriteDevice(root.path(), 0.0);
    EglContext gl;
    EXPECT_TRUE(gl.Create(kW, kH));
    glViewport(0, 0, kW, kH);
    scenetest::SceneRig r;
    r.settings.WANTSMS = true;
    r.settings.MAX_FISH = 0;
    r.settings.WANTBUBBLES = false;
    r.settings.WANTCAUSTIC = false;
    r.settings.WWATERLEVEL = 50;
    EXPECT_TRUE(r.Build(kW, kH));
    EXPECT_TRUE(r.scene.smsActive);
    GLuint white = 0;
    std::vector<uint8_t> plain(4 * 4 * 4, 255);
    glGenTextures(1, &white);
    glBindTexture(GL_TEXTURE_2D, white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, plain.data());
    r.scene.backgroundTexture = white;
    r.Run(1.0);
    if (turn) WriteDevice(root.path(), 20.0);
    r.Run(1.0);
    Frame f;
    if (vanish) {
        f.target = r.scene.tiltTarget.z;
        testsupport::Run({"rm", "-rf", root.path() + "/iio:device0"});
    }
    r.Run(2.0);
    if (vanish) {
        EXPECT_EQ(r.scene.tiltTarget.z, f.target);
    }
    f.target = r.scene.tiltTarget.z;
    r.scene.DrawFrame();
    f.pixels = gl.ReadPixels();
    return f;
}

}  // namespace

TEST(SceneTilt, AReadingTurnedTwentyDegreesTiltsTheWaterLine) {
    const Frame level = Draw(false, false), turned = Draw(true, false), vanished = Draw(true, true);
    const int x0 = kW / 8, x1 = kW - 1 - kW / 8;
    const int levelDrop = WaterLineRow(level.pixels, x1) - WaterLineRow(level.pixels, x0);
    const int turnedDrop = WaterLineRow(turned.pixels, x1) - WaterLineRow(turned.pixels, x0);
    EXPECT_LE(std::abs(levelDrop), 1);
    // 20 degrees reads as sin 20 g, a roll of about 31 degrees: tan 31 x 120 pixels is 72.
    EXPECT_GE(std::abs(turnedDrop), 30) << levelDrop;
    EXPECT_NEAR(turned.target, 30.8f, 0.5f);
    // The device gone a second after the turn: the tank keeps the last tilt.
    EXPECT_EQ(vanished.target, turned.target);
    EXPECT_EQ(vanished.pixels, turned.pixels);
    if (std::getenv("REEFMERE_FRAME_DUMP")) {
        testsupport::WritePNG(std::string(std::getenv("REEFMERE_FRAME_DUMP")) + "-level.png", level.pixels, kW, kH);
        testsupport::WritePNG(std::string(std::getenv("REEFMERE_FRAME_DUMP")) + "-turned.png", turned.pixels, kW, kH);
    }
}
