// The view's background chain: each background type, and moving on whenever a picture
// does not load, down to the resource folder's fallback picture.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>

#include "image/Texture.h"
#include "image_fixtures.h"
#include "test_support.h"
#include "view/BackgroundSource.h"

using testsupport::TempDir;

namespace {

struct FakeHost {
    std::string desktop;  // what desktopPicture names; empty: nothing
};

bool DesktopPicture(void* user, char* path, size_t size) {
    auto* h = static_cast<FakeHost*>(user);
    if (h->desktop.empty()) return false;
    snprintf(path, size, "%s", h->desktop.c_str());
    return true;
}

// Writes a solid w x h PNG of one colour.
void Picture(const std::string& path, uint8_t r, uint8_t g, uint8_t b, int w = 8, int h = 4) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < px.size(); i += 4) px[i] = r, px[i + 1] = g, px[i + 2] = b, px[i + 3] = 255;
    ASSERT_TRUE(testsupport::WritePNG(path, px, w, h));
}

uint8_t RedOf(const Texture& t) { return imagetest::ReadTexture(t.texID).at(0); }

class BackgroundSourceTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ctx.Create(16, 16));
        host.user = &fake;
        host.desktopPicture = DesktopPicture;
        Picture(res / kFallbackBackgroundPicture, 11, 0, 0);
    }
    BGSOURCE Choose(int type, const std::string& folder, Texture* t, int detail = 2) {
        testing::internal::CaptureStderr();
        BGSOURCE s = ChooseBackground(host, type, folder.c_str(), detail, res.path(), t);
        err = testing::internal::GetCapturedStderr();
        return s;
    }
    EglContext ctx;
    TempDir res, pics;
    FakeHost fake;
    REEFHOST host;
    std::string err;
};

}  // namespace

TEST_F(BackgroundSourceTest, FolderPictureThenFallback) {
    Picture(pics / "sea.png", 22, 0, 0);
    Texture t;
    EXPECT_EQ(Choose(2, pics.path(), &t), BGSOURCE_FOLDER);
    EXPECT_EQ(RedOf(t), 22);
    EXPECT_EQ(t.width, 8u);
    EXPECT_EQ(err, "");

    // A folder without loadable pictures (case-sensitive suffix, broken file): fallback.
    TempDir other;
    Picture(other / "Photo.PNG", 33, 0, 0);
    Texture u;
    EXPECT_EQ(Choose(2, other.path(), &u), BGSOURCE_FALLBACK);
    EXPECT_EQ(RedOf(u), 11);
    testsupport::WriteFile(other / "broken.jpg", "not a jpeg");
    Texture v;
    EXPECT_EQ(Choose(2, other.path(), &v), BGSOURCE_FALLBACK);
    EXPECT_NE(err.find("could not load a picture from this folder"), std::string::npos) << err;
    EXPECT_EQ(RedOf(v), 11);
    Texture x;
    EXPECT_EQ(Choose(2, "", &x), BGSOURCE_FALLBACK);
}

TEST_F(BackgroundSourceTest, DesktopPictureThenFallback) {
    Picture(pics / "desk.png", 44, 0, 0);
    fake.desktop = pics / "desk.png";
    Texture t;
    EXPECT_EQ(Choose(1, "", &t), BGSOURCE_DESKTOP);
    EXPECT_EQ(RedOf(t), 44);

    // Paths of 4 bytes or less name nothing.
    fake.desktop = "/a.j";
    Texture u;
    EXPECT_EQ(Choose(1, "", &u), BGSOURCE_FALLBACK);
    // A desktop picture that exists but does not decode is reported and skipped.
    testsupport::WriteFile(pics / "desk.svg", "<svg/>");
    fake.desktop = pics / "desk.svg";
    Texture v;
    EXPECT_EQ(Choose(1, "", &v), BGSOURCE_FALLBACK);
    EXPECT_NE(err.find("desk.svg: picture does not load"), std::string::npos) << err;
    // No lookup at all.
    host.desktopPicture = nullptr;
    Texture w;
    EXPECT_EQ(Choose(1, "", &w), BGSOURCE_FALLBACK);
    EXPECT_EQ(RedOf(w), 11);
}

TEST_F(BackgroundSourceTest, CaptureKeptOrDesktopUsed) {
    Texture t;
    GLuint name = 0;
    glGenTextures(1, &name);
    t.texID = name;
    EXPECT_EQ(Choose(0, "", &t), BGSOURCE_CAPTURE);
    EXPECT_EQ(t.texID, name);
    Picture(pics / "desk.png", 55, 0, 0);
    fake.desktop = pics / "desk.png";
    Texture u;  // no capture
    EXPECT_EQ(Choose(0, "", &u), BGSOURCE_DESKTOP);
    EXPECT_EQ(RedOf(u), 55);
    // Unknown types still get a picture.
    Texture v;
    EXPECT_EQ(Choose(7, "", &v), BGSOURCE_FALLBACK);
}

TEST_F(BackgroundSourceTest, MissingFallbackIsReported) {
    TempDir empty;
    Texture t;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ChooseBackground(host, 2, pics.path().c_str(), 0, empty.path(), &t), BGSOURCE_NONE);
    const std::string e = testing::internal::GetCapturedStderr();
    EXPECT_NE(e.find("fallback background picture is missing"), std::string::npos) << e;
    EXPECT_EQ(t.texID, 0u);
}

TEST(BackgroundSourceShipped, ResourceFolderHasTheFallbackPicture) {
    // The build writes the resource folder; its fallback picture must load.
    const std::string path = testsupport::ShareDir() + "/" + kFallbackBackgroundPicture;
    if (!testsupport::FileExists(testsupport::ShareDir() + "/kelpish.tidewares"))
        GTEST_SKIP() << "resource folder not built";
    EglContext ctx;
    ASSERT_TRUE(ctx.Create(16, 16));
    REEFHOST host;
    Texture t;
    EXPECT_EQ(ChooseBackground(host, 2, "", 0, testsupport::ShareDir(), &t), BGSOURCE_FALLBACK) << path;
    EXPECT_NE(t.texID, 0u);
}
