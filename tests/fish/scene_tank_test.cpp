// The tank inside the scene: SSMAIN::Setup builds it from the bundled species and hands
// it the bubble texture of slot 9; SSMAIN::Draw steps it, so the fish enter as frames
// are drawn; a scene without any loadable species fails its setup.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <string>

#include "FishFixture.h"
#include "fish/Aquarium.h"
#include "image/Texture.h"
#include "scene/SSMain.h"
#include "settings/Settings.h"

namespace {

const int kWidth = 160, kHeight = 120;

void Projection()
{
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, (double)kWidth / kHeight, 1.0, 120.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

TEST(SceneTank, SetupBuildsAndDrawStepsTheTank)
{
    EglContext gl;
    ASSERT_TRUE(gl.Create(kWidth, kHeight));
    SETTINGS settings;
    DefaultSettings(&settings, nullptr);
    snprintf(settings.FishPath, sizeof settings.FishPath, "%s", testsupport::ShareDir().c_str());
    ASSERT_TRUE(SetFishSelection(&settings, "##"));
    settings.GRADUALFILL = false;
    const std::string archive = testsupport::ShareDir() + "/kelpish.tidewares";

    SSMAIN scene;
    Projection();
    ASSERT_TRUE(scene.Setup(true, kWidth, kHeight, &settings, archive.c_str()));
    ASSERT_NE(scene.aquarium, nullptr);
    EXPECT_EQ(settings.fishSelection, nullptr);
    ASSERT_GT(scene.textureCount, 9);
    EXPECT_NE(scene.aquarium->bubbleTexture, 0u);
    EXPECT_EQ(scene.aquarium->bubbleTexture, scene.resTextures[9].texID);
    EXPECT_EQ(scene.aquarium->numFish, 3);

    int active = 0;
    for (int frame = 0; frame < 400 && active < 3; frame++) {
        scene.Update(1.0 / 60.0 + 1e-6);
        Projection();
        scene.Draw();
        active = 0;
        for (int i = 0; i < 3; i++) active += scene.aquarium->fish[i].action > 0;
    }
    EXPECT_EQ(active, 3);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    scene.Cleanup();
    scene.Cleanup();
    EXPECT_EQ(scene.aquarium, nullptr);
}

TEST(SceneTank, NoSpeciesNoScene)
{
    EglContext gl;
    ASSERT_TRUE(gl.Create(kWidth, kHeight));
    testsupport::TempDir empty;
    SETTINGS settings;
    DefaultSettings(&settings, nullptr);
    snprintf(settings.FishPath, sizeof settings.FishPath, "%s", empty.path().c_str());
    ASSERT_TRUE(SetFishSelection(&settings, "##"));
    SSMAIN scene;
    Projection();
    EXPECT_FALSE(scene.Setup(true, kWidth, kHeight, &settings, (testsupport::ShareDir() + "/kelpish.tidewares").c_str()));
    scene.Cleanup();
    FreeFishSelection(&settings);
}

}  // namespace
