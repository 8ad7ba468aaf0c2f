// Pictures and skins that try to hurt: FIFOs named like pictures, headers claiming
// gigabytes, a one-letter folder path.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "image/Pics.h"
#include "image/TGALoader.h"
#include "image/TextureSizing.h"
#include "math/RegularFile.h"
#include "test_support.h"

using testsupport::TempDir;

namespace {

// An 18-byte TGA header (type 2 or 10, 32 bits) of w x h, followed by `body` bytes.
std::string Tga(int type, int w, int h, size_t body) {
    std::string t(18, '\0');
    t[2] = static_cast<char>(type);
    t[12] = static_cast<char>(w & 0xff);
    t[13] = static_cast<char>(w >> 8);
    t[14] = static_cast<char>(h & 0xff);
    t[15] = static_cast<char>(h >> 8);
    t[16] = 32;
    return t + std::string(body, '\xff');
}

}  // namespace

TEST(HostilePictures, FifosAreRefusedWithoutBlocking) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "a.jpg").c_str(), 0600), 0);
    ASSERT_TRUE(testsupport::WriteFile(dir / "b.tga", Tga(2, 2, 2, 16)));
    std::string text;
    EXPECT_EQ(OpenRegularFile((dir / "a.jpg").c_str()), -1);
    EXPECT_FALSE(ReadRegularFile((dir / "a.jpg").c_str(), 100, &text));
    EXPECT_EQ(FopenRegular(dir.path().c_str()), nullptr);  // a folder is no file either
    EXPECT_FALSE(ReadRegularFile((dir / "b.tga").c_str(), 10, &text));  // over the limit
    ASSERT_TRUE(ReadRegularFile((dir / "b.tga").c_str(), 100, &text));
    EXPECT_EQ(text.size(), 34u);
    Texture t;
    EXPECT_FALSE(loadPicFile((dir / "a.jpg").c_str(), &t, 0));  // before any GL: refused at open
    EXPECT_FALSE(LoadTGA(&t, (dir / "a.jpg").c_str()));
    EXPECT_TRUE(LoadTGA(&t, (dir / "b.tga").c_str()));
}

TEST(HostilePictures, SkinHeadersClaimingMoreThanTheLimitAreRefused) {
    struct Case {
        int type, w, h;
        uint32_t limit;
        bool ok;
    } cases[] = {
        {2, 1024, 1024, kSkinMaxSide, true},
        {2, 1025, 4, kSkinMaxSide, false},
        {10, 4, 2048, kSkinMaxSide, false},
        {10, 16384, 16384, kSkinMaxSide, false},  // run-length: 10 MB could claim 1 GiB
        {10, 4096, 2, kTgaMaxSide, true},
    };
    for (const Case& c : cases) {
        size_t pixels = static_cast<size_t>(c.w) * c.h;
        // Enough run-length packets (128 pixels each) or raw pixels to fill the image.
        std::string bytes = c.type == 10 ? Tga(10, c.w, c.h, 0) : Tga(2, c.w, c.h, pixels * 4);
        if (c.type == 10 && pixels <= (1u << 24))
            for (size_t p = 0; p < pixels; p += 128) bytes += std::string("\xff\x01\x02\x03\x04", 5);
        std::istringstream in(bytes);
        Texture t;
        EXPECT_EQ(LoadTGA2(&t, &in, c.limit), c.ok) << c.w << " x " << c.h;
    }
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
    ASSERT_TRUE(testsupport::WriteFile("p/ok_small.png", claiming));
    testing::internal::CaptureStderr();
    Texture t;
    bool loaded = LoadPicture("p", &t, 0);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(chdir(old), 0);
    EXPECT_FALSE(loaded);
    EXPECT_NE(err.find("p/ok_small.png: picture of 16384 x 16384 pixels is larger"), std::string::npos) << err;
}
