// Background wobble: start shape, fixed border, undamped motion, and the drawn extent
// read back from the headless context.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <vector>

#include "platform/egl_context.h"
#include "water/Background.h"

namespace {

constexpr double kTick = 0.01666666753590107;

double Motion(const BACKGROUND& b) {
    double sum = 0.0;
    for (const WOBBLEPOINT& p : b.points) sum += std::fabs(p.vx) + std::fabs(p.vy);
    return sum;
}

}  // namespace

TEST(Wobble, StartsNearTheLatticeWithTheBorderExact) {
    BACKGROUND b;
    b.InitWobble();
    EXPECT_EQ(b.spacing, 16);
    EXPECT_FLOAT_EQ(b.restLength[1][1], 16.0f * std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(b.restLength[1][0], 16.0f);
    EXPECT_FLOAT_EQ(b.restLength[0][1], 16.0f);
    int border = 0, interior = 0, displaced = 0;
    for (int c = 0; c < BACKGROUND::kColumns; ++c) {
        for (int r = 0; r < BACKGROUND::kRows; ++r) {
            const WOBBLEPOINT& p = b.At(c, r);
            EXPECT_EQ(p.vx, 0.0f);
            EXPECT_EQ(p.vy, 0.0f);
            if (c == 0 || c == 10 || r == 0 || r == 12) {
                ++border;
                EXPECT_EQ(p.x, 16.0f * c);
                EXPECT_EQ(p.y, 16.0f * r);
            } else {
                ++interior;
                EXPECT_LE(std::fabs(p.x - 16.0f * c), 2.0f);
                EXPECT_LE(std::fabs(p.y - 16.0f * r), 2.0f);
                if (p.x != 16.0f * c || p.y != 16.0f * r) ++displaced;
            }
        }
    }
    EXPECT_EQ(border, 44);
    EXPECT_EQ(interior, 99);
    EXPECT_GT(displaced, 90);
    // Column-major storage.
    EXPECT_EQ(&b.At(1, 0), &b.points[13]);
}

TEST(Wobble, BorderStaysFixedAndMotionDoesNotDecay) {
    BACKGROUND b;
    b.InitWobble();
    const BACKGROUND start = b;
    b.RelaxWobble(0.0);
    for (int i = 0; i < BACKGROUND::kColumns * BACKGROUND::kRows; ++i) {
        EXPECT_EQ(b.points[i].x, start.points[i].x);
        EXPECT_EQ(b.points[i].y, start.points[i].y);
    }
    for (int i = 0; i < 50; ++i) b.RelaxWobble(kTick);
    // A step of 0 adds no force but still moves by the current velocities.
    const BACKGROUND before = b;
    b.RelaxWobble(0.0);
    for (int c = 1; c < 10; ++c) {
        for (int r = 1; r < 12; ++r) {
            const WOBBLEPOINT& p = before.At(c, r);
            EXPECT_EQ(b.At(c, r).x, p.x + p.vx);
            EXPECT_EQ(b.At(c, r).vx, p.vx);
        }
    }

    double early = 0.0, late = 0.0;
    for (int i = 0; i < 12000; ++i) {
        b.RelaxWobble(kTick);
        if (i < 2000) early += Motion(b);
        if (i >= 10000) late += Motion(b);
    }
    EXPECT_GT(early, 0.0);
    EXPECT_GT(late, 0.5 * early) << "the wobble is undamped";
    for (int c = 0; c < BACKGROUND::kColumns; ++c) {
        for (int r = 0; r < BACKGROUND::kRows; ++r) {
            const WOBBLEPOINT& p = b.At(c, r);
            if (c == 0 || c == 10 || r == 0 || r == 12) {
                EXPECT_EQ(p.x, 16.0f * c);
                EXPECT_EQ(p.y, 16.0f * r);
            } else {
                // The springs keep the grid near its rest shape.
                EXPECT_LT(std::fabs(p.x - 16.0f * c), 8.0f);
                EXPECT_LT(std::fabs(p.y - 16.0f * r), 8.0f);
            }
        }
    }
}

TEST(Wobble, DrawSpansTheWidthAndElevenTenthsOfTheHeight) {
    // 160 grid units span the width and the height: 400 x 300 pixels puts the top drawn
    // row (176 units) at y = 330.
    const int w = 400, h = 350;
    EglContext gl;
    ASSERT_TRUE(gl.Create(w, h));
    BACKGROUND b;
    b.InitWobble();
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1, 1, 1, 1);
    b.Draw(400, 300, 0.5f, 1.0);
    const std::vector<uint8_t> px = gl.ReadPixels();
    auto lit = [&](int x, int y) { return px[((h - 1 - y) * w + x) * 4] > 128; };
    // Border columns are exact: lit up to y = 330, dark above.
    for (int y = 0; y < 329; ++y) {
        ASSERT_TRUE(lit(0, y)) << y;
        ASSERT_TRUE(lit(w - 1, y)) << y;
    }
    EXPECT_FALSE(lit(0, 331));
    EXPECT_FALSE(lit(w - 1, 331));
    // Interior points wobble by at most 2 units (3.75 pixels) above the top row.
    for (int x = 0; x < w; ++x) {
        ASSERT_TRUE(lit(x, 320)) << x;
        ASSERT_FALSE(lit(x, 336)) << x;
    }
    // The matrix is restored and the colour left white.
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[0], 1.0f);
    EXPECT_EQ(m[5], 1.0f);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 1.0f);
    EXPECT_EQ(colour[3], 1.0f);
}
