// Background pictures: folder scans, the uniform random choice, texture sizing, and
// decoded pictures landing upside down in the uploaded texture.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "image/Pics.h"
#include "image/TextureSizing.h"
#include "image_fixtures.h"
#include "test_support.h"

extern "C" unsigned char* stbi_zlib_compress(unsigned char* data, int data_len, int* out_len, int quality);
extern "C" int stbi_write_png(const char* filename, int w, int h, int comp, const void* data, int stride_in_bytes);

using imagetest::ReadTexture;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

uint32_t Crc32(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

void Chunk(std::vector<uint8_t>* png, const char* type, const std::vector<uint8_t>& data) {
    auto be32 = [png](uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) png->push_back(static_cast<uint8_t>(v >> s));
    };
    be32(static_cast<uint32_t>(data.size()));
    const size_t start = png->size();
    png->insert(png->end(), type, type + 4);
    png->insert(png->end(), data.begin(), data.end());
    be32(Crc32(png->data() + start, png->size() - start));
}

// A 16-bit greyscale PNG (colour type 0, depth 16); samples top row first.
std::vector<uint8_t> Grey16Png(int w, int h, const std::vector<uint16_t>& samples) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < w; ++x) {
            raw.push_back(static_cast<uint8_t>(samples[y * w + x] >> 8));
            raw.push_back(static_cast<uint8_t>(samples[y * w + x] & 255));
        }
    }
    int zlen = 0;
    unsigned char* z = stbi_zlib_compress(raw.data(), static_cast<int>(raw.size()), &zlen, 8);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Chunk(&png, "IHDR", {0, 0, 0, static_cast<uint8_t>(w), 0, 0, 0, static_cast<uint8_t>(h), 16, 0, 0, 0, 0});
    Chunk(&png, "IDAT", std::vector<uint8_t>(z, z + zlen));
    Chunk(&png, "IEND", {});
    free(z);
    return png;
}

}  // namespace

TEST(Pics, SuffixesAreCaseSensitive) {
    TempDir dir;
    WriteFile(dir / "Photo.JPG", "x");
    WriteFile(dir / ".jpg", "x");  // not longer than the suffix
    WriteFile(dir / "a.jpg.txt", "x");
    EXPECT_EQ(CountFiles(dir.path().c_str(), ".jpg"), 0);
    char name[kPicNameMax + 1];
    EXPECT_FALSE(ChooseRandomImageFile(dir.path().c_str(), name));
    EXPECT_EQ(CountFiles((dir / "missing").c_str(), ".jpg"), 0);
    WriteFile(dir / "b.jpg", "x");
    EXPECT_EQ(CountFiles(dir.path().c_str(), ".jpg"), 1);
    ASSERT_TRUE(FindNthFile(dir.path().c_str(), name, ".jpg", 0));
    EXPECT_STREQ(name, "b.jpg");
    EXPECT_FALSE(FindNthFile(dir.path().c_str(), name, ".jpg", 1));
    EXPECT_FALSE(FindNthFile(dir.path().c_str(), name, ".jpg", -1));
    Texture t;
    EXPECT_FALSE(LoadPicture((dir / "missing").c_str(), &t, 0));
}

TEST(Pics, EveryPictureEquallyLikelyWhateverItsType) {
    TempDir dir;
    for (const char* n : {"one.jpg", "two.jpg", "three.jpg", "four.png", "notes.txt"}) WriteFile(dir / n, "x");
    srand(12345);
    std::map<std::string, int> hits;
    const int draws = 8000;
    char name[kPicNameMax + 1];
    for (int i = 0; i < draws; ++i) {
        ASSERT_TRUE(ChooseRandomImageFile(dir.path().c_str(), name));
        ++hits[name];
    }
    ASSERT_EQ(hits.size(), 4u);
    // Binomial(8000, 1/4): standard deviation about 39; 5 sigma either side.
    for (auto& h : hits) EXPECT_NEAR(h.second, draws / 4, 200) << h.first;
}

