// The -fps overlay: antialiased DejaVu in the lower left, with no X display.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "platform/x11_fps.h"
#include "test_support.h"

TEST(FpsOverlay, DejaVuTextInTheLowerLeftWithoutAnXFont) {
    EGLCONTEXT ctx;
    ASSERT_TRUE(ctx.Create(240, 120));
    X11FPS* fps = X11FpsCreate(nullptr);
    ASSERT_NE(fps, nullptr) << "DejaVuSansMono-Bold.ttf not found";
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    X11FpsDraw(fps, 240, 120);
    std::vector<uint8_t> px = ctx.ReadPixels();  // top row first
    int white = 0, blended = 0, whiteTop = 0;
    for (int y = 0; y < 120; y++)
        for (int x = 0; x < 240; x++) {
            const uint8_t* p = &px[(y * 240 + x) * 4];
            bool w = p[0] > 240 && p[1] > 240;
            white += w;
            whiteTop += w && (y < 60 || x > 160);
            // Grey over blue: part glyph, part background (a bitmap font has none).
            blended += p[0] > 40 && p[0] < 200 && p[2] > p[0] + 20;
        }
    EXPECT_GT(white, 60);
    EXPECT_EQ(whiteTop, 0);
    EXPECT_GT(blended, 20);
    X11FpsDestroy(fps);
}
