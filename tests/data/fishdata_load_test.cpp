// Species loading as the aquarium does it (FISHINFO::LoadData).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "fish/FishData.h"
#include "fish/Fish.h"
#include "image/Texture.h"
#include "model/AnimTemplate.h"
#include "test_support.h"

using testsupport::SpeciesRecipe;

namespace {

class FishDataLoad : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gl.Create(16, 16)); }

    // The species as loaded from the folder; its data is null when it was left out.
    std::unique_ptr<FISHINFO> Load(const SpeciesRecipe& a, float size = 1.0f, const char* file = "s.fish",
                                   const std::vector<uint8_t>& model = {}) {
        EXPECT_TRUE(testsupport::WriteFile(dir / file, testsupport::BuildSpecies(a, model)));
        auto info = std::make_unique<FISHINFO>();
        std::snprintf(info->fileName, sizeof info->fileName, "%s", file);
        testing::internal::CaptureStderr();
        const bool loaded = info->LoadData((dir.path() + "/").c_str(), size);
        EXPECT_EQ(loaded, info->data != nullptr);
        err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(!info->data || info->data->Complete());
        return info;
    }

    static int FirstAlpha(const Texture& t) { return testsupport::ReadTexture(t.texID).at(3); }

    EGLCONTEXT gl;
    testsupport::TempDir dir;
    std::string err;
};

}  // namespace

TEST_F(FishDataLoad, SkinsMasksAndTooFewLumps) {
    // Without a mask skin k takes the mode of directory entry k, one ahead of its own:
    // entry 0 says colour key (every texel of a solid skin clear), skin 0's own says opaque.
    SpeciesRecipe a;
    a.skins = 3;
    a.modes = {1, 0, 0, 0};
    a.skinKinds = {1, 0, 1};  // a skin lump that is no image stays an empty slot
    auto plain = Load(a);
    ASSERT_NE(plain->data, nullptr) << err;
    const FISHDATA& d = *plain->data;
    ASSERT_EQ(d.numTextures, 3);
    EXPECT_EQ(FirstAlpha(d.textures[0]), 0);
    EXPECT_EQ(d.textures[1].texID, 0u);
    EXPECT_EQ(FirstAlpha(d.textures[2]), 255);

    a.mask = true;  // the mask's grey becomes every skin's alpha
    auto masked = Load(a);
    ASSERT_NE(masked->data, nullptr) << err;
    ASSERT_EQ(masked->data->numTextures, 3);
    EXPECT_EQ(masked->data->textures[1].texID, 0u);
    EXPECT_EQ(FirstAlpha(masked->data->textures[2]), 128);

    a.skins = 0;  // model and mask only
    EXPECT_EQ(Load(a)->data, nullptr);
    a.mask = false;  // the model alone
    EXPECT_EQ(Load(a)->data, nullptr);
    EXPECT_NE(err.find("left out"), std::string::npos) << err;
}

TEST_F(FishDataLoad, ParametersSizeExtentAndJoints) {
    SpeciesRecipe a;
    a.model = testsupport::SpeciesModel(a);
    a.turnRate = 75;
    a.animSpeed = 1500;
    auto full = Load(a, 1.0f, "full.fish");
    ASSERT_NE(full->data, nullptr) << err;
    const FISHDATA& d = *full->data;
    EXPECT_FLOAT_EQ(d.swimSpeed, 10.0f);
    EXPECT_TRUE(d.turnRate == 75 && d.animSpeed == 1500 && d.swimFrames == int(a.swimFrames) &&
                d.secondFrames == int(a.secondFrames));
    float far = 0;
    for (const auto& v : a.model->vertices)
        for (float c : v.position) far = std::max(far, std::fabs(c));
    EXPECT_FLOAT_EQ(d.extent, far);

    // Size 0.5 takes a third off the model and a quarter off the speed; model scale 50
    // halves the model.
    auto half = Load(a, 0.5f, "half.fish");
    EXPECT_FLOAT_EQ(half->data->swimSpeed, 7.5f);
    EXPECT_NEAR(half->data->extent, far * 2 / 3, 1e-4);
    a.modelScale = 50;
    EXPECT_NEAR(Load(a, 1.0f, "small.fish")->data->extent, far / 2, 1e-4);

    // Joint names match exactly, a later match winning.
    const int eyel = 1, eyer = 2;  // after "body", in the recipe's order
    EXPECT_TRUE(d.eyeLeftJoint == eyel && d.eyeRightJoint == eyer && d.mouthJoint == 3);
    a.model->joints[eyel].name = "EyeL";
    a.model->joints[eyer].name = "eyer2";
    a.model->AddJoint("mouth", "");
    auto renamed = Load(a, 1.0f, "renamed.fish");
    ASSERT_NE(renamed->data, nullptr) << err;
    EXPECT_EQ(renamed->data->eyeLeftJoint, 0);
    EXPECT_EQ(renamed->data->eyeRightJoint, 0);
    EXPECT_EQ(renamed->data->mouthJoint, int(a.model->joints.size()) - 1);
}

TEST_F(FishDataLoad, CyclesPastTheModelsLastFrameLeaveTheSpeciesOut) {
    SpeciesRecipe a;
    a.model = testsupport::SpeciesModel(a);
    const uint32_t fit = static_cast<uint32_t>(a.model->totalFrames) - 3 - a.swimFrames;
    const struct {
        uint32_t swim, rest;
        bool loads;
    } cases[] = {{a.swimFrames, fit, true},
                 {a.swimFrames, fit + 1, false},  // one frame short
                 {a.swimFrames + 1, fit, false},
                 {0xFFFFFFFF, fit, false},
                 {a.swimFrames, 0xFFFFFFFD, false}};
    for (const auto& c : cases) {
        a.swimFrames = c.swim;
        a.secondFrames = c.rest;
        EXPECT_EQ(Load(a)->data != nullptr, c.loads) << c.swim << " + " << c.rest << ": " << err;
    }
}

TEST_F(FishDataLoad, LoadedOnceAndFailuresLeftOut) {
    SpeciesRecipe a;
    auto good = Load(a, 1.0f, "good.fish");
    ASSERT_NE(good->data, nullptr) << err;
    const unsigned skin = good->data->prototype->materials[0].texture;
    EXPECT_TRUE(skin == good->data->textures[0].texID || skin == good->data->textures[1].texID);
    std::remove((dir / "good.fish").c_str());
    FISHDATA* before = good->data;
    EXPECT_TRUE(good->LoadData((dir.path() + "/").c_str(), 1.0f));  // not opened again
    EXPECT_EQ(good->data, before);

    // A model lump that is not a model: the archive opens, the species does not load,
    // and later calls do not try again.
    auto junk = Load(a, 1.0f, "junk.fish", std::vector<uint8_t>(64, 0x5a));
    EXPECT_TRUE(junk->data == nullptr && junk->loaded);
    EXPECT_FALSE(junk->LoadData((dir.path() + "/").c_str(), 1.0f));

    // An archive that is gone may be tried again.
    FISHINFO missing;
    std::snprintf(missing.fileName, sizeof missing.fileName, "gone.fish");
    EXPECT_FALSE(missing.LoadData((dir.path() + "/").c_str(), 1.0f));
    EXPECT_FALSE(missing.loaded);
}
