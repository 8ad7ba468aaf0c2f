// Small helpers: wrapping clamp, the frame-rate counter, the quiet error hooks and
// alert, and the diagnostic writers.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "math/Misc.h"
#include "math/NiftyMaths.h"
#include "test_support.h"

TEST(Misc, ClampWrapsIntoTheRange) {
    const double cases[][2] = {{-30, 330}, {725, 5}, {360, 0}, {359.5, 359.5}, {-720, 0}};
    for (auto& c : cases) EXPECT_DOUBLE_EQ(clamp(c[0], 0, 360), c[1]) << c[0];
    for (double far : {1e12 + 90, -1e15}) {  // no endless loop one period at a time
        double v = clamp(far, 0, 360);
        EXPECT_TRUE(v >= 0 && v < 360) << far << " -> " << v;
    }
    EXPECT_TRUE(std::isinf(clamp(INFINITY, 0, 360)));
    EXPECT_TRUE(std::isnan(clamp(NAN, 0, 360)));
    EXPECT_DOUBLE_EQ(clamp(5, 0, 0), 5);
}

TEST(Misc, FrameRateRefreshesAtMostFourTimesASecond) {
    frameRate = lastcountTime = 0;
    lastcountFrame = 0;
    fCount = 10;
    const double steps[][3] = {{0.2, 10, 0}, {0.5, 10, 20}, {0.6, 16, 20}, {1.0, 16, 12}};  // now, fCount, rate
    for (auto& s : steps) {
        fCount = static_cast<int>(s[1]);
        CalcFrameRate(s[0]);
        EXPECT_DOUBLE_EQ(frameRate, s[2]) << "at " << s[0];
    }
}

TEST(Misc, HooksAreQuietUnlessAskedAndTextIsNeverAFormat) {
    testsupport::ScopedEnv quiet(std::map<std::string, std::string>{{"REEFMERE_DEBUG", ""}});
    testing::internal::CaptureStderr();
    ERRORCLOSE("cannot open model");
    ERRORBOX("second hook");
    ERRORCLOSE(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    {
        testsupport::ScopedEnv debug(std::map<std::string, std::string>{{"REEFMERE_DEBUG", "1"}});
        testing::internal::CaptureStderr();
        ERRORCLOSE("cannot open model");
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("cannot open model"), std::string::npos);
        EXPECT_EQ(err.find('\n'), err.size() - 1);
    }
    testing::internal::CaptureStderr();
    MessageBox(nullptr, "bad header %s %n", "TGA", 0);
    std::string err = testing::internal::GetCapturedStderr();
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
    char path[1024], tiny[8];
    EXPECT_TRUE(DiagnosticsPath("debug.txt", path, sizeof path));
    EXPECT_EQ(std::string(path), state + "/reefmere/debug.txt");
    EXPECT_FALSE(DiagnosticsPath("../escape", path, sizeof path));
    EXPECT_FALSE(DiagnosticsPath("debug.txt", tiny, sizeof tiny));
    EXPECT_EQ(testsupport::ReadText(state + "/reefmere/debug.txt"), "1.000000,2.500000,-3.000000\nhello\n0.250000\n");
    EXPECT_EQ(testsupport::ReadText(state + "/reefmere/test.txt"),
              "\n1.00000 0.00000 0.00000 0.00000 \n0.00000 1.00000 0.00000 0.00000 \n"
              "0.00000 0.00000 1.00000 0.00000 \n7.00000 8.00000 9.00000 1.00000 \n");
}
