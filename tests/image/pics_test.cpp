// Background pictures: folder scans, the uniform random choice, texture sizing, and
// decoded pictures and captures landing upside down in the uploaded texture.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <map>

#include "image/Pics.h"
#include "image/TextureSizing.h"
#include "image_fixtures.h"
#include "test_support.h"

extern "C" int stbi_write_png(const char* filename, int w, int h, int comp, const void* data, int stride_in_bytes);

using imagetest::ReadTexture;
using testsupport::TempDir;
using testsupport::WriteFile;

TEST(Pics, FolderScansAndTheRandomChoice) {
    TempDir dir;
    for (const char* n : {"Photo.JPG", ".jpg", "a.jpg.txt"}) WriteFile(dir / n, "x");  // none of them counts
    char name[kPicNameMax + 1];
    EXPECT_EQ(CountFiles(dir.path().c_str(), ".jpg"), 0);
    EXPECT_FALSE(ChooseRandomImageFile(dir.path().c_str(), name));
    EXPECT_EQ(CountFiles((dir / "missing").c_str(), ".jpg"), 0);
    WriteFile(dir / "b.jpg", "x");
    ASSERT_TRUE(FindNthFile(dir.path().c_str(), name, ".jpg", 0));
    EXPECT_STREQ(name, "b.jpg");
    EXPECT_FALSE(FindNthFile(dir.path().c_str(), name, ".jpg", 1) || FindNthFile(dir.path().c_str(), name, ".jpg", -1));

    // Every picture equally likely whatever its type: Binomial(8000, 1/4), 5 sigma.
    for (const char* n : {"c.jpg", "d.jpg", "e.png", "notes.txt"}) WriteFile(dir / n, "x");
    std::remove((dir / "Photo.JPG").c_str());
    srand(12345);
    std::map<std::string, int> hits;
    for (int i = 0; i < 8000; ++i) {
        ASSERT_TRUE(ChooseRandomImageFile(dir.path().c_str(), name));
        ++hits[name];
    }
    ASSERT_EQ(hits.size(), 4u);
    for (auto& h : hits) EXPECT_NEAR(h.second, 2000, 200) << h.first;
}

TEST(Pics, TextureSizesAndResampling) {
    // Nearest power of two, rounding down up to x 1.414.
    for (auto c : {std::pair<int, int>{800, 1024}, {700, 512}, {1448, 1024}, {1449, 2048}, {0, 1}})
        EXPECT_EQ(NearestPowerOfTwo(c.first), c.second) << c.first;
    const struct {
        int w, h, mode, max, tw, th;
    } sizes[] = {{1440, 900, 2, 2048, 1024, 1024}, {1680, 1050, 2, 4096, 2048, 1024}, {5000, 5000, 2, 2048, 2048, 2048},
                 {1680, 1050, 1, 4096, 1024, 1024}, {1680, 1050, 0, 4096, 512, 512},   {3, 3, 2, 2048, 4, 4}};
    for (const auto& c : sizes) {
        int tw = 0, th = 0;
        CaptureTextureSize(c.w, c.h, c.mode, c.max, &tw, &th);
        EXPECT_TRUE(tw == c.tw && th == c.th) << c.w << "x" << c.h << " mode " << c.mode << ": " << tw << "x" << th;
        EXPECT_EQ(PictureTextureSide(c.w, c.mode, c.max), c.tw) << c.w << " mode " << c.mode;
    }
    // 3 x 2 picture, top row first: A B C / D E F; columns floor(x * 0.75), rows flipped.
    const unsigned char pic[] = {'A', 'A', 'A', 'B', 'B', 'B', 'C', 'C', 'C', 'D', 'D', 'D', 'E', 'E', 'E', 'F', 'F', 'F'};
    unsigned char out[4 * 4 * 3];
    ResamplePicture(pic, 3, 2, 3, out, 4, 4);
    const char* rows[4] = {"DDEF", "DDEF", "AABC", "AABC"};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(out[(y * 4 + x) * 3], rows[y][x]) << x << "," << y;
}

