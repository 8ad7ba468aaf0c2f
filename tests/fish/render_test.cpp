// Drawing the tank into a headless GL context: the fish appear where their positions
// project, the caustic pass draws geometry with the caller's texture, sphere-mapped
// groups leave no texture generation behind, and bubbles show as squares.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "FishFixture.h"
#include "fish/Aquarium.h"
#include "settings/Settings.h"

using fishtest::SpeciesSpec;

namespace {

const int kWidth = 320, kHeight = 240;

struct Pixel {
    int r, g, b;
};

class TankRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gl.Create(kWidth, kHeight));
        snprintf(settings.FishPath, sizeof settings.FishPath, "%s", dir.path().c_str());
        ASSERT_TRUE(SetFishSelection(&settings, "##"));
    }
    void TearDown() override { FreeFishSelection(&settings); }

    bool SetupTank(const SpeciesSpec& spec, int count)
    {
        if (!fishtest::WriteSpecies(dir / "red.fish", spec)) return false;
        settings.MAX_FISH = count;
        return tank.Setup(&settings);
    }

    // A fish side-on (swimming along +x) at p, posed by its skeleton.
    void Show(ONEFISH* f, VECTOR3D p)
    {
        f->SetAction(FISH_CRUISING);
        f->position = p;
        f->angles = VECTOR3D{0, 90, 0};
        f->orientation = MatrixFromAngle(f->angles);
        f->Update(0.0);
    }

    void Frame()
    {
        fishtest::LoadTankView(kWidth, kHeight);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glDisable(GL_CULL_FACE);
        glEnable(GL_TEXTURE_2D);
        glColor4f(1, 1, 1, 1);
    }

    std::vector<uint8_t> Read() { return gl.ReadPixels(); }

    // Colour at the window position where p projects (y up), from a top-first readback.
    Pixel At(const std::vector<uint8_t>& rgba, VECTOR3D p)
    {
        GLdouble model[16], proj[16];
        GLint view[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, proj);
        glGetIntegerv(GL_VIEWPORT, view);
        GLdouble wx, wy, wz;
        gluProject(p.x, p.y, p.z, model, proj, view, &wx, &wy, &wz);
        int x = (int)wx, y = kHeight - 1 - (int)wy;
        if (x < 0 || x >= kWidth || y < 0 || y >= kHeight) return Pixel{-1, -1, -1};
        const uint8_t* px = &rgba[((size_t)y * kWidth + x) * 4];
        return Pixel{px[0], px[1], px[2]};
    }

    static unsigned SolidTexture(uint8_t r, uint8_t g, uint8_t b)
    {
        unsigned id = 0;
        uint8_t texel[16] = {r, g, b, 255, r, g, b, 255, r, g, b, 255, r, g, b, 255};
        glGenTextures(1, &id);
        glBindTexture(GL_TEXTURE_2D, id);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
        return id;
    }

    EglContext gl;
    testsupport::TempDir dir;
    SETTINGS settings;
    AQUARIUM tank;
};

TEST_F(TankRender, FishAppearWhereTheyProject)
{
    SpeciesSpec spec;
    spec.colour[0] = 250;
    spec.colour[1] = 10;
    spec.colour[2] = 10;
    spec.reach[1] = 2.5f;
    ASSERT_TRUE(SetupTank(spec, 3));
    tank.wantBubbles = false;
    const VECTOR3D where[3] = {{-15, 8, 0}, {12, -6, 5}, {0, 0, -20}};
    for (int i = 0; i < 3; i++) Show(&tank.fish[i], where[i]);
    tank.Sort();

    Frame();
    tank.Draw(false);
    std::vector<uint8_t> rgba = Read();
    for (int i = 0; i < 3; i++) {
        Pixel p = At(rgba, tank.fish[i].position);
        EXPECT_GT(p.r, 180) << i;
        EXPECT_LT(p.g, 60) << i;
        EXPECT_LT(p.b, 60) << i;
    }
    // Away from every fish the frame stays clear.
    for (VECTOR3D empty : {VECTOR3D{0, 15, 0}, VECTOR3D{-20, -15, 0}, VECTOR3D{20, 15, 0}}) {
        Pixel p = At(rgba, empty);
        EXPECT_EQ(p.r + p.g + p.b, 0);
    }

    // A waiting fish is not drawn.
    tank.fish[0].action = FISH_WAITING;
    Frame();
    tank.Draw(false);
    rgba = Read();
    int drawn = 0;
    for (int i = 0; i < 3; i++) drawn += At(rgba, tank.fish[i].position).r > 180;
    EXPECT_EQ(drawn, 2);
}

