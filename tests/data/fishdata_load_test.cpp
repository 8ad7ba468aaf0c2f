// Species loading from fish archives built by the content kit's writers: skin numbering
// with and without a mask, skipped skin lumps, too few lumps, the species parameters,
// the radius and the joint names; failed species never become usable.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "../fish/FishArchives.h"
#include "fish/FishData.h"
#include "data/FishFile.h"
#include "fish/Fish.h"
#include "image/Texture.h"
#include "test_support.h"

using fishtest::SpeciesSpec;

namespace {

class FishDataLoad : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gl.Create(16, 16)); }

    // Writes the species and loads it into data; the result of Load.
    bool LoadSpecies(const SpeciesSpec& spec, FISHDATA* data, float size = 1.0f)
    {
        std::string path = dir / "species.fish";
        EXPECT_TRUE(fishtest::WriteSpecies(path, spec));
        FISHFILE archive;
        if (!archive.Open(path.c_str())) {
            ADD_FAILURE() << "archive does not open";
            return false;
        }
        return data->Load(&archive, size);
    }

    // Alpha of the first texel of a GL texture.
    int FirstAlpha(unsigned texID)
    {
        std::vector<uint8_t> texels(64 * 64 * 4);
        glBindTexture(GL_TEXTURE_2D, texID);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        return texels[3];
    }

    EglContext gl;
    testsupport::TempDir dir;
};

TEST_F(FishDataLoad, SkinsWithoutMaskTakeTheirModeFromTheEntryBefore)
{
    SpeciesSpec spec;
    spec.skins = 3;
    // Directory entry 0 (the model's) holds skin 0's mode: colour key, which on a solid
    // skin makes every texel transparent. Skin 0's own entry says opaque.
    spec.modes = {1, 0, 0, 0};
    FISHDATA data;
    ASSERT_TRUE(LoadSpecies(spec, &data));
    ASSERT_EQ(data.numTextures, 3);
    for (int k = 0; k < 3; k++) EXPECT_NE(data.textures[k].texID, 0u) << k;
    EXPECT_NE(data.textures[0].texID, data.textures[1].texID);
    EXPECT_EQ(FirstAlpha(data.textures[0].texID), 0);
    EXPECT_EQ(FirstAlpha(data.textures[1].texID), 255);
    EXPECT_TRUE(data.Complete());
}

TEST_F(FishDataLoad, MaskIsSharedAndKindZeroSkinLumpsStayEmpty)
{
    SpeciesSpec spec;
    spec.mask = true;
    spec.skins = 2;
    FISHDATA masked;
    ASSERT_TRUE(LoadSpecies(spec, &masked));
    ASSERT_EQ(masked.numTextures, 2);  // four lumps: model, mask, two skins
    for (int k = 0; k < 2; k++) {
        ASSERT_NE(masked.textures[k].texID, 0u);
        EXPECT_EQ(FirstAlpha(masked.textures[k].texID), 128) << k;  // the mask's grey
    }

    for (bool mask : {false, true}) {
        SCOPED_TRACE(mask ? "mask" : "no mask");
        spec.mask = mask;
        spec.skins = 3;
        spec.skinKinds = {1, 0, 1};
        FISHDATA data;
        ASSERT_TRUE(LoadSpecies(spec, &data));
        EXPECT_EQ(data.numTextures, 3);
        EXPECT_NE(data.textures[0].texID, 0u);
        EXPECT_EQ(data.textures[1].texID, 0u);
        EXPECT_NE(data.textures[2].texID, 0u);
    }
}

TEST_F(FishDataLoad, TooFewLumpsFail)
{
    SpeciesSpec spec;
    spec.mask = true;
    spec.skins = 0;  // model and mask only
    FISHDATA masked;
    EXPECT_FALSE(LoadSpecies(spec, &masked));
    EXPECT_FALSE(masked.Complete());

    spec.mask = false;  // the model alone
    FISHDATA bare;
    EXPECT_FALSE(LoadSpecies(spec, &bare));
    EXPECT_EQ(bare.prototype, nullptr);
}

TEST_F(FishDataLoad, HeaderParametersAndSize)
{
    SpeciesSpec spec;
    spec.swimSpeed = 10;
    spec.turnRate = 75;
    spec.animSpeed = 1500;
    spec.swimFrames = 12;
    spec.secondFrames = 7;
    FISHDATA full;
    ASSERT_TRUE(LoadSpecies(spec, &full, 1.0f));
    EXPECT_FLOAT_EQ(full.swimSpeed, 10.0f);
    EXPECT_FLOAT_EQ(full.size, 1.0f);
    EXPECT_TRUE(full.turnRate == 75 && full.animSpeed == 1500 && full.swimFrames == 12 && full.secondFrames == 7)
        << full.turnRate << " " << full.animSpeed << " " << full.swimFrames << " " << full.secondFrames;

    FISHDATA half;
    ASSERT_TRUE(LoadSpecies(spec, &half, 0.5f));
    EXPECT_FLOAT_EQ(half.swimSpeed, 7.5f);
    EXPECT_FLOAT_EQ(half.size, 0.5f);
}

