// Command-line overrides generated from the settings table.
#include <gtest/gtest.h>

#include "settings/SettingOverrides.h"

namespace {

// Parses a whole argument list; the count of overrides, or -1 on an error.
int ParseAll(std::vector<std::string> args, std::vector<SETTINGOVERRIDE>* out, std::vector<std::string>* rest) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    const int argc = static_cast<int>(argv.size());
    for (int i = 0; i < argc;) {
        int r = ParseSettingOverride(argc, argv.data(), &i, out);
        if (r < 0) return -1;
        if (r == 0) rest->push_back(argv[i++]);
    }
    return static_cast<int>(out->size());
}

}  // namespace

TEST(SettingOverrides, ParsedAndAppliedOnTopOfTheRecord) {
    std::vector<SETTINGOVERRIDE> ov;
    std::vector<std::string> rest;
    ASSERT_EQ(ParseAll({"--max-fish", "2", "-root", "--no-caustic", "--bg-type=2", "--bg-path", "/pics dir", "-volume",
                        "40", "--main-monitor-only", "--low-cpu=yes", "--fps", "--bubbles=no"},
                       &ov, &rest),
              8);
    EXPECT_EQ(rest, (std::vector<std::string>{"-root", "--fps"}));
    SETTINGS s;
    bool mmo = false;
    DefaultSettings(&s, &mmo);
    s.GRADUALFILL = false;
    ApplySettingOverrides(ov, &s, &mmo);
    EXPECT_EQ(s.MAX_FISH, 2);
    EXPECT_FALSE(s.WANTCAUSTIC);
    EXPECT_EQ(s.BGTYPE, 2);
    EXPECT_STREQ(s.BGPath, "/pics dir");
    EXPECT_EQ(s.VOLUME, 40);
    EXPECT_TRUE(mmo);
    EXPECT_TRUE(s.LOWCPU);
    EXPECT_FALSE(s.WANTBUBBLES);
    EXPECT_FALSE(s.GRADUALFILL);  // untouched keys keep what was loaded
    FreeFishSelection(&s);

    for (std::vector<std::string> bad :
         {std::vector<std::string>{"--max-fish"}, {"--max-fish", "2x"}, {"--caustic=perhaps"}, {"--no-caustic=yes"}})
        EXPECT_EQ(ParseAll(bad, &ov, &rest), -1) << bad[0];
    ov.clear();
    rest.clear();
    EXPECT_EQ(ParseAll({"--no-such-thing", "--version"}, &ov, &rest), 0);
    EXPECT_EQ(rest.size(), 2u);
}