TEST(Pics, TextureSizes) {
    // Nearest power of two, rounding down up to x 1.414.
    for (auto c : {std::pair<int, int>{800, 1024}, {700, 512}, {1448, 1024}, {1449, 2048}, {1, 1}, {0, 1}})
        EXPECT_EQ(NearestPowerOfTwo(c.first), c.second) << c.first;
    // Pictures: 1440 x 900 in mode 2 is 1024 x 1024; modes 0 and 1 are fixed; the GL
    // maximum limits the rest.
    EXPECT_EQ(PictureTextureSide(1440, 2, 16384), 1024);
    EXPECT_EQ(PictureTextureSide(900, 2, 16384), 1024);
    EXPECT_EQ(PictureTextureSide(5000, 2, 2048), 2048);
    EXPECT_EQ(PictureTextureSide(5000, 0, 2048), 512);
    EXPECT_EQ(PictureTextureSide(3, 1, 2048), 1024);
    // Captures: {width, height, mode, GL maximum} -> texture width x height.
    const struct {
        int w, h, mode, max, tw, th;
    } captures[] = {{1440, 900, 2, 2048, 1024, 1024},
                    {1680, 1050, 2, 4096, 2048, 1024},
                    {1680, 1050, 1, 4096, 1024, 1024},
                    {1680, 1050, 0, 4096, 512, 512}};
    for (const auto& c : captures) {
        int tw = 0, th = 0;
        CaptureTextureSize(c.w, c.h, c.mode, c.max, &tw, &th);
        EXPECT_TRUE(tw == c.tw && th == c.th) << c.w << "x" << c.h << " mode " << c.mode << ": " << tw << "x" << th;
    }
}

TEST(Pics, ResampleFlipsAndSamplesNearest) {
    // 3 x 2 picture, top row first: A B C / D E F (one byte tags, RGB equal).
    const unsigned char pic[] = {'A', 'A', 'A', 'B', 'B', 'B', 'C', 'C', 'C', 'D', 'D', 'D', 'E', 'E', 'E', 'F', 'F', 'F'};
    unsigned char out[4 * 4 * 3];
    ResamplePicture(pic, 3, 2, 3, out, 4, 4);
    // Texture row 3 (last) comes from picture row 0; columns floor(x * 0.75): 0,0,1,2.
    const char* rows[4] = {"DDEF", "DDEF", "AABC", "AABC"};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(out[(y * 4 + x) * 3], rows[y][x]) << x << "," << y;
}

TEST(Pics, LoadedPictureLandsUpsideDownInTheTexture) {
    EglContext ctx;
    ASSERT_TRUE(ctx.Create(16, 16));
    TempDir dir;
    // 4 x 2 RGBA PNG: top-left red, everything else blue, half transparent.
    std::vector<uint8_t> rgba(4 * 2 * 4);
    for (int i = 0; i < 8; ++i) {
        rgba[i * 4 + 2] = 255;
        rgba[i * 4 + 3] = 128;
    }
    rgba[0] = 255;
    rgba[2] = 0;
    ASSERT_TRUE(testsupport::WritePNG(dir / "pic.png", rgba, 4, 2));
    Texture t;
    ASSERT_TRUE(loadPicFile((dir / "pic.png").c_str(), &t, 2));
    EXPECT_EQ(t.width, 4u);
    EXPECT_EQ(t.height, 2u);
    EXPECT_EQ(t.imageData, nullptr);
    int w = 0, h = 0;
    std::vector<uint8_t> tex = ReadTexture(t.texID, &w, &h);
    ASSERT_EQ(w, 4);
    ASSERT_EQ(h, 2);
    const uint8_t* lastRowFirst = &tex[(1 * 4 + 0) * 4];
    EXPECT_EQ(lastRowFirst[0], 255);
    EXPECT_EQ(lastRowFirst[2], 0);
    EXPECT_EQ(lastRowFirst[3], 255);  // opaque
    EXPECT_EQ(tex[2], 255);           // first row: blue
    EXPECT_EQ(tex[0], 0);

    // Mode 0: always 512 x 512, width/height still the picture's.
    Texture small;
    ASSERT_TRUE(loadPicFile((dir / "pic.png").c_str(), &small, 0));
    ReadTexture(small.texID, &w, &h);
    EXPECT_EQ(w, 512);
    EXPECT_EQ(h, 512);
    EXPECT_EQ(small.width, 4u);

    // Through LoadPicture with a folder path without its final "/".
    Texture picked;
    ASSERT_TRUE(LoadPicture(dir.path().c_str(), &picked, 1));
    EXPECT_NE(picked.texID, 0u);
}

