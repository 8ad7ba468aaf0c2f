// Background pictures: folder scans and the random choice, texture sizing, pictures and
// captures landing upside down, hostile files and sizes, the background chain.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <GL/gl.h>

#include <map>

#include "image/Pics.h"
#include "image/TGALoader.h"
#include "image/Texture.h"
#include "image/TextureSizing.h"
#include "math/RegularFile.h"
#include "test_support.h"
#include "view/BackgroundSource.h"

using namespace testsupport;

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

    // Every picture found whatever its type.
    for (const char* n : {"c.png", "notes.txt"}) WriteFile(dir / n, "x");
    std::map<std::string, int> hits;
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(ChooseRandomImageFile(dir.path().c_str(), name));
        ++hits[name];
    }
    EXPECT_EQ(hits.size(), 2u);
}

TEST(Pics, TextureSizesAndResampling) {
    // Nearest power of two, rounding down up to x 1.414.
    for (auto c : {std::pair<int, int>{800, 1024}, {700, 512}, {1448, 1024}, {1449, 2048}, {0, 1}})
        EXPECT_EQ(NearestPowerOfTwo(c.first), c.second) << c.first;
    const struct {
        int w, h, mode, max, tw, th;
    } sizes[] = {{1440, 900, 2, 2048, 1024, 1024},  {1680, 1050, 2, 4096, 2048, 1024},
                 {5000, 5000, 2, 2048, 2048, 2048}, {1680, 1050, 1, 4096, 1024, 1024},
                 {1680, 1050, 0, 4096, 512, 512},   {3, 3, 2, 2048, 4, 4}};
    for (const auto& c : sizes) {
        int tw = 0, th = 0;
        CaptureTextureSize(c.w, c.h, c.mode, c.max, &tw, &th);
        EXPECT_TRUE(tw == c.tw && th == c.th) << c.w << "x" << c.h << " mode " << c.mode << ": " << tw << "x" << th;
        EXPECT_EQ(PictureTextureSide(c.w, c.mode, c.max), c.tw) << c.w << " mode " << c.mode;
    }
    // 3 x 2 picture, top row first: A B C / D E F; columns floor(x * 0.75), rows flipped.
    const unsigned char pic[] = {'A', 'A', 'A', 'B', 'B', 'B', 'C', 'C', 'C',
                                 'D', 'D', 'D', 'E', 'E', 'E', 'F', 'F', 'F'};
    unsigned char out[4 * 4 * 3];
    ResamplePicture(pic, 3, 2, 3, out, 4, 4);
    const char* rows[4] = {"DDEF", "DDEF", "AABC", "AABC"};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(out[(y * 4 + x) * 3], rows[y][x]) << x << "," << y;
}

TEST(Pics, PicturesAndCapturesLandUpsideDownAndOpaque) {
    EGLCONTEXT ctx;
    ASSERT_TRUE(ctx.Create(16, 16));
    TempDir dir;
    // A 2 x 2 picture, top row first, half transparent: drawn opaque, the top row last.
    ASSERT_TRUE(WritePNG(dir / "c.png", {255, 0, 0, 128, 0, 0, 255, 128, 0, 0, 255, 128, 0, 40, 77, 128}, 2, 2));
    Texture t;
    ASSERT_TRUE(loadPicFile((dir / "c.png").c_str(), &t, 2));
    EXPECT_TRUE(t.width == 2 && t.height == 2 && t.imageData == nullptr);
    int w = 0, h = 0;
    std::vector<uint8_t> tex = ReadTexture(t.texID, &w, &h);
    ASSERT_EQ(w * h, 4);
    EXPECT_TRUE(tex[2 * 4] == 255 && tex[1 * 4 + 2] == 77 && tex[3] == 255);
    Texture fixed;  // mode 0: always 512 x 512; width and height stay the picture's
    ASSERT_TRUE(loadPicFile((dir / "c.png").c_str(), &fixed, 0));
    ReadTexture(fixed.texID, &w, &h);
    EXPECT_TRUE(w == 512 && h == 512 && fixed.width == 2u);

    // Junk and missing files do not load; an all-black capture (alpha aside) is no picture.
    WriteFile(dir / "broken.png", "\x89PNG\r\n\x1a\n garbage");
    Texture none;
    EXPECT_FALSE(loadPicFile((dir / "broken.png").c_str(), &none, 2) ||
                 loadPicFile((dir / "none.png").c_str(), &none, 2));
    EXPECT_EQ(none.texID, 0u);
    std::vector<uint8_t> black(40 * 30 * 4, 0);
    for (size_t i = 3; i < black.size(); i += 4) black[i] = 255;
    uint32_t name = 0;
    EXPECT_FALSE(TextureFromCapture(black.data(), 40, 30, 2, 2048, &name));
    for (size_t i = 0; i < black.size(); i += 4) black[i + 1] = 200;
    ASSERT_TRUE(TextureFromCapture(black.data(), 40, 30, 2, 2048, &name));
    tex = ReadTexture(name, &w, &h);
    EXPECT_TRUE(w == 32 && h == 32 && tex[1] == 200);
    GLuint n = name;
    glDeleteTextures(1, &n);
}

TEST(HostilePictures, FifosAreRefusedWithoutBlocking) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "a.jpg").c_str(), 0600), 0);
    ASSERT_TRUE(WriteFile(dir / "b.tga", std::string(34, 'x')));
    std::string text;
    EXPECT_EQ(OpenRegularFile((dir / "a.jpg").c_str()), -1);
    EXPECT_FALSE(ReadRegularFile((dir / "a.jpg").c_str(), 100, &text));
    EXPECT_EQ(FopenRegular(dir.path().c_str()), nullptr);               // a folder is no file either
    EXPECT_FALSE(ReadRegularFile((dir / "b.tga").c_str(), 10, &text));  // over the limit
    ASSERT_TRUE(ReadRegularFile((dir / "b.tga").c_str(), 100, &text));
    EXPECT_EQ(text.size(), 34u);
    Texture t;
    EXPECT_FALSE(loadPicFile((dir / "a.jpg").c_str(), &t, 0));  // before any GL: refused at open
    EXPECT_FALSE(LoadTGA(&t, (dir / "a.jpg").c_str()));
}