TEST(Pics, PicturesAndCapturesLandUpsideDownAndOpaque) {
    EglContext ctx;
    ASSERT_TRUE(ctx.Create(16, 16));
    TempDir dir;
    // 2 x 2 pictures, top row first: RGBA half transparent, grey, grey + alpha.
    const uint8_t rgba[16] = {255, 0, 0, 128, 0, 0, 255, 128, 0, 0, 255, 128, 0, 40, 77, 128};
    const uint8_t grey[4] = {10, 20, 30, 40}, greyAlpha[8] = {50, 0, 60, 0, 70, 0, 80, 0};
    ASSERT_TRUE(stbi_write_png((dir / "c.png").c_str(), 2, 2, 4, rgba, 8));
    ASSERT_TRUE(stbi_write_png((dir / "g.png").c_str(), 2, 2, 1, grey, 2));
    ASSERT_TRUE(stbi_write_png((dir / "ga.png").c_str(), 2, 2, 2, greyAlpha, 4));
    const struct {
        const char* file;
        uint8_t topLeft, bottomRight;  // first channel, and blue
    } cases[] = {{"c.png", 255, 77}, {"g.png", 10, 40}, {"ga.png", 50, 80}};
    for (const auto& c : cases) {
        Texture t;
        ASSERT_TRUE(loadPicFile((dir / c.file).c_str(), &t, 2)) << c.file;
        EXPECT_TRUE(t.width == 2 && t.height == 2 && t.imageData == nullptr);
        int w = 0, h = 0;
        std::vector<uint8_t> tex = ReadTexture(t.texID, &w, &h);
        ASSERT_EQ(w * h, 4);
        EXPECT_EQ(tex[2 * 4], c.topLeft) << c.file;  // last texture row, first column
        EXPECT_EQ(tex[1 * 4 + 2], c.bottomRight) << c.file;
        EXPECT_EQ(tex[3], 255) << c.file;
    }
    Texture fixed;  // mode 0: always 512 x 512; width and height stay the picture's
    ASSERT_TRUE(loadPicFile((dir / "c.png").c_str(), &fixed, 0));
    int w = 0, h = 0;
    ReadTexture(fixed.texID, &w, &h);
    EXPECT_TRUE(w == 512 && h == 512 && fixed.width == 2u);
    Texture picked;
    EXPECT_TRUE(LoadPicture(dir.path().c_str(), &picked, 1));

    // A header claiming 20000 x 20000 pixels is refused before decoding; junk and missing
    // files do not load.
    std::vector<uint8_t> huge = testsupport::ReadFile(dir / "g.png");
    huge[18] = huge[22] = 0x4E, huge[19] = huge[23] = 0x20;
    WriteFile(dir / "huge.png", huge);
    WriteFile(dir / "broken.png", "\x89PNG\r\n\x1a\n garbage");
    testing::internal::CaptureStderr();
    Texture t;
    EXPECT_FALSE(loadPicFile((dir / "huge.png").c_str(), &t, 2));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("20000 x 20000 pixels is larger"), std::string::npos);
    EXPECT_FALSE(loadPicFile((dir / "broken.png").c_str(), &t, 2) || loadPicFile((dir / "none.png").c_str(), &t, 2));
    EXPECT_EQ(t.texID, 0u);

    // A capture that is all black (alpha does not count) is no picture.
    std::vector<uint8_t> black(40 * 30 * 4, 0);
    for (size_t i = 3; i < black.size(); i += 4) black[i] = 255;
    uint32_t name = 0;
    EXPECT_FALSE(TextureFromCapture(black.data(), 40, 30, 2, 2048, &name));
    EXPECT_EQ(name, 0u);
    for (size_t i = 0; i < black.size(); i += 4) black[i + 1] = 200;
    ASSERT_TRUE(TextureFromCapture(black.data(), 40, 30, 2, 2048, &name));
    std::vector<uint8_t> tex = ReadTexture(name, &w, &h);
    EXPECT_TRUE(w == 32 && h == 32 && tex[1] == 200);
    // Detail 0 caps at 512 even for a large capture; the existing name is reused.
    std::vector<uint8_t> wide(1200 * 8 * 4, 90);
    const uint32_t before = name;
    ASSERT_TRUE(TextureFromCapture(wide.data(), 1200, 8, 0, 2048, &name));
    ReadTexture(name, &w, &h);
    EXPECT_TRUE(name == before && w == 512 && h == 8);
    GLuint n = name;
    glDeleteTextures(1, &n);
}
