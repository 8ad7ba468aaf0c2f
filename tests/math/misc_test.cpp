// Small helpers: wrapping clamp, Rotate, the frame-rate counter, error hooks, the
// non-blocking alert and the diagnostic writers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "math/Misc.h"
#include "math/NiftyMaths.h"
#include "test_support.h"

TEST(Misc, ClampWraps) {
    EXPECT_DOUBLE_EQ(clamp(-30, 0, 360), 330);
    EXPECT_DOUBLE_EQ(clamp(725, 0, 360), 5);
    EXPECT_DOUBLE_EQ(clamp(360, 0, 360), 0);
    EXPECT_DOUBLE_EQ(clamp(0, 0, 360), 0);
    EXPECT_DOUBLE_EQ(clamp(359.5, 0, 360), 359.5);
    EXPECT_DOUBLE_EQ(clamp(-720, 0, 360), 0);
    // Values that would take forever one period at a time still come back in range.
    double big = clamp(1e12 + 90, 0, 360);
    EXPECT_GE(big, 0);
    EXPECT_LT(big, 360);
    double low = clamp(-1e15, 0, 360);
    EXPECT_GE(low, 0);
    EXPECT_LT(low, 360);
    // Nothing to wrap: returned as given, no endless loop.
    EXPECT_TRUE(std::isinf(clamp(INFINITY, 0, 360)));
    EXPECT_TRUE(std::isnan(clamp(NAN, 0, 360)));
    EXPECT_DOUBLE_EQ(clamp(5, 0, 0), 5);
}

TEST(Misc, ValueConstructorsAndNormal) {
    VECTOR3D p = MakePoint(1, 2, 3);
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.y, 2);
    EXPECT_EQ(p.z, 3);
    point2d q = Make2DPoint(-4, 5);
    EXPECT_EQ(q.x, -4);
    EXPECT_EQ(q.y, 5);
    COLOUR c = MakeColour(0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_EQ(c.r, 0.1f);
    EXPECT_EQ(c.a, 0.4f);
    // (a − b) × (b − c) for a counter-clockwise triangle in the xy plane points +z.
    VECTOR3D n = CalculateNormal(MakePoint(0, 0, 0), MakePoint(1, 0, 0), MakePoint(0, 1, 0));
    EXPECT_TRUE(CompareVectors(n, MakePoint(0, 0, 1)));
}

TEST(Misc, RotateFollowsZYXOrder) {
    VECTOR3D v = MakePoint(1, 0, 0);
    Rotate(&v, 0, 0, 90);
    EXPECT_NEAR(v.x, 0, 1e-6);
    EXPECT_NEAR(v.y, 1, 1e-6);
    EXPECT_NEAR(v.z, 0, 1e-6);

    VECTOR3D same = MakePoint(0.1f, -0.2f, 0.3f);
    Rotate(&same, 0, 0, 0);
    EXPECT_TRUE(CompareVectors(same, MakePoint(0.1f, -0.2f, 0.3f)));

    // X first, then Y: (0, 1, 0) → Rx(90) → (0, 0, 1) → Ry(90) → (1, 0, 0).
    VECTOR3D w = MakePoint(0, 1, 0);
    Rotate(&w, 90, 90, 0);
    EXPECT_NEAR(w.x, 1, 1e-6);
    EXPECT_NEAR(w.y, 0, 1e-6);
    EXPECT_NEAR(w.z, 0, 1e-6);
    Rotate(nullptr, 1, 2, 3);  // no crash
}

TEST(Misc, FrameRateRefreshesAtMostFourTimesASecond) {
    fCount = 0;
    frameRate = 0;
    lastcountTime = 0;
    lastcountFrame = 0;
    fCount = 10;
    CalcFrameRate(0.2);  // too early after start
    EXPECT_EQ(frameRate, 0);
    EXPECT_EQ(lastcountTime, 0);
    CalcFrameRate(0.5);
    EXPECT_DOUBLE_EQ(frameRate, 20);
    EXPECT_EQ(lastcountFrame, 10);
    fCount = 16;
    CalcFrameRate(0.6);  // 0.1 s later: nothing
    EXPECT_DOUBLE_EQ(frameRate, 20);
    EXPECT_EQ(lastcountTime, 0.5);
    CalcFrameRate(1.0);
    EXPECT_DOUBLE_EQ(frameRate, 12);
    EXPECT_EQ(lastcountFrame, 16);
}

TEST(Misc, HooksAreQuietUnlessAskedAndAlertNeverBlocks) {
    unsetenv("REEFMERE_DEBUG");
    testing::internal::CaptureStderr();
    ERRORCLOSE("cannot open model");
    ERRORBOX("second hook");
    ERRORCLOSE(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    setenv("REEFMERE_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    ERRORCLOSE("cannot open model");
    std::string err = testing::internal::GetCapturedStderr();
    unsetenv("REEFMERE_DEBUG");
    EXPECT_NE(err.find("cannot open model"), std::string::npos);
    EXPECT_EQ(err.back(), '\n');
    EXPECT_EQ(err.find('\n'), err.size() - 1);

    // The text is printed as it stands, never used as a format.
    testing::internal::CaptureStderr();
    MessageBox(nullptr, "bad header %s %n", "TGA", 0);
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("TGA"), std::string::npos);
    EXPECT_NE(err.find("bad header %s %n"), std::string::npos);
    EXPECT_EQ(err.find('\n'), err.size() - 1);
}

TEST(Misc, DiagnosticWritersAppendUnderTheStateFolder) {
    testsupport::TempDir dir;
    std::string state = dir.path() + "/state";
    const char* oldState = std::getenv("XDG_STATE_HOME");
    std::string saved = oldState ? oldState : "";
    setenv("XDG_STATE_HOME", state.c_str(), 1);

    DEBUGp3d(MakePoint(1, 2.5f, -3));
    DEBUGstr("hello");
    DEBUG(0.25);
    MATRIX m;
    m.SetTranslation(MakePoint(7, 8, 9));
    SaveMatrix(m);
    char path[1024];
    EXPECT_TRUE(DiagnosticsPath("debug.txt", path, sizeof path));
    EXPECT_EQ(std::string(path), state + "/reefmere/debug.txt");
    EXPECT_FALSE(DiagnosticsPath("../escape", path, sizeof path));
    char tiny[8];
    EXPECT_FALSE(DiagnosticsPath("debug.txt", tiny, sizeof tiny));

    if (oldState) setenv("XDG_STATE_HOME", saved.c_str(), 1);
    else unsetenv("XDG_STATE_HOME");

    auto text = [](const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); };
    EXPECT_EQ(text(testsupport::ReadFile(state + "/reefmere/debug.txt")),
              "1.000000,2.500000,-3.000000\nhello\n0.250000\n");
    EXPECT_EQ(text(testsupport::ReadFile(state + "/reefmere/test.txt")),
              "\n1.00000 0.00000 0.00000 0.00000 \n"
              "0.00000 1.00000 0.00000 0.00000 \n"
              "0.00000 0.00000 1.00000 0.00000 \n"
              "7.00000 8.00000 9.00000 1.00000 \n");
}
