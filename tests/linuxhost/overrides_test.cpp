// Command-line overrides generated from the settings table.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "settings/SettingOverrides.h"

namespace {

// Parses a whole argument list; returns the count of overrides or -1 on an error.
int ParseAll(std::vector<std::string> args, std::vector<SettingOverride>* out, std::vector<std::string>* rest) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    int argc = static_cast<int>(argv.size());
    for (int i = 0; i < argc;) {
        int r = ParseSettingOverride(argc, argv.data(), &i, out);
        if (r < 0) return -1;
        if (r == 0) rest->push_back(argv[i++]);
    }
    return static_cast<int>(out->size());
}

}  // namespace

TEST(SettingOverrides, EveryKeyHasAUniqueOptionButVersion) {
    std::set<std::string> names;
    for (size_t k = 0; k < kSettingKeyCount; ++k) {
        std::string n = OverrideOptionName(kSettingKeys[k]);
        if (std::strcmp(kSettingKeys[k].key, "version") == 0) {
            EXPECT_EQ(n, "");
            continue;
        }
        EXPECT_FALSE(n.empty()) << kSettingKeys[k].key;
        EXPECT_TRUE(names.insert(n).second) << n;
    }
    std::string help = SettingOverridesHelp();
    EXPECT_NE(help.find("--caustic, --no-caustic"), std::string::npos);
    EXPECT_NE(help.find("--max-fish N"), std::string::npos);
}

TEST(SettingOverrides, ParseAndApplyOnTopOfTheRecord) {
    std::vector<SettingOverride> ov;
    std::vector<std::string> rest;
    ASSERT_EQ(ParseAll({"--max-fish", "2", "-root", "--no-caustic", "--bg-type=2", "--bg-path", "/pics dir",
                        "-volume", "40", "--main-monitor-only", "--low-cpu=yes", "--fps", "--bubbles=no",
                        "--water-res", "5"},
                       &ov, &rest),
              9);
    EXPECT_EQ(rest, (std::vector<std::string>{"-root", "--fps"}));
    SETTINGS s;
    bool mmo = false;
    DefaultSettings(&s, &mmo);
    ApplySettingOverrides(ov, &s, &mmo);
    EXPECT_EQ(s.MAX_FISH, 2);
    EXPECT_FALSE(s.WANTCAUSTIC);
    EXPECT_EQ(s.BGTYPE, 2);
    EXPECT_STREQ(s.BGPath, "/pics dir");
    EXPECT_EQ(s.VOLUME, 40);
    EXPECT_TRUE(mmo);
    EXPECT_TRUE(s.LOWCPU);
    EXPECT_FALSE(s.WANTBUBBLES);
    EXPECT_EQ(s.WATERSHIFT, 5);
    EXPECT_TRUE(s.GRADUALFILL);  // untouched keys keep what was loaded

    // Over the tank's limit: clamped as loading clamps.
    ov.clear();
    rest.clear();
    ASSERT_EQ(ParseAll({"--max-fish", "10"}, &ov, &rest), 1);
    ApplySettingOverrides(ov, &s, &mmo);
    EXPECT_EQ(s.MAX_FISH, 3);
    FreeFishSelection(&s);
}

TEST(SettingOverrides, MalformedValuesAreRejected) {
    std::vector<SettingOverride> ov;
    std::vector<std::string> rest;
    EXPECT_EQ(ParseAll({"--max-fish"}, &ov, &rest), -1);
    EXPECT_EQ(ParseAll({"--max-fish", "many"}, &ov, &rest), -1);
    EXPECT_EQ(ParseAll({"--caustic=perhaps"}, &ov, &rest), -1);
    EXPECT_EQ(ParseAll({"--no-caustic=yes"}, &ov, &rest), -1);
    ov.clear();
    rest.clear();
    EXPECT_EQ(ParseAll({"--no-such-thing", "--version"}, &ov, &rest), 0);
    EXPECT_EQ(rest.size(), 2u);
}
