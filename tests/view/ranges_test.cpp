// Every integer preference's range, from the key table itself: options at the edges are
// taken and one past them refused; stored values past them are limited on load.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "settings/SettingOverrides.h"
#include "settings/Settings.h"

namespace {

int ParseOne(const std::string& option, long long value, SettingValue* got) {
    std::string v = std::to_string(value);
    std::vector<char*> argv = {const_cast<char*>(option.c_str()), const_cast<char*>(v.c_str())};
    std::vector<SettingOverride> out;
    int i = 0;
    int r = ParseSettingOverride(2, argv.data(), &i, &out);
    if (r == 1) *got = out.at(0).value;
    return r;
}

std::string Plist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
           "<key>version</key><string>1.7</string>\n" + body + "</dict>\n</plist>\n";
}

}  // namespace

TEST(SettingRanges, EdgesOfEveryIntegerKeyFromOptionsAndFromTheStore) {
    testsupport::TempDir dir;
    testsupport::ScopedEnv env{{{"XDG_CONFIG_HOME", dir / "config"}, {"XDG_DATA_HOME", dir / "data"}}};
    ASSERT_EQ(mkdir((dir / "config").c_str(), 0700), 0);
    int integers = 0;
    for (size_t k = 0; k < kSettingKeyCount; k++) {
        const SettingKey& key = kSettingKeys[k];
        if (key.type != SettingType::Integer) continue;
        integers++;
        SCOPED_TRACE(key.key);
        ASSERT_LT(key.low, key.high);
        EXPECT_GE(key.defaultInteger, key.low);
        EXPECT_LE(key.defaultInteger, key.high);
        std::string option = "--" + OverrideOptionName(key);
        SettingValue got;
        EXPECT_EQ(ParseOne(option, key.low, &got), 1);
        EXPECT_EQ(got.integer, key.low);
        EXPECT_EQ(ParseOne(option, key.high, &got), 1);
        EXPECT_EQ(got.integer, key.high);
        EXPECT_EQ(ParseOne(option, key.low - 1, &got), -1);
        EXPECT_EQ(ParseOne(option, key.high + 1, &got), -1);

        // Stored: in range kept, out of range limited to the nearer end.
        const long long stored[][2] = {{key.low, key.low}, {key.high, key.high},
                                       {key.low - 1, key.low}, {key.high + 1, key.high}};
        for (const auto& c : stored) {
            ASSERT_TRUE(testsupport::WriteFile(
                dir / "config/kpFishSS.plist",
                Plist("<key>" + std::string(key.key) + "</key><integer>" + std::to_string(c[0]) + "</integer>\n")));
            SETTINGS s;
            bool mmo = false;
            LoadSettings(&s, &mmo);
            SettingValue v;
            key.get(s, mmo, &v);
            EXPECT_EQ(v.integer, c[1]) << "stored " << c[0];
            FreeFishSelection(&s);
        }
    }
    EXPECT_EQ(integers, 7);
}
