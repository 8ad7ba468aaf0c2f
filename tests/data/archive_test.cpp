// Lump archive readers against the content kit's archives and damaged copies, and species
// loading from them as the aquarium does it (FISHINFO::LoadData).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "LumpWriter.h"
#include "data/FishFile.h"
#include "data/ResFile.h"
#include "fish/Fish.h"
#include "fish/FishData.h"
#include "image/Texture.h"
#include "model/AnimTemplate.h"
#include "test_support.h"

using reefpack::PutU32;
using testsupport::SpeciesRecipe;
using Bytes = std::vector<uint8_t>;

namespace {

reefpack::LumpWriter ThreeLumps() {
    reefpack::LumpWriter w;
    w.AddLump({'m', 'o', 'd', 'e', 'l'}, 0, 0);
    w.AddLump({1, 2, 3}, 1, 2);
    w.AddLump({9, 8, 7, 6}, 1, 1);
    return w;
}

template <class Reader>
bool Opens(const Bytes& bytes) {
    testsupport::TempDir dir;
    EXPECT_TRUE(testsupport::WriteFile(dir / "a", bytes));
    Reader r;
    return r.Open((dir / "a").c_str());
}

class FishDataLoad : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gl.Create(16, 16)); }

    // The species as loaded from the folder; its data is null when it was left out.
    std::unique_ptr<FISHINFO> Load(const SpeciesRecipe& a, float size = 1.0f, const char* file = "s.fish",
                                   const Bytes& model = {}) {
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

TEST(Archive, HeaderAndLumpsReadBackAndSeeksRecover) {
    testsupport::TempDir dir;
    reefpack::FishInfo info;  // (the header fields: the fish data and pack tests)
    info.flags = 0x2;
    ASSERT_TRUE(ThreeLumps().WriteFish(dir / "a.fish", info));
    FISHFILE f;
    ASSERT_TRUE(f.Open((dir / "a.fish").c_str()));
    ASSERT_EQ(f.LumpCount(), 3);
    EXPECT_TRUE(f.lumps[1].kind == 1u && f.lumps[1].mode == 2u && f.lumps[2].mode == 1u);
    void* data = nullptr;
    ASSERT_TRUE(f.LoadData(0, &data));
    EXPECT_EQ(std::memcmp(data, "model", 5), 0);
    delete[] static_cast<uint8_t*>(data);
    // A loader that read past the end leaves the stream failed; the next seek recovers.
    char big[64], c = 0;
    ASSERT_TRUE(f.SeekLump(2));
    f.stream.read(big, sizeof big);
    ASSERT_TRUE(f.SeekLump(1));
    f.stream.read(&c, 1);
    EXPECT_EQ(c, 1);
    EXPECT_FALSE(f.SeekLump(3) || f.SeekLump(-1) || f.LoadData(3, &data));

    // A failed reopen leaves a closed reader.
    info.flags = 1;
    ASSERT_TRUE(ThreeLumps().WriteFish(dir / "bad.fish", info));
    EXPECT_FALSE(f.Open((dir / "bad.fish").c_str()));
    EXPECT_FALSE(f.lumps || f.stream.is_open() || f.SeekLump(0));
    EXPECT_FALSE(f.Open(nullptr) || f.Open((dir / "none").c_str()));

    reefpack::LumpWriter empty;
    ASSERT_TRUE(empty.WriteResource(dir / "z"));
    RESFILE r;
    ASSERT_TRUE(r.Open((dir / "z").c_str()));
    EXPECT_EQ(r.LumpCount(), 0);
    EXPECT_FALSE(r.SeekLump(0));
}

// Each damage names the archive it spoils and whether the reader must still open it.
TEST(Archive, EveryRecordMustLieInsideTheFile) {
    const Bytes fish = ThreeLumps().BuildFish({}), res = ThreeLumps().BuildResource();
    const uint32_t size = static_cast<uint32_t>(fish.size());
    const size_t count = offsetof(FISHHEADER, lumpCount), dir = offsetof(FISHHEADER, dirOffset);
    const size_t entry2 = 84 + 2 * 16;
    auto put = [](size_t at, uint32_t v) { return [=](Bytes& b) { PutU32(b, at, v); }; };
    auto version = [&](uint32_t major, uint32_t minor) {
        return put(offsetof(FISHHEADER, versionMinor), minor | major << 8);
    };
    auto lump2 = [&](uint32_t length, uint32_t offset) {
        return [=](Bytes& b) { PutU32(b, entry2, length), PutU32(b, entry2 + 4, offset); };
    };
    const struct {
        const char* what;
        bool isFish;
        std::function<void(Bytes&)> spoil;
        bool opens;
    } cases[] = {
        {"intact", true, [](Bytes&) {}, true},
        {"intact", false, [](Bytes&) {}, true},
        {"version 1.0", true, version(1, 0), true},
        {"version 1.1", true, version(1, 1), false},
        {"version 2.0", true, version(2, 0), false},
        {"version 0.255", true, version(0, 255), true},
        {"every flag but the first", true, put(offsetof(FISHHEADER, flags), 0xFFFFFFFE), true},
        {"the first flag", true, put(offsetof(FISHHEADER, flags), 3), false},
        {"one byte appended", true, [](Bytes& b) { b.push_back(0); }, false},
        {"bad magic", true, [](Bytes& b) { b[43] = 'h'; }, false},
        {"resource bytes 4..11 ignored", false, [](Bytes& b) { std::memset(&b[4], 0xA5, 8); }, true},
        {"shorter than a header", false, [](Bytes& b) { b.resize(20); }, false},
        {"fewer lumps", true, put(count, 2), true},
        {"a fourth entry past the end", true, put(count, 4), false},
        {"count * 16 wraps", true, put(count, 0x10000000), false},
        {"count * 28 wraps", false, put(offsetof(RESHEADER, lumpCount), 0x92492493), false},
        {"directory past the end", true, put(dir, size + 1), false},
        {"directory entries cut", true, put(dir, size - 47), false},
        {"directory in the header", true, put(dir, 0), false},
        {"resource directory in the header", false, put(offsetof(RESHEADER, dirOffset), 4), false},
        {"last four bytes", true, lump2(4, size - 4), true},
        {"empty lump at the end", true, lump2(0, size), true},
        {"one byte past the end", true, lump2(5, size - 4), false},
        {"length wraps", true, lump2(0xFFFFFFFF, 8), false},
        {"offset + length wraps", true, lump2(16, 0xFFFFFFF8), false},
        {"resource lump too long", false, put(24 + 28, 0x7FFFFFFF), false},
    };
    for (const auto& c : cases) {
        Bytes b = c.isFish ? fish : res;
        c.spoil(b);
        if (std::string(c.what) != "one byte appended") reefpack::FixSizeCheck(b, c.isFish);
        const bool fishOpens = Opens<FISHFILE>(b), resOpens = Opens<RESFILE>(b);
        EXPECT_EQ(c.isFish ? fishOpens : resOpens, c.opens) << c.what;
        EXPECT_FALSE(c.isFish ? resOpens : fishOpens) << c.what << ": opened as the other kind";
    }
}

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
    auto joints = [](const FISHDATA& j) { return std::vector<int>{j.eyeLeftJoint, j.eyeRightJoint, j.mouthJoint}; };
    EXPECT_EQ(joints(d), (std::vector<int>{1, 2, 3}));  // after "body", in the recipe's order
    a.model->joints[1].name = "EyeL";
    a.model->joints[2].name = "eyer2";
    a.model->AddJoint("mouth", "");
    auto renamed = Load(a, 1.0f, "renamed.fish");
    ASSERT_NE(renamed->data, nullptr) << err;
    EXPECT_EQ(joints(*renamed->data), (std::vector<int>{0, 0, int(a.model->joints.size()) - 1}));
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