TEST_F(FishDataLoad, ExtentIsTheLargestScaledCoordinate)
{
    SpeciesSpec spec;
    spec.reach[0] = 3.5f;
    spec.reach[1] = 1.0f;
    spec.reach[2] = 3.0f;
    spec.tail = -4.25f;
    FISHDATA data;
    ASSERT_TRUE(LoadSpecies(spec, &data));
    EXPECT_FLOAT_EQ(data.extent, 4.25f);

    // Model scale 50 halves the model at size 1; size 0.5 takes another third off.
    spec.modelScale = 50;
    FISHDATA small;
    ASSERT_TRUE(LoadSpecies(spec, &small));
    EXPECT_FLOAT_EQ(small.extent, 2.125f);
    spec.modelScale = 100;
    FISHDATA smaller;
    ASSERT_TRUE(LoadSpecies(spec, &smaller, 0.5f));
    EXPECT_NEAR(smaller.extent, 4.25f * 2.0f / 3.0f, 1e-5);
}

TEST_F(FishDataLoad, JointNamesMatchExactly)
{
    SpeciesSpec spec;
    spec.extraJoints = {"EyeL", "eyer", "mouth", "eyel2"};
    FISHDATA data;
    ASSERT_TRUE(LoadSpecies(spec, &data));
    EXPECT_EQ(data.eyeLeftJoint, 0);  // "EyeL" and "eyel2" are not "eyel"
    EXPECT_EQ(data.eyeRightJoint, 2);
    EXPECT_EQ(data.mouthJoint, 3);

    spec.extraJoints = {"mouth", "eyer", "eyel"};
    FISHDATA named;
    ASSERT_TRUE(LoadSpecies(spec, &named));
    EXPECT_EQ(named.eyeLeftJoint, 3);
    EXPECT_EQ(named.eyeRightJoint, 2);
    EXPECT_EQ(named.mouthJoint, 1);
}

TEST_F(FishDataLoad, PrototypeHoldsTheSpeciesGeometry)
{
    SpeciesSpec spec;
    spec.skins = 1;
    FISHDATA data;
    ASSERT_TRUE(LoadSpecies(spec, &data));
    ASSERT_NE(data.prototype, nullptr);
    const ONEFISH* p = data.prototype;
    EXPECT_EQ(p->numGroups, 1);
    EXPECT_EQ(p->numTriangles, 8 + 3);
    EXPECT_GT(p->numVertices, 0);
    ASSERT_EQ(p->numMaterials, 1);
    EXPECT_EQ(p->materials[0].texture, data.textures[0].texID);
    ASSERT_NE(data.animTemplate, nullptr);
    EXPECT_EQ(data.animTemplate->numJoints, 4);
}

TEST_F(FishDataLoad, LoadDataOnceAndDropIncompleteSpecies)
{
    SpeciesSpec spec;
    ASSERT_TRUE(fishtest::WriteSpecies(dir / "good.fish", spec));
    FISHINFO good;
    snprintf(good.fileName, sizeof good.fileName, "good.fish");
    std::string folder = dir.path() + "/";
    ASSERT_TRUE(good.LoadData(folder.c_str(), 1.0f));
    ASSERT_NE(good.data, nullptr);
    EXPECT_TRUE(good.loaded);
    // Loaded once: the archive is not opened again.
    std::remove((dir / "good.fish").c_str());
    FISHDATA* before = good.data;
    EXPECT_TRUE(good.LoadData(folder.c_str(), 1.0f));
    EXPECT_EQ(good.data, before);

    // A model lump that is not a model: the archive opens, the species does not load.
    std::vector<uint8_t> junk(64, 0x5a);
    ASSERT_TRUE(reefpack::WriteBytes(dir / "junk.fish", fishtest::BuildSpecies(spec, junk)));
    FISHINFO bad;
    snprintf(bad.fileName, sizeof bad.fileName, "junk.fish");
    EXPECT_FALSE(bad.LoadData(folder.c_str(), 1.0f));
    EXPECT_EQ(bad.data, nullptr);
    EXPECT_TRUE(bad.loaded);
    EXPECT_FALSE(bad.LoadData(folder.c_str(), 1.0f));

    // An archive that is gone: not loaded, may be tried again.
    FISHINFO missing;
    snprintf(missing.fileName, sizeof missing.fileName, "gone.fish");
    EXPECT_FALSE(missing.LoadData(folder.c_str(), 1.0f));
    EXPECT_FALSE(missing.loaded);
    EXPECT_EQ(missing.data, nullptr);
}

}  // namespace
