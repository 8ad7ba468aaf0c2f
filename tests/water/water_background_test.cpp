// Background wobble: start shape, fixed border, undamped motion.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

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
    const BACKGROUND start = b;
    b.RelaxWobble(0.0);  // at rest: nothing moves
    EXPECT_EQ(std::memcmp(b.points, start.points, sizeof b.points), 0);
    // The springs pull towards the diagonal rest length as well as the straight one, and
    // keep the grid near its rest shape; the motion never dies down.
    EXPECT_FLOAT_EQ(b.restLength[1][1], 16.0f * std::sqrt(2.0f));
    double early = 0.0, late = 0.0;
    for (int i = 0; i < 12000; ++i) {
        b.RelaxWobble(kTick);
        (i < 2000 ? early : late) += i < 2000 || i >= 10000 ? Motion(b) : 0.0;
    }
    EXPECT_GT(early, 0.0);
    EXPECT_GT(late, 0.5 * early) << "the wobble is undamped";
    ExpectNearLattice(b, 8.0f);
}
