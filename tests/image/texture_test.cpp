// Texture building in the headless GL context: alpha modes, masks, the resource set.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

#include "LumpWriter.h"
#include "TgaWriter.h"
#include "image/Texture.h"
#include "test_support.h"

using testsupport::ReadTexture;

namespace {

void Fill(Texture* t, int w, int h, int bpp, const std::vector<uint8_t>& px) {
    t->imageData = static_cast<uint8_t*>(malloc(px.size()));
    std::memcpy(t->imageData, px.data(), px.size());
    t->width = w;
    t->height = h;
    t->bpp = bpp;
    t->type = bpp == 32 ? GL_RGBA : GL_RGB;
}

class TextureTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ctx.Create(16, 16)); }
    EGLCONTEXT ctx;
};

}  // namespace

TEST_F(TextureTest, ModesSetAlpha) {
    const struct {
        const char* what;
        int w, bpp, mode;
        std::vector<uint8_t> px, rgba;
    } cases[] = {
        // Mode 1: the first pixel's colour is the key.
        {"colour key", 3, 24, 1, {10, 20, 30, 10, 20, 31, 10, 20, 30}, {10, 20, 30, 0, 10, 20, 31, 255, 10, 20, 30, 0}},
        {"colour key, 32 bits", 2, 32, 1, {7, 7, 7, 99, 7, 7, 7, 1}, {7, 7, 7, 0, 7, 7, 7, 0}},
        {"brightest channel", 2, 24, 2, {200, 50, 90, 3, 9, 4}, {200, 50, 90, 200, 3, 9, 4, 9}},
        {"opaque", 2, 32, 0, {1, 2, 3, 0, 4, 5, 6, 0}, {1, 2, 3, 255, 4, 5, 6, 255}},
        {"unknown mode: opaque", 2, 32, 7, {1, 2, 3, 0, 4, 5, 6, 0}, {1, 2, 3, 255, 4, 5, 6, 255}},
    };
    for (const auto& c : cases) {
        Texture t;
        Fill(&t, c.w, 1, c.bpp, c.px);
        ASSERT_TRUE(BuildTexture(&t, c.mode)) << c.what;
        EXPECT_EQ(t.imageData, nullptr);
        EXPECT_EQ(ReadTexture(t.texID), c.rgba) << c.what;
        GLuint name = t.texID;
        t.Destroy();  // releases the GL name; repeating does nothing
        EXPECT_FALSE(t.texID || glIsTexture(name));
        t.Destroy();
    }
    Texture empty;
    EXPECT_FALSE(BuildTexture(&empty, 0));
    EXPECT_EQ(empty.texID, 0u);
}

TEST_F(TextureTest, AlphaMask) {
    Texture skin, mask;
    Fill(&skin, 2, 1, 24, {1, 2, 3, 4, 5, 6});
    Fill(&mask, 2, 1, 24, {128, 0, 0, 3, 200, 200});
    ASSERT_TRUE(BuildTGATextureWithAlpha(&skin, &mask));
    EXPECT_EQ(ReadTexture(skin.texID), (std::vector<uint8_t>{1, 2, 3, 128, 4, 5, 6, 3}));
    EXPECT_NE(mask.imageData, nullptr);  // the mask stays with its owner
    EXPECT_EQ(skin.imageData, nullptr);

    // A mask smaller than the skin, or of another depth, is refused without reading it.
    Texture big, small, deep;
    Fill(&big, 4, 4, 24, std::vector<uint8_t>(48, 9));
    Fill(&small, 2, 2, 24, std::vector<uint8_t>(12, 9));
    Fill(&deep, 4, 4, 32, std::vector<uint8_t>(64, 9));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(BuildTGATextureWithAlpha(&big, &small));
    EXPECT_FALSE(BuildTGATextureWithAlpha(&big, &deep));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("alpha mask 2x2"), std::string::npos) << err;
    EXPECT_EQ(big.texID, 0u);
    EXPECT_NE(big.imageData, nullptr);

    // Both 32-bit: the mask's red byte at stride 4.
    Texture skin32, mask32;
    Fill(&skin32, 2, 1, 32, {1, 2, 3, 0, 4, 5, 6, 0});
    Fill(&mask32, 2, 1, 32, {77, 0, 0, 0, 66, 0, 0, 0});
    ASSERT_TRUE(BuildTGATextureWithAlpha(&skin32, &mask32));
    std::vector<uint8_t> px = ReadTexture(skin32.texID);
    EXPECT_TRUE(px[3] == 77 && px[7] == 66);
}

TEST_F(TextureTest, ResourceArchiveFillsSlotsByLumpNumber) {
    testsupport::TempDir dir;
    reefpack::LumpWriter w;
    // Slot k holds a 2 x 1 image whose colour is k * 10, except slot 2 (kind 0).
    for (int k = 0; k < 5; ++k) {
        const uint8_t v = static_cast<uint8_t>(k * 10 + 5);
        std::vector<uint8_t> px = {v, v, v, v, 1, 2};
        w.AddLump(reefpack::EncodeTGA(px, 2, 1, 24, k % 2 == 1), k == 2 ? 0 : 1, k == 4 ? 1 : 0);
    }
    const std::string path = dir / "kelpish.tidewares";
    ASSERT_TRUE(w.WriteResource(path));

    Texture* textures = nullptr;
    int count = 0;
    ASSERT_TRUE(LoadTexturesFromDataFile(path.c_str(), &textures, &count));
    ASSERT_EQ(count, 5);
    EXPECT_EQ(textures[2].texID, 0u);
    for (int k : {0, 1, 3, 4}) {
        ASSERT_NE(textures[k].texID, 0u) << k;
        EXPECT_EQ(textures[k].imageData, nullptr);
        std::vector<uint8_t> got = ReadTexture(textures[k].texID);
        EXPECT_EQ(got[0], k * 10 + 5) << k;
        EXPECT_EQ(got[3], k == 4 ? 0 : 255) << k;  // lump 4 is colour-keyed
    }
    delete[] textures;

    // A lump that does not decode: false; the array handed out is still ours to free.
    reefpack::LumpWriter bad;
    bad.AddLump(reefpack::EncodeTGA(std::vector<uint8_t>{1, 2, 3}, 1, 1, 24, false), 1);
    bad.AddLump({0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 8, 0, 1}, 1);
    ASSERT_TRUE(bad.WriteResource(path));
    textures = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadTexturesFromDataFile(path.c_str(), &textures, &count));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("TGA file be type 2 or type 10"), std::string::npos) << err;
    ASSERT_NE(textures, nullptr);
    EXPECT_EQ(count, 2);
    EXPECT_NE(textures[0].texID, 0u);
    delete[] textures;

    testing::internal::CaptureStderr();
    textures = nullptr;
    EXPECT_FALSE(LoadTexturesFromDataFile((dir / "missing").c_str(), &textures, &count));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not a readable resource archive"), std::string::npos);
    EXPECT_EQ(textures, nullptr);
}
