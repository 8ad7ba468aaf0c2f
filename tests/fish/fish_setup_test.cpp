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

TEST_F(FishSetup, SharesGroupsAndIndicesCopiesVertices)
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
        EXPECT_EQ(f->numGroups, proto->numGroups);
        EXPECT_EQ(f->numTriangles, proto->numTriangles);
        EXPECT_NE(f->vertexBuffer, proto->vertexBuffer);
        ASSERT_EQ(f->numVertices, proto->numVertices);
        EXPECT_EQ(memcmp(f->vertexBuffer, proto->vertexBuffer, sizeof(MODELVERTEX) * f->numVertices), 0);
        EXPECT_NE(f->materials, proto->materials);
        EXPECT_NE(f->joints, nullptr);
        EXPECT_EQ(f->numJoints, data->animTemplate->numJoints);
        EXPECT_EQ(f->fishData, data);
        EXPECT_EQ(f->animTemplate, data->animTemplate);
        EXPECT_EQ(f->scale, 1.0f);
        EXPECT_EQ(f->action, FISH_WAITING);
        EXPECT_EQ(f->endTime, 0.0f);
        // Every material wears one of the species' skins.
        for (int m = 0; m < f->numMaterials; m++)
            EXPECT_TRUE(f->materials[m].texture == data->textures[0].texID ||
                        f->materials[m].texture == data->textures[1].texID);
    }
    EXPECT_NE(a.vertexBuffer, b.vertexBuffer);

    // Deforming one fish leaves the other's vertices alone.
    std::vector<MODELVERTEX> before(b.vertexBuffer, b.vertexBuffer + b.numVertices);
    a.SetAction(FISH_CRUISING);
    a.position = VECTOR3D{0, -10, 0};
    for (int i = 0; i < 30; i++) a.Move(&a, 1, 1.0f, 0.05f, false);
    EXPECT_NE(memcmp(a.vertexBuffer, before.data(), sizeof(MODELVERTEX) * a.numVertices), 0);
    EXPECT_EQ(memcmp(b.vertexBuffer, before.data(), sizeof(MODELVERTEX) * b.numVertices), 0);
}

TEST_F(FishSetup, OneSkinForEveryFish)
{
    SpeciesSpec spec;
    spec.skins = 1;
    FISHDATA* data = Load(spec, &species);
    ASSERT_NE(data, nullptr);
    for (int i = 0; i < 5; i++) {
        ONEFISH f;
        ASSERT_TRUE(f.SetupFromFishData(data));
        ASSERT_GE(f.numMaterials, 1);
        EXPECT_EQ(f.materials[0].texture, data->textures[0].texID);
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
    // A new fish still fills from it.
    ONEFISH again;
    EXPECT_TRUE(again.SetupFromFishData(data));
    // Filling twice replaces, never leaks or frees the shared parts.
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
    f.Move(&f, 1, 1.0f, 0.1f, false);
    f.Draw(false);
}

}  // namespace
