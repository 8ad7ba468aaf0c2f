// The scene controller's shell: SetSize, Setup's levels and light,
// Cleanup (repeatable, also after a failed Setup) and the empty caustic texture.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "scene/SSMain.h"
#include "test_support.h"
#include "settings/Paths.h"
#include "settings/Settings.h"

namespace {

class SceneShell : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.Create(256, 192));
        DefaultSettings(&settings, nullptr);
        CopyToField(settings.FishPath, sizeof settings.FishPath, testsupport::ShareDir().c_str());
        CopyToField(settings.FishPath2, sizeof settings.FishPath2, (tmp.path() + "/").c_str());
        SetFishSelection(&settings, "##");
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    void TearDown() override { FreeFishSelection(&settings); }
    std::string Archive() const { return testsupport::ShareDir() + "/kelpish.tidewares"; }

    EglContext gl;
    testsupport::TempDir tmp;
    SETTINGS settings;
};

}  // namespace

TEST_F(SceneShell, SetSizeKeepsAspectAtLeastOne) {
    SSMAIN s;
    s.SetSize(800, 1000);
    EXPECT_FLOAT_EQ(s.aspect, 1.0f);
    s.SetSize(1280, 800);
    EXPECT_FLOAT_EQ(s.aspect, 1.6f);
    EXPECT_EQ(s.viewWidth, 1280);
    EXPECT_EQ(s.viewHeight, 800);
    s.SetSize(640, 0);  // a degenerate view must not give an infinite aspect
    EXPECT_FLOAT_EQ(s.aspect, 1.0f);
}

TEST_F(SceneShell, EmptyTextureIsA128SquareOfZeros) {
    GLuint t = EmptyTexture();
    ASSERT_NE(t, 0u);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), t);  // left bound
    const GLint expected[][2] = {{GL_TEXTURE_WRAP_S, GL_REPEAT}, {GL_TEXTURE_WRAP_T, GL_REPEAT},
                                 {GL_TEXTURE_MIN_FILTER, GL_LINEAR}, {GL_TEXTURE_MAG_FILTER, GL_LINEAR},
                                 {GL_TEXTURE_WIDTH, 128}, {GL_TEXTURE_HEIGHT, 128}};
    for (const auto& e : expected) {
        GLint value = 0;
        if (e[0] == GL_TEXTURE_WIDTH || e[0] == GL_TEXTURE_HEIGHT)
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, e[0], &value);
        else
            glGetTexParameteriv(GL_TEXTURE_2D, e[0], &value);
        EXPECT_EQ(value, e[1]) << std::hex << e[0];
    }
    std::vector<uint8_t> px(128 * 128 * 4, 0xAB);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    EXPECT_EQ(px, std::vector<uint8_t>(px.size(), 0));
    glDeleteTextures(1, &t);
}

TEST_F(SceneShell, FailedSetupIsReleasedByRepeatedCleanup) {
    SSMAIN s;
    GLuint bg = 0;
    glGenTextures(1, &bg);
    glBindTexture(GL_TEXTURE_2D, bg);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    s.backgroundTexture = bg;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(s.Setup(false, 256, 192, &settings, (tmp.path() + "/missing.tidewares").c_str()));
    testing::internal::GetCapturedStderr();
    s.Cleanup();
    EXPECT_EQ(s.water, nullptr);
    EXPECT_EQ(s.background, nullptr);
    EXPECT_EQ(s.aquarium, nullptr);
    EXPECT_EQ(s.resTextures, nullptr);
    EXPECT_EQ(s.backgroundTexture, 0u);
    EXPECT_EQ(s.causticTexture, 0u);
    EXPECT_FALSE(glIsTexture(bg));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    s.Cleanup();  // again: nothing left to release
    SSMAIN never;
    never.Cleanup();
    never.Cleanup();
}

TEST_F(SceneShell, SetupPlacesCameraLightAndWaterLevels) {
    ASSERT_TRUE(testsupport::FileExists(Archive())) << "resource folder not built: " << Archive();
    settings.RWATERLEVEL = false;
    settings.GRADUALFILL = false;
    settings.WWATERLEVEL = 85;
    settings.WATERSHIFT = 5;
    settings.SMSREVERSE = true;
    {
        SSMAIN s;
        ASSERT_TRUE(s.Setup(true, 1280, 800, &settings, Archive().c_str()));
        EXPECT_TRUE(s.preview);
        EXPECT_EQ(s.waterShift, 5);
        EXPECT_TRUE(s.smsReverse);
        EXPECT_FLOAT_EQ(s.aspect, 1.6f);
        EXPECT_FLOAT_EQ(s.wantedLevel, 0.85f);
        EXPECT_FLOAT_EQ(s.waterLevel, 0.85f);
        EXPECT_NE(s.causticTexture, 0u);
        EXPECT_GE(s.textureCount, 10);
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
        // Camera at (0, 0, 60) looking at the origin: a pure translation by -60 in z.
        GLdouble mv[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, mv);
        EXPECT_NEAR(mv[14], -60.0, 1e-9);
        EXPECT_NEAR(mv[0], 1.0, 1e-9);
        // The light's position is stored in eye space: (0, 60, 40 - 60, 1).
        GLfloat lp[4];
        glGetLightfv(GL_LIGHT0, GL_POSITION, lp);
        EXPECT_FLOAT_EQ(lp[1], 60.0f);
        EXPECT_FLOAT_EQ(lp[2], -20.0f);
        EXPECT_FLOAT_EQ(lp[3], 1.0f);
        // The passes rely on the blending Setup leaves (they do not set it themselves).
        GLint blendSrc = 0;
        glGetIntegerv(GL_BLEND_SRC, &blendSrc);
        EXPECT_EQ(blendSrc, GL_SRC_ALPHA);
        s.Cleanup();
        s.Cleanup();
    }
    // Gradual fill starts empty; a random level lies in 0.65 .. 1.09.
    settings.GRADUALFILL = true;
    settings.RWATERLEVEL = true;
    settings.WANTCAUSTIC = false;
    for (int i = 0; i < 5; i++) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        SetFishSelection(&settings, "##");
        SSMAIN s;
        ASSERT_TRUE(s.Setup(false, 800, 1000, &settings, Archive().c_str()));
        EXPECT_FLOAT_EQ(s.waterLevel, 0.0f);
        EXPECT_GE(s.wantedLevel, 0.65f);
        EXPECT_LE(s.wantedLevel, 1.09f + 1e-6f);
        EXPECT_FLOAT_EQ(s.aspect, 1.0f);
        EXPECT_EQ(s.causticTexture, 0u);  // no caustics wanted: no render target
    }
}
