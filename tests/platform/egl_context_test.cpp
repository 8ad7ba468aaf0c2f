// The headless context every rendering test relies on: it clears and reads back.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "test_support.h"

TEST(EglContext, ClearsAndReadsBackTopRowFirst) {
    EglContext ctx;
    ASSERT_TRUE(ctx.Create(64, 32));
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    // A red scissored band in the bottom rows of GL's frame must land in the last rows.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 64, 4);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    auto px = ctx.ReadPixels();
    ASSERT_EQ(px.size(), 64u * 32u * 4u);
    EXPECT_EQ(px[2], 255);                      // top-left blue
    EXPECT_EQ(px[(31 * 64) * 4 + 0], 255);      // bottom-left red
    ASSERT_TRUE(ctx.Resize(16, 16));
    EXPECT_EQ(ctx.ReadPixels().size(), 16u * 16u * 4u);
}
