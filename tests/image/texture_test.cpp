// TGA decoding (both types and depths, every rejection, the content kit's encoder) and
// texture building in the headless GL context: alpha modes, masks, the resource set.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "LumpWriter.h"
#include "TgaWriter.h"
#include "image/TGALoader.h"
#include "test_support.h"

using testsupport::ReadTexture;

namespace {

std::vector<uint8_t> Header(uint8_t type, int width, int height, int bpp) {
    auto lo = [](int v) { return static_cast<uint8_t>(v & 255); };
    auto hi = [](int v) { return static_cast<uint8_t>(v >> 8); };
    return {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, lo(width), hi(width), lo(height), hi(height), lo(bpp), 0};
}

std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Decoded {
    bool ok = false;
    std::string err;
    Texture tex;
};

Decoded Decode(const std::vector<uint8_t>& bytes) {
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    Decoded d;
    testing::internal::CaptureStderr();
    d.ok = LoadTGA2(&d.tex, &in);
    d.err = testing::internal::GetCapturedStderr();
    return d;
}

std::vector<uint8_t> Pixels(const Texture& t) {
    if (!t.imageData) return {};
    return std::vector<uint8_t>(t.imageData, t.imageData + t.width * t.height * (t.bpp / 8));
}
// A texture holding `px`, not yet uploaded, as the TGA loader leaves it.
Texture Filled(int w, int h, int bpp, const std::vector<uint8_t>& px) {
    return Decode(reefpack::EncodeTGA(px, w, h, bpp, false)).tex;
}

class TextureTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ctx.Create(16, 16)); }
    EGLCONTEXT ctx;
};

}  // namespace

// Blue and red swapped, file order whatever the origin bit, packets crossing rows.
TEST(Tga, DecodesBothTypesAndDepths) {
    std::vector<uint8_t> topLeft = Header(2, 1, 2, 32);
    topLeft[17] = 0x28;
    const struct {
        std::vector<uint8_t> bytes, pixels;
    } cases[] = {
        {Cat(Header(2, 2, 2, 24), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}},
        {Cat(topLeft, {10, 20, 30, 40, 50, 60, 70, 80}), {30, 20, 10, 40, 70, 60, 50, 80}},
        {Cat(Header(10, 2, 2, 24), {0x83, 1, 2, 3}), {3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1}},
        {Cat(Header(10, 3, 2, 24), {0x03, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 0x81, 5, 5, 5}),
         {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 5, 5, 5}},
    };
    for (const auto& c : cases) {
        const Decoded d = Decode(c.bytes);
        ASSERT_TRUE(d.ok) << d.err;
        EXPECT_EQ(d.err, "");
        EXPECT_EQ(d.tex.type, static_cast<uint32_t>(d.tex.bpp == 32 ? GL_RGBA : GL_RGB));
        EXPECT_EQ(Pixels(d.tex), c.pixels);
    }
}

TEST(Tga, RejectionsCarryTheirMessages) {
    struct Case {
        std::vector<uint8_t> bytes;
        const char* message;
    };
    std::vector<uint8_t> idLength = Header(2, 1, 1, 24);
    idLength[0] = 1;
    std::vector<uint8_t> origin = Header(2, 1, 1, 24);
    origin[10] = 1;
    const Case cases[] = {
        {{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0}, "reefmere: ERROR: Could not read file header\n"},
        {Cat(idLength, {1, 2, 3, 4}), "reefmere: Invalid Image: TGA file be type 2 or type 10 \n"},
        {Cat(origin, {1, 2, 3}), "reefmere: Invalid Image: TGA file be type 2 or type 10 \n"},
        {Cat(Header(3, 1, 1, 8), {1}), "reefmere: Invalid Image: TGA file be type 2 or type 10 \n"},
        {{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1}, "reefmere: ERROR: Could not read info header\n"},
        {Cat(Header(2, 1, 1, 16), {1, 2}), "reefmere: ERROR: Invalid texture information\n"},
        {Cat(Header(2, 0, 4, 24), {1, 2, 3}), "reefmere: ERROR: Invalid texture information\n"},
        {Cat(Header(2, 4, 0, 24), {1, 2, 3}), "reefmere: ERROR: Invalid texture information\n"},
        {Cat(Header(2, 2, 2, 24), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}), "reefmere: ERROR: Could not read image data\n"},
        {Cat(Header(10, 2, 2, 24), {0x81, 1, 2, 3}), "reefmere: ERROR: Could not read RLE header\n"},
        {Cat(Header(10, 2, 2, 24), {0x01, 1, 2, 3, 4, 5}), "reefmere: ERROR: Could not read image data\n"},
        {Cat(Header(10, 2, 2, 24), {0x01, 1, 2, 3, 4, 5, 6, 0x81, 7}), "reefmere: ERROR: Could not read from file\n"},
        {Cat(Header(10, 2, 2, 24), {0x82, 1, 2, 3, 0x81, 4, 5, 6}), "reefmere: ERROR: Too many pixels read\n"},
        // Claiming more pixels than the bytes hold, or than the limit: refused unallocated.
        {Cat(Header(2, 4096, 4096, 32), {1, 2, 3, 4}), "reefmere: ERROR: Could not read image data\n"},
        {Cat(Header(10, 4096, 4096, 32), {0xFF, 1, 2, 3, 4}), "reefmere: ERROR: Could not read image data\n"},
        {Cat(Header(10, 65535, 65535, 32), {0xFF, 1, 2, 3, 4}),
         "reefmere: ERROR: Texture of 65535 x 65535 pixels is larger than 4096 a side\n"},
    };
    for (const Case& c : cases) {
        const Decoded d = Decode(c.bytes);
        EXPECT_FALSE(d.ok);
        EXPECT_EQ(d.err, c.message);
        EXPECT_EQ(d.tex.imageData, nullptr);
    }
    // A missing or closed stream.
    Texture t;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadTGA2(&t, nullptr));
    std::ifstream closed;
    EXPECT_FALSE(LoadTGA2(&t, &closed));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "reefmere: ERROR: Could not open texture file\nreefmere: ERROR: Could not open texture file\n");
}

