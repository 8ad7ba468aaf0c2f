// Every bundled species through the engine itself: species loading, a fish filled from
// the species, its side view at rest (each species its own silhouette) and two moments
// of its swim cycle from above (the tail must move).
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "Species.h"
#include "fish/Fish.h"
#include "fish/FishData.h"
#include "test_support.h"

using reefpack::BundledSpecies;

namespace {

constexpr int kCell = 200;

// Clears the frame and views it from `eye` with `up`; the view spans +-half units.
void View(float half, const float eye[3], const float up[3]) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-half, half, -half, half, -60, 60);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye[0], eye[1], eye[2], 0, 0, 0, up[0], up[1], up[2]);
    const float light[4] = {0.3f, 1, 0.4f, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    glColor4f(1, 1, 1, 1);
}

// Width over height of the pixels that are not the clear colour.
float Aspect(const std::vector<uint8_t>& cell) {
    int x0 = kCell, x1 = -1, y0 = kCell, y1 = -1;
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x) {
            const uint8_t* p = &cell[(y * kCell + x) * 4];
            if (std::abs(p[0] - 26) < 3 && std::abs(p[1] - 77) < 3 && std::abs(p[2] - 115) < 3) continue;
            x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    return x1 < x0 ? 0.0f : static_cast<float>(x1 - x0 + 1) / (y1 - y0 + 1);
}

}  // namespace

TEST(SpeciesRender, EngineDrawsEverySpeciesItsOwnShapeAndSwims) {
    EGLCONTEXT ctx;
    ASSERT_TRUE(ctx.Create(kCell, kCell));
    glClearColor(0.1f, 0.3f, 0.45f, 1);
    for (GLenum cap : {GL_DEPTH_TEST, GL_TEXTURE_2D, GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL, GL_BLEND, GL_CULL_FACE})
        glEnable(cap);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const float amb[4] = {0.45f, 0.45f, 0.45f, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, amb);
    const float above[3] = {0, 40, 0}, headUp[3] = {0, 0, 1}, side[3] = {40, 0, 0}, yUp[3] = {0, 1, 0};
    const std::map<std::string, std::pair<float, float>> shapes = {
        {"barracuda", {3.0f, 99}}, {"tetra", {2.0f, 99}}, {"discus", {0, 1.6f}}, {"angelfish", {0, 1.0f}}};
    for (const auto& species : BundledSpecies()) {
        SCOPED_TRACE(species.key);
        FISHINFO info;
        std::snprintf(info.fileName, sizeof info.fileName, "%s.fish", species.key.c_str());
        ASSERT_TRUE(info.LoadData((testsupport::ShareDir() + "/").c_str(), 1.0f));
        FISHDATA* data = info.data;
        ONEFISH fish;
        ASSERT_TRUE(fish.SetupFromFishData(data));
        const float half = data->extent * 1.3f;

        // The side at the start of the rest cycle, the fish's left side, head to the left.
        fish.SetAnimation(data->swimFrames + 3, data->swimFrames + 3 + data->secondFrames, data->animSpeed, true,
                          false);
        fish.Update(0);
        View(half, side, yUp);
        fish.Draw(false);
        const float aspect = Aspect(ctx.ReadPixels());
        const auto range = shapes.count(species.key) ? shapes.at(species.key) : std::make_pair(0.0f, 99.0f);
        EXPECT_TRUE(aspect > range.first && aspect < range.second) << aspect << " times as long as tall";

        // Two moments half a stroke apart, from above: the tail swings across.
        fish.SetAnimation(2, data->swimFrames + 2, data->animSpeed, true, false);
        std::vector<std::vector<uint8_t>> tops;
        for (int shot = 0; shot < 2; ++shot) {
            for (int i = 0; i < 10; ++i) fish.Update(data->swimFrames / 20.0f * (shot ? 0.05 : 0.025));
            View(half, above, headUp);
            fish.Draw(false);
            tops.push_back(ctx.ReadPixels());
        }
        size_t changed = 0;
        for (size_t i = 0; i < tops[0].size(); i += 4) changed += tops[0][i + 2] != tops[1][i + 2];
        EXPECT_GT(changed, 150u) << "the swim cycle does not move the fish";
        fish.Release();
    }
}
