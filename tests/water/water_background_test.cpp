// Background wobble: start shape, fixed border, undamped motion, and the drawn extent
// read back from the headless context.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/egl_context.h"
#include "water/Background.h"

namespace {

constexpr double kTick = 0.01666666753590107;

// Every point within `slack` of its lattice place, the border exactly on it.
void ExpectNearLattice(const BACKGROUND& b, float slack) {
    for (int c = 0; c < BACKGROUND::kColumns; ++c)
        for (int r = 0; r < BACKGROUND::kRows; ++r) {
            const bool border = c == 0 || c == 10 || r == 0 || r == 12;
            EXPECT_LE(std::fabs(b.At(c, r).x - 16.0f * c), border ? 0 : slack) << c << "," << r;
            EXPECT_LE(std::fabs(b.At(c, r).y - 16.0f * r), border ? 0 : slack) << c << "," << r;
        }
}

double Motion(const BACKGROUND& b) {
    double sum = 0.0;
    for (const WOBBLEPOINT& p : b.points) sum += std::fabs(p.vx) + std::fabs(p.vy);
    return sum;
}

}  // namespace

TEST(Wobble, StartShapeBorderStaysFixedAndMotionDoesNotDecay) {
    BACKGROUND b;
    b.InitWobble();
    ExpectNearLattice(b, 2.0f);
    int displaced = 0;
    for (int c = 1; c < 10; ++c)
        for (int r = 1; r < 12; ++r) {
            EXPECT_TRUE(b.At(c, r).vx == 0.0f && b.At(c, r).vy == 0.0f);
            displaced += b.At(c, r).x != 16.0f * c || b.At(c, r).y != 16.0f * r;
        }
    EXPECT_GT(displaced, 90);
    const BACKGROUND start = b;
    b.RelaxWobble(0.0);
    EXPECT_EQ(std::memcmp(b.points, start.points, sizeof b.points), 0);
    // The springs pull towards the diagonal rest length as well as the straight one, and
    // keep the grid near its rest shape; the motion never dies down.
    EXPECT_FLOAT_EQ(b.restLength[1][1], 16.0f * std::sqrt(2.0f));
    double early = 0.0, late = 0.0;
    for (int i = 0; i < 12000; ++i) {
        b.RelaxWobble(kTick);
        if (i < 2000) early += Motion(b);
        if (i >= 10000) late += Motion(b);
    }
    EXPECT_GT(early, 0.0);
    EXPECT_GT(late, 0.5 * early) << "the wobble is undamped";
    ExpectNearLattice(b, 8.0f);
    // A step of 0 adds no force but still moves by the current velocities.
    const BACKGROUND before = b;
    b.RelaxWobble(0.0);
    for (int c = 1; c < 10; ++c)
        for (int r = 1; r < 12; ++r) EXPECT_EQ(b.At(c, r).x, before.At(c, r).x + before.At(c, r).vx);
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
    for (int y = 0; y < 329; ++y) ASSERT_TRUE(lit(0, y) && lit(w - 1, y)) << y;
    EXPECT_FALSE(lit(0, 331) || lit(w - 1, 331));
    // Interior points wobble by at most 2 units (3.75 pixels) above the top row.
    for (int x = 0; x < w; ++x) ASSERT_TRUE(lit(x, 320) && !lit(x, 336)) << x;
    // The matrix is restored and the colour left white.
    GLfloat m[16], colour[4];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_TRUE(m[0] == 1.0f && m[5] == 1.0f);
    EXPECT_TRUE(colour[0] == 1.0f && colour[3] == 1.0f);
}
