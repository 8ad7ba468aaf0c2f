// The view's background chain: each background type, and moving on whenever a picture
// does not load, down to the resource folder's fallback picture.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "image/Texture.h"
#include "image_fixtures.h"
#include "test_support.h"
#include "view/BackgroundSource.h"

using testsupport::TempDir;

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
    ASSERT_TRUE(testsupport::WritePNG(path, px, 8, 4));
}

}  // namespace

TEST(BackgroundSource, EachTypeThenTheFallback) {
    EglContext ctx;
    ASSERT_TRUE(ctx.Create(16, 16));
    TempDir res, pics, other, desk, none;
    Picture(res / kFallbackBackgroundPicture, 11);
    Picture(pics / "sea.png", 22);
    Picture(desk / "desk.png", 44);
    Picture(other / "Photo.PNG", 33);  // suffixes are case-sensitive
    testsupport::WriteFile(other / "broken.jpg", "not a jpeg");
    testsupport::WriteFile(desk / "desk.svg", "<svg/>");
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
            EXPECT_EQ(imagetest::ReadTexture(t.texID).at(0), c.red);
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
    EXPECT_EQ(ChooseBackground(bare, 2, "", 0, testsupport::ShareDir(), &shipped), BGSOURCE_FALLBACK);
    EXPECT_NE(shipped.texID, 0u);
}
