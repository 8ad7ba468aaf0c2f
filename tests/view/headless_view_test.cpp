// The whole view in the headless context with the built resource folder: mainSetup, a
// few frames, pixels read back; and teardown leaves no GL error behind.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "scene/SSMain.h"
#include "test_support.h"
#include "view/ReefmereView.h"
#include "view_test_host.h"

TEST(HeadlessView, SceneIsBuiltDrawnAndReadBack) {
    ASSERT_TRUE(testsupport::FileExists(testsupport::ShareDir() + "/kelpish.tidewares"))
        << "resource folder not built";
    testsupport::ScopedEnv share({{"REEFMERE_SHARE_DIR", testsupport::ShareDir()}});
    TestHost host;
    host.width = 256;
    host.height = 160;
    ASSERT_TRUE(host.gl.Create(host.width, host.height));
    {
        // Background type 1 with no desktop lookup: the chain ends at the fallback picture.
        ReefmereView view(host.Table(), TestOptions({{"PlaySound", "no"}, {"BGType", "1"}, {"GradualFill", "no"},
                                                     {"RandomWaterLevel", "no"}, {"WantedWaterLevel", "60"}}));
        view.startAnimation();
        view.animateOneFrame();
        ASSERT_TRUE(view.initialized);
        ASSERT_NE(view.ssMain, nullptr);
        EXPECT_EQ(view.ssMain->viewWidth, 256);
        EXPECT_EQ(view.ssMain->viewHeight, 160);
        EXPECT_NE(view.DeskTex.texID, 0u);
        EXPECT_EQ(view.ssMain->backgroundTexture, view.DeskTex.texID);
        EXPECT_FLOAT_EQ(view.ssMain->waterLevel, 0.6f);
        for (int i = 0; i < 10; i++) {
            host.clock += 0.02;
            view.animateOneFrame();
        }
        EXPECT_EQ(view.framesDrawn, 10);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        std::vector<uint8_t> px = host.gl.ReadPixels();
        ASSERT_EQ(px.size(), 256u * 160u * 4u);
        // The picture fills the screen: lit pixels at the top (above the water, full
        // brightness) and at the bottom (under water, dimmed).
        auto lit = [&](int x, int y) {
            const uint8_t* p = &px[(static_cast<size_t>(y) * 256 + x) * 4];
            return (p[0] | p[1] | p[2]) != 0;
        };
        int litTop = 0, litBottom = 0;
        for (int x = 0; x < 256; x += 8) {
            litTop += lit(x, 5) ? 1 : 0;
            litBottom += lit(x, 150) ? 1 : 0;
        }
        EXPECT_GT(litTop, 16);
        EXPECT_GT(litBottom, 16);
    }
    // Teardown deleted what it made and left the context usable.
    host.gl.MakeCurrent();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
}