TEST_F(TankRender, CausticPassUsesTheCallersTexture)
{
    ASSERT_TRUE(SetupTank(SpeciesSpec(), 1));
    tank.wantBubbles = false;
    Show(&tank.fish[0], VECTOR3D{0, 0, 0});
    unsigned green = SolidTexture(0, 255, 0);
    Frame();
    glBindTexture(GL_TEXTURE_2D, green);
    tank.Draw(true);
    Pixel p = At(Read(), tank.fish[0].position);
    EXPECT_LT(p.r, 30);
    EXPECT_GT(p.g, 200);
    EXPECT_LT(p.b, 30);

    // The ordinary pass binds the fish's own skin instead.
    Frame();
    glBindTexture(GL_TEXTURE_2D, green);
    tank.Draw(false);
    p = At(Read(), tank.fish[0].position);
    EXPECT_GT(p.r, 150);
    glDeleteTextures(1, &green);
}

TEST_F(TankRender, SphereMappedGroupsRestoreTextureGeneration)
{
    SpeciesSpec spec;
    spec.sphereMapped = true;
    ASSERT_TRUE(SetupTank(spec, 1));
    tank.wantBubbles = false;
    Show(&tank.fish[0], VECTOR3D{0, 0, 0});
    Frame();
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    tank.Draw(false);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
    Pixel p = At(Read(), tank.fish[0].position);
    EXPECT_GT(p.r, 150);  // a solid skin looks the same however it is mapped
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(TankRender, GroupsOutOfRangeDrawNothing)
{
    ASSERT_TRUE(SetupTank(SpeciesSpec(), 1));
    ONEFISH& f = tank.fish[0];
    Show(&f, VECTOR3D{0, 0, 0});
    Frame();
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(MODELVERTEX), f.vertexBuffer);
    f.DrawGroup(-1, false);
    f.DrawGroup(f.numGroups, false);
    glDisableClientState(GL_VERTEX_ARRAY);
    std::vector<uint8_t> rgba = Read();
    size_t lit = 0;
    for (size_t i = 0; i < rgba.size(); i += 4) lit += rgba[i] + rgba[i + 1] + rgba[i + 2];
    EXPECT_EQ(lit, 0u);
}

TEST_F(TankRender, BubblesAreDrawnInTheOrdinaryPassOnly)
{
    ASSERT_TRUE(SetupTank(SpeciesSpec(), 1));
    tank.bubbleTexture = SolidTexture(255, 255, 255);
    tank.AddBubbles(1, VECTOR3D{3, 3, 40});
    tank.bubbles[0].position = VECTOR3D{3, 3, 40};  // near the camera: a large square
    Frame();
    tank.Draw(true);
    EXPECT_EQ(At(Read(), tank.bubbles[0].position).r, 0);
    Frame();
    tank.Draw(false);
    Pixel p = At(Read(), tank.bubbles[0].position);
    EXPECT_GT(p.r, 200);
    EXPECT_GT(p.g, 200);
    EXPECT_GT(p.b, 200);
    // Faded to black for the title card: the bubbles go dark with the rest of the tank.
    tank.bubbleBrightness = 0.0f;
    Frame();
    tank.Draw(false);
    p = At(Read(), tank.bubbles[0].position);
    EXPECT_LT(p.r + p.g + p.b, 10);
    tank.bubbleBrightness = 1.0f;
    Frame();
    tank.Draw(false);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));  // the bubble pass leaves lighting on
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites);
    glDeleteTextures(1, &tank.bubbleTexture);
}

}  // namespace
