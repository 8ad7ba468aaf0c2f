// Small helpers: the wrapping clamp and the error hooks.
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

TEST(Misc, HooksAreQuietUnlessAskedAndTextIsNeverAFormat) {
    testsupport::ScopedEnv quiet(std::map<std::string, std::string>{{"REEFMERE_DEBUG", ""}});
    testing::internal::CaptureStderr();
    ERRORCLOSE("cannot open model");
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
