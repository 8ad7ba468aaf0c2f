// The XScreenSaver dialog's description against the key table: every preference but the
// fish source and the species selection has a control there, with the table's range and
// default, and every option it passes is one the hack takes. Entries that are no
// preference (-fps, -delay) are left alone.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <set>
#include <string>

#include "test_support.h"
#include "config/ConfigSheet.h"
#include "settings/SettingOverrides.h"
#include "settings/Settings.h"

namespace {

std::string Attr(const std::string& element, const char* name) {
    std::smatch m;
    std::regex re(std::string("\\s") + name + "=\"([^\"]*)\"");
    return std::regex_search(element, m, re) ? m[1].str() : "";
}

// The key whose option starts arg ("--max-fish %", "--no-caustic", "--bg-type 2"); null if none.
const SettingKey* KeyOf(std::string arg, bool* negated) {
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
            if (kind == "/select") {
                EXPECT_EQ(silentOptions, 1) << "a select needs one default option";
            }
            silentOptions = 0;
            continue;
        }
        std::string arg = Attr(e, kind == "boolean" ? (Attr(e, "arg-set").empty() ? "arg-unset" : "arg-set")
                                   : kind == "option" ? "arg-set" : "arg");
        bool negated = false;
        const SettingKey* key = arg.empty() ? nullptr : KeyOf(arg, &negated);
        if (kind == "option" && arg.empty()) {
            silentOptions++;
            continue;
        }
        if (!key) {
            std::string word = arg.substr(arg.find_first_not_of('-'));
            word = word.substr(0, word.find(' '));
            EXPECT_TRUE(word == "fps" || word == "delay") << "not an option of the hack: " << arg;
            continue;
        }
        seen.insert(key->key);
        if (kind == "number") {
            EXPECT_EQ(std::stoll(Attr(e, "low")), key->low);
            EXPECT_EQ(std::stoll(Attr(e, "high")), key->high);
            EXPECT_EQ(std::stoll(Attr(e, "default")), key->defaultInteger);
        } else if (kind == "boolean") {
            // A box that passes nothing in its default state: the flag names the other one.
            EXPECT_TRUE(Attr(e, "arg-set").empty() || Attr(e, "arg-unset").empty());
            EXPECT_EQ(negated, key->defaultInteger != 0);
        } else if (kind == "option") {
            long long v = std::stoll(arg.substr(arg.find(' ') + 1));
            EXPECT_GE(v, key->low);
            EXPECT_LE(v, key->high);
            EXPECT_NE(v, key->defaultInteger);  // the default is the option that passes nothing
        }
    }
    for (size_t k = 0; k < kSettingKeyCount; k++) {
        const SettingKey& key = kSettingKeys[k];
        // The fish source feeds the settings dialog's downloads, which the hack never makes.
        if (!key.set || !std::strcmp(key.key, "FishSelection") || !std::strcmp(key.key, "FishSource")) continue;
        EXPECT_TRUE(seen.count(key.key)) << key.key << " has no control in the XML";
    }
    EXPECT_NE(xml.find("<command arg=\"--xscreensaver-options\"/>"), std::string::npos);
}

TEST(XScreenSaverXml, EveryPreferenceButTheSelectionHasAnOutletOnTheSheet) {
    std::set<std::string> bound;
    for (size_t i = 0; i < kSheetControlCount; i++) {
        const SHEETCONTROL& c = kSheetControls[i];
        EXPECT_EQ((c.check != nullptr) + (c.number != nullptr) + (c.menu != nullptr), 1) << c.key;
        ASSERT_NE(FindSettingKey(c.key), nullptr) << c.key;
        EXPECT_TRUE(bound.insert(c.key).second) << c.key;
    }
    for (size_t k = 0; k < kSettingKeyCount; k++) {
        const SettingKey& key = kSettingKeys[k];
        if (key.type == SettingType::Text) continue;  // BGPath has its chooser, FishSelection the table, FishSource its entry
        EXPECT_TRUE(bound.count(key.key)) << key.key;
    }
}
