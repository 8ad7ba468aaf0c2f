// Desktop settings that try to hurt: a slideshow naming a FIFO, sizes past any integer,
// a picture taller than any texture.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/desktop_picture.h"
#include "test_support.h"

using testsupport::TempDir;

TEST(HostileDesktop, SlideshowsWithFifosAndEndlessSizesNeitherHangNorOverflow) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "a.jpg").c_str(), 0600), 0);
    ASSERT_TRUE(testsupport::WriteFile(dir / "show.xml",
                                       "<background><static><file>a.jpg</file></static></background>"));
    PictureRGBA pic;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadPictureRGBA(dir / "show.xml", 256, &pic));  // the FIFO is refused, not waited on
    EXPECT_FALSE(LoadPictureRGBA(dir / "a.jpg", 256, &pic));
    testing::internal::GetCapturedStderr();

    const std::string xml =
        "<background><static><file>"
        "<size width=\"99999999999999999999\" height=\"99999999999999999999\">/big.jpg</size>"
        "<size width=\"10\" height=\"10\">/small.jpg</size>"
        "</file></static></background>";
    EXPECT_EQ(SlideshowLargestPicture(xml, "/"), "/big.jpg");

    // A picture one pixel wide but taller than any texture side is refused, though its
    // pixel count is small.
    ASSERT_TRUE(testsupport::WritePNG(dir / "tall.png", std::vector<uint8_t>(16385 * 4, 200), 1, 16385));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadPictureRGBA(dir / "tall.png", 256, &pic));
    testing::internal::GetCapturedStderr();
}