TEST(HostilePictures, PictureSizeLimitAndShortFolderPaths) {
    EXPECT_TRUE(PicturePixelsAccepted(7680, 4320));
    EXPECT_FALSE(PicturePixelsAccepted(16384, 16384));
    EXPECT_FALSE(PicturePixelsAccepted(65535, 1 << 20));
    EXPECT_FALSE(PicturePixelsAccepted(0, 10));
    EXPECT_EQ(PictureTextureSide(7680, 2, 16384), 4096);  // an 8K picture: a 4K texture at most

    // "--bg-path p" means the folder p: the picture inside it, never "p" + its name.
    TempDir dir;
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    mkdir("p", 0700);
    // A header claiming 16384 x 16384: refused with a message, before any GL is needed.
    const std::vector<uint8_t> claiming = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x40, 0x00,
                                           0x40, 0x00, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xD9};
    ASSERT_TRUE(WriteFile("p/ok_small.png", claiming));
    testing::internal::CaptureStderr();
    Texture t;
    bool loaded = LoadPicture("p", &t, 0);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(chdir(old), 0);
    EXPECT_FALSE(loaded);
    EXPECT_NE(err.find("p/ok_small.png: picture of 16384 x 16384 pixels is larger"), std::string::npos) << err;
}

namespace {

bool DesktopPicture(void* user, char* path, size_t size) {
    const std::string& desktop = *static_cast<std::string*>(user);
    snprintf(path, size, "%s", desktop.c_str());
    return !desktop.empty();
}

// A solid 8 x 4 PNG whose red is `red`.
void Picture(const std::string& path, uint8_t red) {
    std::vector<uint8_t> px(8 * 4 * 4, 255);
    for (size_t i = 0; i < px.size(); i += 4) px[i] = red, px[i + 1] = px[i + 2] = 0;
    ASSERT_TRUE(WritePNG(path, px, 8, 4));
}

}  // namespace

TEST(BackgroundSource, EachTypeThenTheFallback) {
    EGLCONTEXT ctx;
    ASSERT_TRUE(ctx.Create(16, 16));
    TempDir res, pics, other, desk, none;
    Picture(res / kFallbackBackgroundPicture, 11);
    Picture(pics / "sea.png", 22);
    Picture(desk / "desk.png", 44);
    Picture(other / "Photo.PNG", 33);  // suffixes are case-sensitive
    WriteFile(other / "broken.jpg", "not a jpeg");
    WriteFile(desk / "desk.svg", "<svg/>");
    GLuint captured = 0;
    glGenTextures(1, &captured);
    const struct {
        int type;
        std::string folder, desktop;
        bool haveCapture;
        BGSOURCE source;
        int red;              // of the chosen picture; -1: the capture kept
        const char* message;  // on stderr, when any
    } cases[] = {
        {2, pics.path(), "", false, BGSOURCE_FOLDER, 22, ""},
        {2, other.path(), "", false, BGSOURCE_FALLBACK, 11, "could not load a picture from this folder"},
        {2, "", "", false, BGSOURCE_FALLBACK, 11, ""},
        {1, "", desk / "desk.png", false, BGSOURCE_DESKTOP, 44, ""},
        {1, "", "/a.j", false, BGSOURCE_FALLBACK, 11, ""},  // 4 bytes or less name nothing
        {1, "", desk / "desk.svg", false, BGSOURCE_FALLBACK, 11, "desk.svg: picture does not load"},
        {0, "", desk / "desk.png", true, BGSOURCE_CAPTURE, -1, ""},
        {0, "", desk / "desk.png", false, BGSOURCE_DESKTOP, 44, ""},
        {7, pics.path(), desk / "desk.png", false, BGSOURCE_FALLBACK, 11, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " folder " << c.folder << " desktop " << c.desktop);
        std::string desktop = c.desktop;
        REEFHOST host;
        host.user = &desktop;
        host.desktopPicture = DesktopPicture;
        Texture t;
        if (c.haveCapture) t.texID = captured;
        testing::internal::CaptureStderr();
        EXPECT_EQ(ChooseBackground(host, c.type, c.folder.c_str(), 2, res.path(), &t), c.source);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        if (c.red < 0) {
            EXPECT_EQ(t.texID, captured);
            t.texID = 0;  // the caller's name
        } else {
            EXPECT_EQ(ReadTexture(t.texID).at(0), c.red);
        }
    }
    REEFHOST bare;  // no desktop lookup at all
    Texture t;
    EXPECT_EQ(ChooseBackground(bare, 1, "", 2, res.path(), &t), BGSOURCE_FALLBACK);
    testing::internal::CaptureStderr();
    Texture u;
    EXPECT_EQ(ChooseBackground(bare, 2, none.path().c_str(), 0, none.path(), &u), BGSOURCE_NONE);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("fallback background picture is missing"), std::string::npos);
    EXPECT_EQ(u.texID, 0u);
    // The resource folder the build writes has a fallback picture that loads.
    Texture shipped;
    EXPECT_EQ(ChooseBackground(bare, 2, "", 0, ShareDir(), &shipped), BGSOURCE_FALLBACK);
    EXPECT_NE(shipped.texID, 0u);
}