// Runs and noise, 300 pixels a row (past one 128-pixel packet), stream and file loader.
TEST(Tga, EncoderRoundTripsThroughBothLoaders) {
    testsupport::TempDir dir;
    for (int bpp : {24, 32})
        for (bool rle : {false, true}) {
            const int w = 300, h = 5, b = bpp / 8;
            std::vector<uint8_t> px(static_cast<size_t>(w) * h * b);
            srand(7);
            for (int i = 0; i < w * h; ++i)
                for (int c = 0; c < b; ++c) px[i * b + c] = (i % 50 < 30) ? static_cast<uint8_t>(c * 40) : rand() & 3;
            const Decoded d = Decode(reefpack::EncodeTGA(px, w, h, bpp, rle));
            ASSERT_TRUE(d.ok) << d.err;
            EXPECT_EQ(Pixels(d.tex), px) << bpp << " " << rle;
            ASSERT_TRUE(reefpack::WriteTGA(dir / "skin.tga", px.data(), w, h, bpp, rle));
            Texture f;
            ASSERT_TRUE(LoadTGA(&f, (dir / "skin.tga").c_str()));
            EXPECT_EQ(Pixels(f), px);
        }
}

TEST(Tga, SkinHeadersClaimingMoreThanTheLimitAreRefused) {
    struct Case {
        int type, w, h;
        uint32_t limit;
        bool ok;
    } cases[] = {{2, 1024, 1024, kSkinMaxSide, true},
                 {2, 1025, 4, kSkinMaxSide, false},
                 {10, 4, 2048, kSkinMaxSide, false},
                 {10, 4096, 2, kTgaMaxSide, true}};
    for (const Case& c : cases) {
        size_t pixels = static_cast<size_t>(c.w) * c.h;
        // Enough run-length packets (128 pixels each) or raw pixels to fill the image.
        std::vector<uint8_t> bytes = Header(c.type, c.w, c.h, 32);
        if (c.type == 2) bytes.resize(bytes.size() + pixels * 4, 0xff);
        if (c.type == 10)
            for (size_t p = 0; p < pixels; p += 128) bytes.insert(bytes.end(), {0xff, 1, 2, 3, 4});
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        Texture t;
        EXPECT_EQ(LoadTGA2(&t, &in, c.limit), c.ok) << c.w << " x " << c.h;
    }
}

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
        Texture t = Filled(c.w, 1, c.bpp, c.px);
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
    Texture skin = Filled(2, 1, 24, {1, 2, 3, 4, 5, 6}), mask = Filled(2, 1, 24, {128, 0, 0, 3, 200, 200});
    ASSERT_TRUE(BuildTGATextureWithAlpha(&skin, &mask));
    EXPECT_EQ(ReadTexture(skin.texID), (std::vector<uint8_t>{1, 2, 3, 128, 4, 5, 6, 3}));
    EXPECT_NE(mask.imageData, nullptr);  // the mask stays with its owner
    EXPECT_EQ(skin.imageData, nullptr);

    // A mask smaller than the skin, or of another depth, is refused without reading it.
    Texture big = Filled(4, 4, 24, std::vector<uint8_t>(48, 9)), small = Filled(2, 2, 24, std::vector<uint8_t>(12, 9)),
            deep = Filled(4, 4, 32, std::vector<uint8_t>(64, 9));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(BuildTGATextureWithAlpha(&big, &small));
    EXPECT_FALSE(BuildTGATextureWithAlpha(&big, &deep));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("alpha mask 2x2"), std::string::npos) << err;
    EXPECT_EQ(big.texID, 0u);
    EXPECT_NE(big.imageData, nullptr);

    // Both 32-bit: the mask's red byte at stride 4.
    Texture skin32 = Filled(2, 1, 32, {1, 2, 3, 0, 4, 5, 6, 0}), mask32 = Filled(2, 1, 32, {77, 0, 0, 0, 66, 0, 0, 0});
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
