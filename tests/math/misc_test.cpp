// Small helpers: wrapping clamp, the frame-rate counter, error hooks, the
// non-blocking alert and the diagnostic writers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

#include "math/Misc.h"
#include "math/NiftyMaths.h"
#include "test_support.h"

TEST(Misc, ClampWraps) {
    for (auto c : {std::pair<double, double>{-30, 330}, {725, 5}, {360, 0}, {0, 0}, {359.5, 359.5}, {-720, 0}})
        EXPECT_DOUBLE_EQ(clamp(c.first, 0, 360), c.second) << c.first;
    // Values that would take forever one period at a time still come back in range.
    for (double far : {1e12 + 90, -1e15}) {
        double v = clamp(far, 0, 360);
        EXPECT_TRUE(v >= 0 && v < 360) << far << " -> " << v;
    }
    // Nothing to wrap: returned as given, no endless loop.
    EXPECT_TRUE(std::isinf(clamp(INFINITY, 0, 360)));
    EXPECT_TRUE(std::isnan(clamp(NAN, 0, 360)));
    EXPECT_DOUBLE_EQ(clamp(5, 0, 0), 5);
}

TEST(Misc, FrameRateRefreshesAtMostFourTimesASecond) {
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
    testsupport::ScopedEnv env({{"XDG_STATE_HOME", state}});

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

    auto text = [](const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); };
    EXPECT_EQ(text(testsupport::ReadFile(state + "/reefmere/debug.txt")),
              "1.000000,2.500000,-3.000000\nhello\n0.250000\n");
    EXPECT_EQ(text(testsupport::ReadFile(state + "/reefmere/test.txt")),
              "\n1.00000 0.00000 0.00000 0.00000 \n"
              "0.00000 1.00000 0.00000 0.00000 \n"
              "0.00000 0.00000 1.00000 0.00000 \n"
              "7.00000 8.00000 9.00000 1.00000 \n");
}
