// The preference store: first run, clamp, absent and wrongly typed keys, FIFOs and
// oversized files, save and reload, every integer key's range, the pictures folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "settings/Paths.h"
#include "settings/Preferences.h"
#include "settings/SettingOverrides.h"
#include "settings/Settings.h"
#include "test_support.h"

namespace {

std::string Str(const char* k, const std::string& v) {
    return std::string("<key>") + k + "</key><string>" + v + "</string>\n";
}
std::string Int(const char* k, long long v) {
    return std::string("<key>") + k + "</key><integer>" + std::to_string(v) + "</integer>\n";
}

class PrefsTest : public ::testing::Test {
protected:
    void TearDown() override { FreeFishSelection(&s); }
    void WriteStore(const std::string& dictBody) {
        MakeFolders(home.ConfigDir());
        ASSERT_TRUE(testsupport::WriteFile(
            home.StorePath(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" +
                                  dictBody + "</dict>\n</plist>\n"));
    }
    void Load(bool expectOk = true) {
        FreeFishSelection(&s);
        s = SETTINGS();
        testing::internal::CaptureStderr();
        EXPECT_EQ(LoadSettings(&s, &mmo), expectOk);
        testing::internal::GetCapturedStderr();
    }
    std::vector<std::string> ConfigEntries() const { return testsupport::ListFolder(home.ConfigDir()); }

    testsupport::PrivateHome home;
    SETTINGS s;
    bool mmo = true;
};

TEST_F(PrefsTest, FirstRunWritesEveryDefaultTypedAndSavesReadBack) {
    Load();
    SETTINGS d;
    bool dm = true;
    DefaultSettings(&d, &dm);
    for (size_t i = 0; i < kSettingKeyCount; i++) {
        const SETTINGKEY& k = kSettingKeys[i];
        if (!k.get || !std::strcmp(k.key, "FishSelection")) continue;
        SETTINGVALUE a, b;
        k.get(s, mmo, &a);
        k.get(d, dm, &b);
        EXPECT_EQ(a.integer, b.integer) << k.key;
        EXPECT_EQ(a.text, b.text) << k.key;
    }
    FreeFishSelection(&d);
    EXPECT_STREQ(s.fishSelection, "");  // none stored: a one-byte empty string
    EXPECT_EQ(s.selectionSize, 1);
    EXPECT_EQ(std::string(s.FishPath), ResourceFolder());
    EXPECT_EQ(std::string(s.FishPath2), home.FishDir() + "/");

    PREFSTORE store;
    store.OpenFile(home.StorePath());
    std::string t;
    bool b = true;
    EXPECT_TRUE(store.GetString("version", &t) && t == SETTINGS_VERSION);
    EXPECT_TRUE(store.GetBool("MainMonitorOnly", &b) && !b);
    EXPECT_FALSE(store.GetString("MaxFish", &t));  // types are kept
    EXPECT_FALSE(store.Has("FishSelection"));
    EXPECT_EQ(ConfigEntries(), std::vector<std::string>{"kpFishSS.plist"});  // no temporary left

    s.MAX_FISH = 2;
    s.WANTCAUSTIC = false;
    CopyToField(s.BGPath, sizeof s.BGPath, "/home/me/Pictures");
    CopyToField(s.FishPath2, sizeof s.FishPath2, "/elsewhere");
    ASSERT_TRUE(SaveSettings(s, true, "a.fish#b.fish###"));
    ASSERT_TRUE(SaveSettings(s, true, nullptr));  // a null selection leaves the stored one alone
    Load();
    EXPECT_TRUE(mmo);
    EXPECT_EQ(s.MAX_FISH, 2);
    EXPECT_FALSE(s.WANTCAUSTIC);
    EXPECT_STREQ(s.BGPath, "/home/me/Pictures");
    EXPECT_STREQ(s.fishSelection, "a.fish#b.fish###");
    EXPECT_EQ(std::string(s.FishPath2), home.FishDir() + "/");  // a chosen fish folder is never stored
}

TEST_F(PrefsTest, CurrentVersionLoadsClampsAndReadsAbsentKeysAsZero) {
    // (Each integer key's limits: SettingRanges below.)
    std::string path;  // 1500 two-byte characters
    for (int i = 0; i < 1500; i++) path += "\xc3\xa9";
    WriteStore(Str("version", SETTINGS_VERSION) + Str("BGPath", path) + Str("FishSelection", std::string(3000, 'a')));
    Load();
    EXPECT_EQ(s.selectionSize, 3001);    // a long selection is not cut
    EXPECT_EQ(strlen(s.BGPath), 1022u);  // cut to the field's 1023 bytes, never within a character
    EXPECT_FALSE(s.WANTCAUSTIC);
    EXPECT_EQ(s.WWATERLEVEL, 20);  // absent reads 0, limited to 20
}

TEST_F(PrefsTest, WronglyTypedKeysReadTheirDefaultsAndTheFileIsKeptOnSave) {
    WriteStore(Str("version", SETTINGS_VERSION) + Str("MaxFish", "lots") + Int("WantCaustic", 0) + Int("FishSize", 50) +
               "<key>BGPath</key><true/>\n" + Int("FishSelection", 4));
    Load();
    SETTINGS d;
    bool dm = false;
    DefaultSettings(&d, &dm);
    EXPECT_EQ(s.MAX_FISH, d.MAX_FISH);
    EXPECT_EQ(s.WANTCAUSTIC, d.WANTCAUSTIC);
    EXPECT_STREQ(s.BGPath, d.BGPath);
    EXPECT_EQ(s.LFISHSIZE, 50);  // good keys still load
    EXPECT_STREQ(s.fishSelection, "");
    FreeFishSelection(&d);
    EXPECT_EQ(ConfigEntries().size(), 1u);  // nothing written yet
    ASSERT_TRUE(SaveSettings(s, mmo, "##"));
    EXPECT_EQ(ConfigEntries().size(), 2u);  // the original kept aside first
}

TEST_F(PrefsTest, FifoOrOversizedStoreIsUnreadableNotAHang) {
    MakeFolders(home.ConfigDir());
    ASSERT_EQ(mkfifo(home.StorePath().c_str(), 0600), 0);
    Load(false);  // no writer on the FIFO: must not block; no regular file, so never written
    EXPECT_EQ(s.BGPath, UserPicturesFolder());  // the defaults, mapped
    struct stat fifo;
    ASSERT_EQ(lstat(home.StorePath().c_str(), &fifo), 0);
    EXPECT_TRUE(S_ISFIFO(fifo.st_mode));
    unlink(home.StorePath().c_str());

    std::string big = Str("version", SETTINGS_VERSION) + Int("MaxFish", 1) + Str("pad", std::string(2u << 20, 'p'));
    WriteStore(big);
    const long size = testsupport::FileSize(home.StorePath());
    Load();
    EXPECT_EQ(s.MAX_FISH, 3);  // not used...
    int copies = 0;            // ...but kept whole
    for (const std::string& n : ConfigEntries())
        copies += n != "kpFishSS.plist" && testsupport::FileSize(home.ConfigDir() + "/" + n) == size;
    EXPECT_EQ(copies, 1);
}

TEST_F(PrefsTest, AStringWithANulByteNeverAborts) {
    // Whether the reader cuts the text at the NUL or refuses the file, loading goes on.
    for (const std::string& path : {std::string("/pics&#0;/evil"), std::string("/pics\0/evil", 11)}) {
        WriteStore(Str("version", SETTINGS_VERSION) + Str("BGPath", path) + Str("FishSelection", "a.fish###"));
        Load();
        EXPECT_TRUE(!strcmp(s.BGPath, "/pics") || s.BGPath == UserPicturesFolder()) << s.BGPath;
        ASSERT_NE(s.fishSelection, nullptr);
        EXPECT_EQ(static_cast<size_t>(s.selectionSize), strlen(s.fishSelection) + 1);
    }
}

int ParseOne(const std::string& option, long long value, SETTINGVALUE* got) {
    std::string v = std::to_string(value);
    std::vector<char*> argv = {const_cast<char*>(option.c_str()), const_cast<char*>(v.c_str())};
    std::vector<SETTINGOVERRIDE> out;
    int i = 0;
    int r = ParseSettingOverride(2, argv.data(), &i, &out);
    if (r == 1) *got = out.at(0).value;
    return r;
}

using SettingRanges = PrefsTest;

TEST_F(SettingRanges, EdgesOfEveryIntegerKeyFromOptionsAndFromTheStore) {
    int integers = 0;
    for (size_t k = 0; k < kSettingKeyCount; k++) {
        const SETTINGKEY& key = kSettingKeys[k];
        if (key.type != SETTINGTYPE::Integer) continue;
        integers++;
        SCOPED_TRACE(key.key);
        ASSERT_LT(key.low, key.high);
        EXPECT_GE(key.defaultInteger, key.low);
        EXPECT_LE(key.defaultInteger, key.high);
        std::string option = "--" + OverrideOptionName(key);
        SETTINGVALUE got;
        EXPECT_EQ(ParseOne(option, key.low, &got), 1);
        EXPECT_EQ(got.integer, key.low);
        EXPECT_EQ(ParseOne(option, key.high, &got), 1);
        EXPECT_EQ(got.integer, key.high);
        EXPECT_EQ(ParseOne(option, key.low - 1, &got), -1);
        EXPECT_EQ(ParseOne(option, key.high + 1, &got), -1);

        // Stored: in range kept, out of range limited to the nearer end.
        const long long stored[][2] = {
            {key.low, key.low}, {key.high, key.high}, {key.low - 1, key.low}, {key.high + 1, key.high}};
        for (const auto& c : stored) {
            WriteStore(Str("version", SETTINGS_VERSION) + Int(key.key, c[0]));
            Load();
            SETTINGVALUE v;
            key.get(s, mmo, &v);
            EXPECT_EQ(v.integer, c[1]) << "stored " << c[0];
        }
    }
    EXPECT_EQ(integers, 7);
}

TEST(PictureFolder, TheMacDefaultMapsToTheUsersPicturesFolder) {
    struct CASE {
        const char* userDirs;  // user-dirs.dirs; null: no file, "FIFO": a FIFO there
        const char* env;       // $XDG_PICTURES_DIR
        const char* stored;
        std::string want;  // "~" stands for the home folder
    } cases[] = {
        {nullptr, "", "/Library/Desktop Pictures", "~/Pictures"},
        {nullptr, "/env/pics", "/library/desktop pictures//", "/env/pics"},
        {"XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", "/env/pics", "/library/Desktop Pictures/", "~/Bilder"},
        {"# x\nXDG_PICTURES_DIR=\"/srv/a\"\n  XDG_PICTURES_DIR = \"/srv/My \\\"Pics\\\"/\"", "",
         "/library/Desktop Pictures/", "/srv/My \"Pics\""},
        {"XDG_PICTURES_DIR=\"$HOME/\"\n", "", "/library/Desktop Pictures/", "~/Pictures"},  // "disabled"
        {"XDG_PICTURES_DIR=\"$(id)\"\nXDG_PICTURES_DIR=x\nXDG_PICTURES_DIR=\"/`id`\"\nXDG_PICTURES_DIR=\"/open", "",
         "/library/Desktop Pictures/", "~/Pictures"},
        {"FIFO", "", "/library/Desktop Pictures/", "~/Pictures"},
        {"XDG_PICTURES_DIR=\"/srv/a\"\n", "", "/home/me/mine", "/home/me/mine"},
    };
    for (const CASE& c : cases) {
        testsupport::PrivateHome home;
        testsupport::ScopedEnv env(std::map<std::string, std::string>{{"XDG_PICTURES_DIR", c.env}});
        const std::string dirs = home.ConfigDir() + "/user-dirs.dirs";
        MakeFolders(home.ConfigDir());
        if (c.userDirs && std::string(c.userDirs) == "FIFO") {
            ASSERT_EQ(mkfifo(dirs.c_str(), 0600), 0);
        } else if (c.userDirs) {
            ASSERT_TRUE(testsupport::WriteFile(dirs, std::string(c.userDirs)));
        }
        std::string want = c.want[0] == '~' ? home.path() + c.want.substr(1) : c.want;
        EXPECT_EQ(PlatformPictureFolder(c.stored), want)
            << c.stored << " with " << (c.userDirs ? c.userDirs : "no file");
    }
}

}  // namespace
