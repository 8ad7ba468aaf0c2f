// Filling fish from their species: what is shared, what is copied, skins per material,
// independent deformation, and teardown that leaves the species intact.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "FishFixture.h"

using fishtest::SpeciesFixture;
using fishtest::SpeciesSpec;

namespace {

using FishSetup = SpeciesFixture;

TEST_F(FishSetup, SharesGeometryCopiesVerticesAndDeformsIndependently)
{
    FISHDATA* data = Load(SpeciesSpec(), &species);
    ASSERT_NE(data, nullptr);
    const ONEFISH* proto = data->prototype;
    ONEFISH a, b;
    ASSERT_TRUE(a.SetupFromFishData(data));
    ASSERT_TRUE(b.SetupFromFishData(data));
    for (const ONEFISH* f : {&a, &b}) {
        EXPECT_EQ(f->groups, proto->groups);
        EXPECT_EQ(f->indices, proto->indices);
        EXPECT_NE(f->vertexBuffer, proto->vertexBuffer);
        EXPECT_NE(f->materials, proto->materials);
        ASSERT_EQ(f->numVertices, proto->numVertices);
        EXPECT_EQ(memcmp(f->vertexBuffer, proto->vertexBuffer, sizeof(MODELVERTEX) * f->numVertices), 0);
        EXPECT_EQ(f->numJoints, data->animTemplate->numJoints);
        // Every material wears one of the species' skins.
        for (int m = 0; m < f->numMaterials; m++)
            EXPECT_TRUE(f->materials[m].texture == data->textures[0].texID ||
                        f->materials[m].texture == data->textures[1].texID);
    }
    EXPECT_NE(a.vertexBuffer, b.vertexBuffer);

    std::vector<MODELVERTEX> before(b.vertexBuffer, b.vertexBuffer + b.numVertices);
    a.SetAction(FISH_CRUISING);
    a.position = VECTOR3D{0, -10, 0};
    for (int i = 0; i < 30; i++) a.Move(&a, 1, 1.0f, 0.05f, false, fishtest::TankFrustum());
    EXPECT_NE(memcmp(a.vertexBuffer, before.data(), sizeof(MODELVERTEX) * a.numVertices), 0);
    EXPECT_EQ(memcmp(b.vertexBuffer, before.data(), sizeof(MODELVERTEX) * b.numVertices), 0);

    // With a single skin every fish wears it.
    SpeciesSpec one;
    one.skins = 1;
    FISHINFO single;
    FISHDATA* oneSkin = Load(one, &single, "one.fish");
    ASSERT_NE(oneSkin, nullptr);
    for (int i = 0; i < 5; i++) {
        ONEFISH f;
        ASSERT_TRUE(f.SetupFromFishData(oneSkin));
        ASSERT_GE(f.numMaterials, 1);
        EXPECT_EQ(f.materials[0].texture, oneSkin->textures[0].texID);
    }
}

TEST_F(FishSetup, TeardownLeavesTheSpeciesIntact)
{
    FISHDATA* data = Load(SpeciesSpec(), &species);
    ASSERT_NE(data, nullptr);
    const ONEFISH* proto = data->prototype;
    MODELGROUP* groups = proto->groups;
    uint16_t* indices = proto->indices;
    std::vector<uint16_t> savedIndices(indices, indices + 3 * proto->numTriangles);
    {
        ONEFISH* many = new ONEFISH[3];
        for (int i = 0; i < 3; i++) ASSERT_TRUE(many[i].SetupFromFishData(data));
        delete[] many;
    }
    EXPECT_EQ(proto->groups, groups);
    EXPECT_EQ(proto->indices, indices);
    EXPECT_EQ(std::vector<uint16_t>(indices, indices + 3 * proto->numTriangles), savedIndices);
    // Filling twice replaces, never leaks or frees the shared parts.
    ONEFISH again;
    EXPECT_TRUE(again.SetupFromFishData(data));
    EXPECT_TRUE(again.SetupFromFishData(data));
    EXPECT_EQ(again.groups, groups);
    again.Release();
    again.Release();
    EXPECT_EQ(proto->groups, groups);
}

TEST_F(FishSetup, IncompleteDataIsRefused)
{
    ONEFISH f;
    EXPECT_FALSE(f.SetupFromFishData(nullptr));
    FISHDATA empty;
    EXPECT_FALSE(f.SetupFromFishData(&empty));
    EXPECT_EQ(f.fishData, nullptr);
    EXPECT_EQ(f.vertexBuffer, nullptr);
    // A fish without data neither moves nor breaks anything.
    f.Move(&f, 1, 1.0f, 0.1f, false, fishtest::TankFrustum());
    f.Draw(false);
}

}  // namespace