TEST(Pics, GreyscaleAndSixteenBitPicturesLoad) {
    EglContext ctx;
    ASSERT_TRUE(ctx.Create(16, 16));
    TempDir dir;
    // 8-bit grey and grey + alpha.
    const uint8_t grey[4] = {10, 20, 30, 40};
    ASSERT_TRUE(stbi_write_png((dir / "g.png").c_str(), 2, 2, 1, grey, 2));
    const uint8_t greyAlpha[8] = {50, 0, 60, 0, 70, 0, 80, 0};
    ASSERT_TRUE(stbi_write_png((dir / "ga.png").c_str(), 2, 2, 2, greyAlpha, 4));
    // 16-bit grey: samples 0x1234 etc., 8-bit results are the high bytes.
    ASSERT_TRUE(WriteFile(dir / "g16.png", Grey16Png(2, 2, {0xFF00, 0x0100, 0x8080, 0x4000})));
    struct Case {
        const char* file;
        uint8_t topLeft, bottomRight;
    } cases[] = {{"g.png", 10, 40}, {"ga.png", 50, 80}, {"g16.png", 0xFF, 0x40}};
    for (const Case& c : cases) {
        Texture t;
        ASSERT_TRUE(loadPicFile((dir / c.file).c_str(), &t, 2)) << c.file;
        int w = 0, h = 0;
        std::vector<uint8_t> tex = ReadTexture(t.texID, &w, &h);
        ASSERT_EQ(w * h, 4);
        // Picture top-left -> texture last row, first column; bottom-right -> first row, last column.
        EXPECT_EQ(tex[(2 + 0) * 4], c.topLeft) << c.file;
        EXPECT_EQ(tex[(2 + 0) * 4 + 1], c.topLeft) << c.file;
        EXPECT_EQ(tex[1 * 4 + 2], c.bottomRight) << c.file;
    }
    // A header claiming 20000 x 20000 pixels is refused before decoding.
    std::vector<uint8_t> huge = Grey16Png(2, 2, {1, 2, 3, 4});
    huge[16] = 0; huge[17] = 0; huge[18] = 0x4E; huge[19] = 0x20;  // width 20000
    huge[20] = 0; huge[21] = 0; huge[22] = 0x4E; huge[23] = 0x20;  // height 20000
    WriteFile(dir / "huge.png", huge);
    Texture big;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(loadPicFile((dir / "huge.png").c_str(), &big, 2));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("20000 x 20000 pixels is larger"), std::string::npos);
    // Files that do not decode.
    WriteFile(dir / "broken.png", "\x89PNG\r\n\x1a\n garbage");
    Texture t;
    EXPECT_FALSE(loadPicFile((dir / "broken.png").c_str(), &t, 2));
    EXPECT_FALSE(loadPicFile((dir / "none.png").c_str(), &t, 2));
    EXPECT_EQ(t.texID, 0u);
}

TEST(Pics, CaptureTextureRejectsAllBlack) {
    EglContext ctx;
    ASSERT_TRUE(ctx.Create(16, 16));
    std::vector<uint8_t> black(40 * 30 * 4, 0);
    for (size_t i = 3; i < black.size(); i += 4) black[i] = 255;  // alpha does not count
    uint32_t name = 0;
    EXPECT_FALSE(TextureFromCapture(black.data(), 40, 30, 2, 2048, &name));
    EXPECT_EQ(name, 0u);

    std::vector<uint8_t> lit = black;
    for (size_t i = 0; i < lit.size(); i += 4) lit[i + 1] = 200;
    ASSERT_TRUE(TextureFromCapture(lit.data(), 40, 30, 2, 2048, &name));
    ASSERT_NE(name, 0u);
    int w = 0, h = 0;
    std::vector<uint8_t> tex = ReadTexture(name, &w, &h);
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 32);
    EXPECT_EQ(tex[1], 200);
    // Detail 0 caps at 512 even for a large capture; the existing name is reused.
    std::vector<uint8_t> wide(1200 * 8 * 4, 90);
    const uint32_t before = name;
    ASSERT_TRUE(TextureFromCapture(wide.data(), 1200, 8, 0, 2048, &name));
    EXPECT_EQ(name, before);
    ReadTexture(name, &w, &h);
    EXPECT_EQ(w, 512);
    EXPECT_EQ(h, 8);
    GLuint n = name;
    glDeleteTextures(1, &n);
}
