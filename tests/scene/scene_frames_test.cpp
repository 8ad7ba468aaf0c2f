// Real scene frames in the headless context against tests/scene/frames (REEFMERE_UPDATE_FRAMES=1 rewrites them).
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "SceneRig.h"
#include "math/Camera.h"

using scenetest::SceneRig;

namespace {

constexpr int kW = 160;
constexpr int kH = 90;

// At most one pixel in a thousand may differ by more than 2 in a colour channel.
void ExpectReference(const std::string& name, const std::vector<uint8_t>& px) {
    const std::string path = testsupport::SourceDir() + "/tests/scene/frames/" + name + ".png";
    if (std::getenv("REEFMERE_UPDATE_FRAMES")) {
        ASSERT_TRUE(testsupport::WritePNG(path, px, kW, kH));
        return;
    }
    int w = 0, h = 0;
    const std::vector<uint8_t> ref = testsupport::LoadImageRGBA(path, &w, &h);
    ASSERT_TRUE(w == kW && h == kH) << path;
    int off = 0, worst = 0;
    for (size_t i = 0; i < px.size(); i += 4) {
        int d = 0;
        for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(px[i + c] - ref[i + c]));
        worst = std::max(worst, d);
        off += d > 2;
    }
    EXPECT_LE(off, kW * kH / 1000) << name << ": pixels off " << off << ", worst " << worst;
    if (off > kW * kH / 1000 && std::getenv("REEFMERE_FRAME_DUMP"))
        testsupport::WritePNG(std::string(std::getenv("REEFMERE_FRAME_DUMP")) + "-" + name + ".png", px, kW, kH);
}

TEST(SceneFrames, MatchTheReferences) {
    struct Case {
        const char* name;
        int level;  // percent
        bool caustics;
        float fade;  // the title card's, before the last update
        float roll;  // degrees, the tank tilted by the motion sensor
    } cases[] = {
        {"low", 30, true, 0.0f, 0.0f},         {"full", 100, true, 0.0f, 0.0f},  {"fading-low", 30, true, 0.5f, 0.0f},
        {"fading-high", 80, true, 0.5f, 0.0f}, {"plain", 60, false, 0.0f, 0.0f}, {"card", 60, true, 1.0f, 0.0f},
        {"tilted", 45, true, 0.25f, 12.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EGLCONTEXT gl;
        ASSERT_TRUE(gl.Create(kW, kH));
        glViewport(0, 0, kW, kH);
        SceneRig r;
        r.settings.WWATERLEVEL = c.level;
        r.settings.WANTCAUSTIC = c.caustics;
        ASSERT_TRUE(r.Build(kW, kH, 7));
        SSMAIN& s = r.scene;
        s.backgroundTexture = testsupport::PatternTexture(16);
        if (c.roll != 0.0f) {
            // No sensor answers: the tilt stays where it is put.
            s.smsActive = true;
            s.tiltTarget.z = s.tiltCurrent.z = c.roll;
        }
        r.Run(6.0);
        s.fade = c.fade;
        if (c.fade > 0.0f) s.cardTimer = -1.0f;
        s.Update(scenetest::kStep);
        s.DrawFrame();
        ExpectReference(c.name, gl.ReadPixels());
        // Each pass sets what it needs and puts back what the next expects.
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING) && glIsEnabled(GL_DEPTH_TEST));
        EXPECT_FALSE(glIsEnabled(GL_BLEND) || glIsEnabled(GL_CULL_FACE) || glIsEnabled(GL_TEXTURE_GEN_S) ||
                     glIsEnabled(GL_TEXTURE_GEN_Q) || glIsEnabled(GL_POLYGON_OFFSET_FILL));
        GLboolean depthWrites = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
        EXPECT_TRUE(depthWrites);
    }
}

TEST(SceneFrames, CameraMatchesTheFixedFunctionMatrices) {
    EGLCONTEXT gl;
    ASSERT_TRUE(gl.Create(16, 16));
    for (float roll : {0.0f, 30.0f, -117.5f}) {
        for (float aspect : {16.0f / 9.0f, 0.75f}) {
            CAMERA cam;
            cam.aspect = aspect;
            cam.roll = roll;
            float mine[16], gls[16];
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            gluPerspective(45.0, aspect, 1.0, 120.0);
            glGetFloatv(GL_PROJECTION_MATRIX, gls);
            cam.Projection(mine);
            for (int i = 0; i < 16; ++i) EXPECT_EQ(mine[i], gls[i]) << "projection " << i;
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
            glRotatef(-roll, 0.0f, 0.0f, 1.0f);
            glGetFloatv(GL_MODELVIEW_MATRIX, gls);
            cam.View(mine);
            for (int i = 0; i < 16; ++i) EXPECT_EQ(mine[i], gls[i]) << "view " << i << " roll " << roll;
        }
    }
}

// A setup that fails (no resource archive) is released whole, the background texture too.
TEST(SceneFrames, CleanupReleasesEvenAFailedSetup) {
    EGLCONTEXT gl;
    ASSERT_TRUE(gl.Create(kW, kH));
    SSMAIN s;
    GLuint bg = 0;
    glGenTextures(1, &bg);
    glBindTexture(GL_TEXTURE_2D, bg);
    s.backgroundTexture = bg;
    SETTINGS settings;
    DefaultSettings(&settings, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(s.Setup(false, kW, kH, &settings, "/nonexistent/kelpish.tidewares"));
    testing::internal::GetCapturedStderr();
    s.Cleanup();
    EXPECT_TRUE(!s.water && !s.background && !s.aquarium && !s.resTextures && !s.causticTexture);
    EXPECT_FALSE(glIsTexture(bg));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING) || glIsEnabled(GL_CULL_FACE));
    s.Cleanup();
    FreeFishSelection(&settings);
}

}  // namespace
