// The XScreenSaver dialog's description against the key table: every preference has a
// control with the table's range and default, and every option it passes is one the hack takes.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "test_support.h"
#include "settings/SettingOverrides.h"

namespace {

std::string Attr(const std::string& element, const char* name) {
    std::smatch m;
    std::regex re(std::string("\\s") + name + "=\"([^\"]*)\"");
    return std::regex_search(element, m, re) ? m[1].str() : "";
}

// The key whose option starts arg ("--max-fish %", "--no-caustic", "--bg-type 2"); null if none.
const SETTINGKEY* KeyOf(std::string arg, bool* negated) {
    arg = arg.substr(0, arg.find(' '));
    *negated = arg.compare(0, 5, "--no-") == 0;
    std::string name = arg.substr(*negated ? 5 : 2);
    for (size_t k = 0; k < kSettingKeyCount; k++)
        if (OverrideOptionName(kSettingKeys[k]) == name) return &kSettingKeys[k];
    return nullptr;
}

}  // namespace

TEST(XScreenSaverXml, EveryPreferenceWithTheTablesRangeAndDefault) {
    std::string xml = testsupport::ReadText(testsupport::SourceDir() + "/packaging/reefmere.xml");
    ASSERT_FALSE(xml.empty());
    std::set<std::string> seen;
    int silentOptions = 0;  // in the current select: options that pass nothing
    std::regex elementRe("<(number|boolean|select|/select|option|file|string)\\b[^>]*>");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), elementRe); it != std::sregex_iterator(); ++it) {
        std::string e = it->str(), kind = (*it)[1].str();
        SCOPED_TRACE(e);
        if (kind == "select" || kind == "/select") {
            EXPECT_TRUE(kind == "select" || silentOptions == 1) << "a select needs one default option";
            silentOptions = 0;
            continue;
        }
        std::string arg = Attr(e, kind == "boolean"  ? (Attr(e, "arg-set").empty() ? "arg-unset" : "arg-set")
                                  : kind == "option" ? "arg-set"
                                                     : "arg");
        bool negated = false;
        const SETTINGKEY* key = arg.empty() ? nullptr : KeyOf(arg, &negated);
        if (kind == "option" && arg.empty()) {
            silentOptions++;
            continue;
        }
        if (!key) {
            EXPECT_TRUE(arg.rfind("-fps", 0) == 0 || arg.rfind("-delay", 0) == 0)
                << "not an option of the hack: " << arg;
            continue;
        }
        seen.insert(key->key);
        if (kind == "number") {
            EXPECT_EQ(std::stoll(Attr(e, "low")), key->low);
            EXPECT_EQ(std::stoll(Attr(e, "high")), key->high);
            EXPECT_EQ(std::stoll(Attr(e, "default")), key->defaultInteger);
        } else if (kind == "boolean") {
            EXPECT_TRUE(Attr(e, "arg-set").empty() || Attr(e, "arg-unset").empty());
            EXPECT_EQ(negated, key->defaultInteger != 0);
        } else if (kind == "option") {
            long long v = std::stoll(arg.substr(arg.find(' ') + 1));
            EXPECT_GE(v, key->low);
            EXPECT_LE(v, key->high);
            EXPECT_NE(v, key->defaultInteger);  // the default is the option that passes nothing
        }
    }
    for (size_t k = 0; k < kSettingKeyCount; k++)  // the selection and the source are the dialog's own
        EXPECT_TRUE(seen.count(kSettingKeys[k].key) || !kSettingKeys[k].set ||
                    kSettingKeys[k].key == std::string("FishSelection") ||
                    kSettingKeys[k].key == std::string("FishSource"))
            << kSettingKeys[k].key;
    EXPECT_NE(xml.find("<command arg=\"--xscreensaver-options\"/>"), std::string::npos);
}
